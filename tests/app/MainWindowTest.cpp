// The program's main window inside the test process: the tray menu as the
// monitoring state changes, the notices to the settings window, the icon's
// two handlers and the settings module held only for each call.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "MainWindowHost.h"
#include "TestSupport.h"
#include "app/Commands.h"
#include "app/TrayMenu.h"
#include "app/TraySetup.h"
#include "companion/Companion.h"
#include "tray/TrayIconDriver.h"

namespace {

bool Grayed(HMENU menu, UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; }

// The notices posted to the stand-in settings window since the last look;
// it belongs to this thread, so every posted one is already in the queue.
int TakeStateChanges(HWND property) {
  int n = 0;
  MSG msg;
  while (PeekMessageA(&msg, property, kMsgStateChanged, kMsgStateChanged, PM_REMOVE)) ++n;
  return n;
}

struct Step {
  const char* label;
  UINT message;
  WPARAM wParam;
  bool waitForTracking;  // until the monitor thread has a tracked list to free
  uint8_t on;
  int notices;
};

TEST(MainWindow, MonitoringStateMenuNoticesIconHandlersAndTheSettingsModule) {
  MainWindowHost host;
  HWND window = host.Window();
  ASSERT_NE(window, nullptr);
  SharedBlock* block = host.Block();
  block->activeSettings.monitorInterval = 50;
  HWND property = CreateWindowExA(0, "STATIC", "settings stand-in", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  block->propertyWindow = HandleValue(property);

  const Step steps[] = {
      {"as created", WM_NULL, 0, false, 0, 0},
      {"start, the high word ignored", WM_COMMAND, MAKEWPARAM(kCmdStart, 1), false, 1, 1},
      {"settings applied while on", kMsgApplySettings, 0, false, 1, 1},
      {"stop", WM_COMMAND, kCmdStop, true, 0, 1},
      {"settings applied while off", kMsgApplySettings, 0, false, 0, 1},
      {"stop while off", WM_COMMAND, kCmdStop, false, 0, 1},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.label);
    if (step.waitForTracking) ASSERT_TRUE(WaitFor([&] { return block->trackedCount > 0; }, 30000));
    GetTrayMenu();  // built for the state before the step
    EXPECT_EQ(SendMessageA(window, step.message, step.wParam, 0), 0);
    EXPECT_EQ(block->monitoringEnabled, step.on);
    EXPECT_EQ(TakeStateChanges(property), step.notices);
    if (!step.on) {
      EXPECT_EQ(block->tracked, 0u);
      EXPECT_EQ(block->trackedCount, 0);
    }
    HMENU menu = GetTrayMenu();
    ASSERT_EQ(GetMenuItemCount(menu), 9);
    EXPECT_EQ(Grayed(menu, kCmdStart), step.on != 0);
    EXPECT_EQ(Grayed(menu, kCmdStop), step.on == 0);
    for (UINT id : {kCmdExit, kCmdHelp, kCmdAbout, kCmdSettings}) EXPECT_FALSE(Grayed(menu, id)) << id;
    EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), kCmdSettings);
  }

  // A double click on the icon posts the menu's default command.
  ASSERT_NE(TrayIcon(), nullptr);
  HWND icon = TrayIcon()->HiddenWindow();
  MSG msg;
  while (PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
  }
  SendMessageA(icon, WM_USER, 0, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(msg.wParam, kCmdSettings);
  EXPECT_EQ(msg.lParam, 0);

  // A right click opens the menu with the main window in the foreground, so
  // that a click elsewhere closes it. Another thread looks and closes it.
  HWND other = CreateWindowExA(0, "STATIC", "foreground", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200, nullptr,
                               nullptr, nullptr, nullptr);
  SetForegroundWindow(other);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == other; }, 30000));
  std::atomic<HWND> foreground{nullptr};
  std::atomic<HMENU> shown{nullptr};
  std::thread closer([&] {
    HWND popup = nullptr;
    if (!WaitFor([&] { return (popup = FindWindowA("#32768", nullptr)) != nullptr && IsWindowVisible(popup); }, 30000)) {
      return;
    }
    foreground = GetForegroundWindow();
    shown = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
    WaitFor(
        [&] {
          EndMenu();
          return !IsWindow(popup) || !IsWindowVisible(popup);
        },
        30000);
  });
  SendMessageA(icon, WM_USER, 0, WM_RBUTTONUP);
  closer.join();
  EXPECT_EQ(foreground.load(), window);
  EXPECT_EQ(shown.load(), GetTrayMenu());
  DestroyWindow(other);

  // The settings module is loaded for each call and freed after it, with or
  // without the export asked for.
  for (const char* name : {"TestCompanion.dll", "EmptyCompanion.dll"}) {
    SCOPED_TRACE(name);
    const std::string module = ExeDir() + name;
    lstrcpyA(block->companionPath, module.c_str());
    EXPECT_EQ(CallCompanion("WriteSetting"), name[0] == 'T');
    EXPECT_EQ(GetModuleHandleA(module.c_str()), nullptr);
  }
  block->propertyWindow = 0;
  DestroyWindow(property);
}

}  // namespace
