#include "app/Lifecycle.h"

#include "app/Commands.h"
#include "app/Monitoring.h"
#include "app/TrayMenu.h"
#include "app/TraySetup.h"
#include "companion/Companion.h"
#include "monitor/Closing.h"
#include "shared/SharedBlock.h"
#include "targets/TargetStore.h"

namespace {
bool g_shutdownDone = false;

// The companion's window runs its own thread; the main thread waits for it
// without dispatching anything, so the window must close on its own.
void CloseCompanionWindow(uint32_t window, CompanionSlot slot) {
  if (!window) return;
  PostMessageA(HandleOf(window), WM_CLOSE, 0, 0);
  WaitForCompanionWorker(slot);
}
}  // namespace

LRESULT OnCreate(HWND window) {
  SharedBlock* block = Block();
  block->mainWindow = HandleValue(window);
  SetUpTrayIcon();
  DropTrayMenu();
  CallCompanion("ReadSetting");
  if (block->openSettingsAtStart) PostMessageA(window, WM_COMMAND, kCmdSettings, 0);
  if (block->monitoringEnabled) StartMonitoring(window);
  return 0;
}

LRESULT OnShutdown(HWND window) {
  if (g_shutdownDone) return 1;
  g_shutdownDone = true;
  SharedBlock* block = Block();
  DeleteTrayIcon();
  DropTrayMenu();
  CallCompanion("WriteSetting");
  CloseCompanionWindow(block->aboutWindow, kAboutSlot);
  CloseCompanionWindow(block->propertyWindow, kPropertySlot);
  if (block->monitoringEnabled) StopMonitoring(window);
  StopClosing();
  FreeTargets();
  return 0;
}
