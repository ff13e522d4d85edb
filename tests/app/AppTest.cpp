// The real Plenara.exe started from outside, with the test companion as its
// settings module and a window of fixture-windows.exe for its rule.
#include <gtest/gtest.h>

#include <string>

#include "MonitorTestSupport.h"
#include "PlenaraInstance.h"
#include "app/Commands.h"

namespace {

TEST(App, RulesFromTheSettingsModulePlaceAWindowAndTheExitCommandSaves) {
  TargetRecord rule = RuleFor("PlenaraEndToEnd");
  rule.applyOnce = 1;
  rule.sizeAction = kSizeSet;
  rule.widthSpec = {kSizeAbsolute, {}, 300};
  rule.heightSpec = {kSizeAbsolute, {}, 200};
  rule.positionAction = kPositionSet;
  rule.xSpec = {kAnchorFar, kOffsetFlush, {}, 0};
  rule.ySpec = {kAnchorNear, kOffsetPixels, {}, 40};
  // Inserted at start through the main window: the record, then no child rules.
  PlenaraInstance plenara;
  ASSERT_TRUE(WriteWholeFile(plenara.Dir().File("rules.bin"),
                             std::string(reinterpret_cast<const char*>(&rule), sizeof rule) + std::string(4, '\0')));
  plenara.Configure("rules", "rules.bin");
  plenara.Configure("monitoring", "1");
  plenara.Configure("interval", "100");
  Fixture fixture;
  ASSERT_TRUE(fixture.Ready());
  ASSERT_TRUE(plenara.Start());
  EXPECT_TRUE(plenara.WaitForLog("ReadSetting thread=main"));
  HWND window = fixture.Top("PlenaraEndToEnd", "placed", Box{10, 10, 120, 90});
  ASSERT_NE(window, nullptr);
  // Work area 1024x748: flush against the far edge.
  EXPECT_TRUE(WaitFor([&] { return BoxOf(window) == Box{1024 - 300, 40, 300, 200}; }, 15000));
  // Once only: moved away, it stays where it was put.
  MoveWindow(window, 5, 5, 300, 200, TRUE);
  EXPECT_FALSE(WaitFor([&] { return !(BoxOf(window) == Box{5, 5, 300, 200}); }, 1500));
  // Exit while monitoring: the settings are written while it is still on.
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(plenara.Process().WaitExit(), 0u);
  EXPECT_EQ(CountOf(plenara.Log(), "WriteSetting thread=main monitoring=1"), 1) << plenara.Log();
  fixture.DestroyAll();
}

TEST(App, ASecondStartBringsTheSettingsWindowBackAndOnlyTheSessionsEndRunsTheShutdownOnce) {
  PlenaraInstance plenara;
  ASSERT_TRUE(plenara.Start());
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdSettings, 0);
  HWND property = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] { return (property = FindWindowOfProcess("PlenaraTestProperty", plenara.Process().Pid())) != nullptr; }));
  ShowWindow(property, SW_MINIMIZE);
  ASSERT_TRUE(WaitFor([&] { return IsIconic(property) != 0; }));
  const auto blockBytes = [] {
    BlockView view;
    return std::string(reinterpret_cast<const char*>(view.Get()), kBlockSize);
  };
  const std::string before = blockBytes();
  ChildProcess second;
  ASSERT_TRUE(second.Start(plenara.ExePath()));
  EXPECT_EQ(second.WaitExit(), 0u);
  EXPECT_TRUE(WaitFor([&] { return !IsIconic(property) && GetForegroundWindow() == property; }));
  EXPECT_EQ(GetWindowLongA(property, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(blockBytes(), before);
  EXPECT_EQ(CountOf(plenara.Log(), "ReadSetting thread"), 1);

  // Asked again while it is open, the settings window stays the only one;
  // the about box comes beside it.
  HWND main = plenara.MainWindow();
  PostMessageA(main, WM_COMMAND, kCmdSettings, 0);
  PostMessageA(main, WM_COMMAND, kCmdAbout, 0);
  ASSERT_TRUE(WaitFor([] { return BlockView()->aboutWindow != 0; }));
  EXPECT_FALSE(WaitFor([&] { return CountOf(plenara.Log(), "OpenPropertyWindow thread") > 1; }, 1000));
  // Only the session's real end runs the shutdown, with both windows closed
  // before it returns; the window's destruction does not run it again.
  SendMessageA(main, WM_ENDSESSION, 0, 0);
  EXPECT_EQ(CountOf(plenara.Log(), "WriteSetting"), 0);
  EXPECT_TRUE(IsWindow(property));
  SendMessageA(main, WM_ENDSESSION, 1, 0);
  EXPECT_EQ(CountOf(plenara.Log(), "WriteSetting thread=main monitoring=0 targets=0 property=1 about=1"), 1)
      << plenara.Log();
  EXPECT_FALSE(IsWindow(property));
  EXPECT_TRUE(IsWindow(main));
  EXPECT_EQ(plenara.Close(), 0u);
  EXPECT_EQ(CountOf(plenara.Log(), "WriteSetting"), 1);
}

TEST(App, RunsAndEndsWithoutAUsableSettingsModule) {
  for (Companion companion : {Companion::kNone, Companion::kNoExports}) {
    PlenaraInstance plenara(companion);
    ASSERT_TRUE(plenara.Start());
    for (WPARAM command : {kCmdSettings, kCmdAbout, kCmdStart}) {
      PostMessageA(plenara.MainWindow(), WM_COMMAND, command, 0);
    }
    EXPECT_EQ(plenara.Close(), 0u);
  }
}

}  // namespace
