#include "app/Monitoring.h"

#include "app/Commands.h"
#include "app/TrayMenu.h"
#include "app/TraySetup.h"
#include "monitor/Monitor.h"
#include "shared/SharedBlock.h"
#include "tray/TrayIconDriver.h"

namespace {
void NotifyPropertyWindow() {
  if (HWND property = HandleOf(Block()->propertyWindow)) PostMessageA(property, kMsgStateChanged, 0, 0);
}
}  // namespace

// Whatever the flag says: a thread left running would read a rule list that
// is about to change or be freed.
void SuspendMonitor() { StopMonitorThread(); }

void ResumeMonitor() {
  if (Block()->monitoringEnabled) StartMonitorThread();
}

void StartMonitoring(HWND) {
  Block()->monitoringEnabled = 1;
  DropTrayMenu();
  NotifyPropertyWindow();
  if (TrayIconDriver* tray = TrayIcon()) tray->SetAnimating(1);
  ResumeMonitor();
}

void StopMonitoring(HWND) {
  SuspendMonitor();
  // At shutdown the icon is already gone.
  if (TrayIconDriver* tray = TrayIcon()) tray->SetAnimating(0);
  FreeTrackedWindows();
  Block()->monitoringEnabled = 0;
  DropTrayMenu();
  NotifyPropertyWindow();
}
