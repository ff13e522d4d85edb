#include "app/TraySetup.h"

#include <cstdio>

#include "app/Startup.h"
#include "app/TrayMenu.h"
#include "shared/SharedBlock.h"
#include "tray/TrayIconDriver.h"

namespace {
TrayIconDriver* g_trayIcon = nullptr;

constexpr int kTrayFrames = 5;
constexpr int32_t kTrayAnimationInterval = 200;
}  // namespace

void SetUpTrayIcon() {
  SharedBlock* block = Block();
  g_trayIcon = new TrayIconDriver(HandleOf(block->mainWindow));
  g_trayIcon->SetOwnsImages(1);
  g_trayIcon->SetTip(block->productName);
  g_trayIcon->SetInterval(kTrayAnimationInterval);
  HIMAGELIST frames = ImageList_Create(16, 16, ILC_MASK, kTrayFrames, 0);
  for (int i = 0; i < kTrayFrames; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%s%d", "TRAYICON", i);
    HICON icon = static_cast<HICON>(LoadImageA(ModuleInstance(), name, IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
    ImageList_ReplaceIcon(frames, -1, icon);
    if (icon) DestroyIcon(icon);
  }
  g_trayIcon->SetImageList(frames);
  g_trayIcon->SetRightButtonUpHandler(ShowTrayMenu);
  g_trayIcon->SetLeftDoubleClickHandler(RunDefaultCommand);
  g_trayIcon->Show();
}

void DeleteTrayIcon() {
  delete g_trayIcon;
  g_trayIcon = nullptr;
}

TrayIconDriver* TrayIcon() { return g_trayIcon; }
