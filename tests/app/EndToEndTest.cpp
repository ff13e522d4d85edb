// The whole program at work: the real Plenara.exe with the test companion
// as its settings module, and windows of another process
// (fixture-windows.exe) placed by its rules.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "MonitorTestSupport.h"
#include "PlenaraInstance.h"
#include "app/Commands.h"

namespace {

// Rules (without child rules) loaded at start through the main window's
// protocol, monitoring on at 100 ms.
void Prepare(PlenaraInstance& plenara, std::initializer_list<TargetRecord> rules) {
  std::string bytes;
  const int32_t noChildren = 0;
  for (const TargetRecord& r : rules) {
    bytes.append(reinterpret_cast<const char*>(&r), sizeof r);
    bytes.append(reinterpret_cast<const char*>(&noChildren), sizeof noChildren);
  }
  WriteWholeFile(plenara.Dir().File("rules.bin"), bytes);
  plenara.Configure("rules", "rules.bin");
  plenara.Configure("monitoring", "1");
  plenara.Configure("interval", "100");
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SharedFixture().Ready() || SharedFixture().Start()); }
  void TearDown() override { SharedFixture().DestroyAll(); }
  Fixture& F() { return SharedFixture(); }
};

TEST_F(EndToEnd, RulesFromTheSettingsModuleSizeAndPlaceAWindow) {
  TargetRecord rule = RuleFor("E2EPlaced");
  rule.sizeAction = kSizeSet;
  rule.widthSpec = SizeSpec{kSizeAbsolute, {}, 300};
  rule.heightSpec = SizeSpec{kSizeAbsolute, {}, 200};
  rule.positionAction = kPositionSet;
  rule.xSpec = PositionSpec{kAnchorFar, kOffsetFlush, {}, 0};
  rule.ySpec = PositionSpec{kAnchorNear, kOffsetPixels, {}, 40};
  rule.applyOnce = 1;
  PlenaraInstance plenara;
  Prepare(plenara, {rule});
  ASSERT_TRUE(plenara.Start());
  EXPECT_EQ(plenara.Log().find("result -1"), std::string::npos);
  HWND window = F().Top("E2EPlaced", "placed", Box{10, 10, 120, 90});
  ASSERT_NE(window, nullptr);
  // Work area 1024x748: flush against the far edge.
  EXPECT_TRUE(WaitFor([&] { return BoxOf(window) == Box{1024 - 300, 40, 300, 200}; }, 15000));
  // Once-only: moved away, it stays where it was put.
  MoveWindow(window, 5, 5, 300, 200, TRUE);
  EXPECT_FALSE(WaitFor([&] { return !(BoxOf(window) == Box{5, 5, 300, 200}); }, 1500));
  EXPECT_EQ(plenara.Close(), 0u);
}

TEST_F(EndToEnd, OneMonitorThreadAfterLaunchEvenWhenInsertionsRestartedIt) {
  PlenaraInstance plenara;
  Prepare(plenara, {RuleFor("E2ENothing"), RuleFor("E2ENothing2")});
  plenara.Configure("monitoringFirst", "1");
  ASSERT_TRUE(plenara.Start());
  const DWORD pid = plenara.Process().Pid();
  const int running = ThreadCount(pid);
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdStop, 0);
  ASSERT_TRUE(WaitFor([&] { return ThreadCount(pid) == running - 1; }, 10000)) << running << " " << ThreadCount(pid);
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdStart, 0);
  ASSERT_TRUE(WaitFor([&] { return ThreadCount(pid) == running; }, 10000));
  // A start that arrives while monitoring is on starts no second thread.
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdStart, 0);
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdStop, 0);
  EXPECT_TRUE(WaitFor([&] { return ThreadCount(pid) == running - 1; }, 10000));
  EXPECT_EQ(plenara.Close(), 0u);
}

TEST_F(EndToEnd, ExitIsPromptWhileAMatchingWindowHangs) {
  PlenaraInstance plenara;
  Prepare(plenara, {MoveXRule("E2EHung", 30)});
  ASSERT_TRUE(plenara.Start());
  HWND window = F().Top("E2EHung", "hung", Box{200, 200, 120, 90});
  ASSERT_TRUE(WaitFor([&] { return BoxOf(window).x == 30; }, 15000));
  ASSERT_TRUE(F().Hang());
  // Not a wait for a condition: a few passes (100 ms apart) should meet the
  // hung window before the exit is asked for.
  Sleep(300);
  const DWORD start = GetTickCount();
  EXPECT_EQ(plenara.Close(10000), 0u);
  EXPECT_LT(GetTickCount() - start, 8000u);
  F().Resume();
}

TEST_F(EndToEnd, SecondStartBringsTheMinimisedSettingsWindowBack) {
  PlenaraInstance plenara;
  ASSERT_TRUE(plenara.Start());
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdSettings, 0);
  HWND property = nullptr;
  const DWORD pid = plenara.Process().Pid();
  ASSERT_TRUE(WaitFor([&] { return (property = FindWindowOfProcess("PlenaraTestProperty", pid)) != nullptr; }));
  ShowWindow(property, SW_MINIMIZE);
  ASSERT_TRUE(WaitFor([&] { return IsIconic(property) != 0; }));
  ChildProcess second;
  ASSERT_TRUE(second.Start(plenara.ExePath()));
  EXPECT_EQ(second.WaitExit(), 0u);
  EXPECT_TRUE(WaitFor([&] { return !IsIconic(property) && GetForegroundWindow() == property; }));
  EXPECT_EQ(GetWindowLongA(property, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(plenara.Close(), 0u);
}

}  // namespace
