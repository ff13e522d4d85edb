// The whole program at work: the real Plenara.exe with the test companion
// loading rules through the main window's protocol, and windows of another
// process (fixture-windows.exe) placed by them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "MonitorTestSupport.h"
#include "PlenaraInstance.h"
#include "app/Commands.h"

namespace {

struct RuleSet {
  TargetRecord target;
  std::vector<TargetRecord> children;
};

void WriteRules(const PlenaraInstance& plenara, const std::vector<RuleSet>& rules) {
  std::string bytes;
  for (const RuleSet& r : rules) {
    bytes.append(reinterpret_cast<const char*>(&r.target), sizeof r.target);
    const int32_t n = static_cast<int32_t>(r.children.size());
    bytes.append(reinterpret_cast<const char*>(&n), sizeof n);
    for (const TargetRecord& c : r.children) bytes.append(reinterpret_cast<const char*>(&c), sizeof c);
  }
  WriteWholeFile(plenara.Dir().File("rules.bin"), bytes);
}

// Rules loaded at start, monitoring on at `interval` ms.
void Prepare(PlenaraInstance& plenara, const std::vector<RuleSet>& rules, int interval = 100) {
  WriteRules(plenara, rules);
  plenara.Configure("rules", "rules.bin");
  plenara.Configure("monitoring", "1");
  plenara.Configure("interval", std::to_string(interval));
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
  Prepare(plenara, {{rule, {}}});
  ASSERT_TRUE(plenara.Start());
  EXPECT_EQ(plenara.Log().find("result -1"), std::string::npos);
  HWND window = F().Top("E2EPlaced", "placed", Box{10, 10, 120, 90});
  ASSERT_NE(window, nullptr);
  // Work area 1024x748: flush against the far edge.
  EXPECT_TRUE(WaitFor([&] { return BoxIs(window, Box{1024 - 300, 40, 300, 200}); }, 15000));
  // Once-only: moved away, it stays where it was put.
  MoveWindow(window, 5, 5, 300, 200, TRUE);
  EXPECT_FALSE(WaitFor([&] { return !BoxIs(window, Box{5, 5, 300, 200}); }, 1500));
  EXPECT_EQ(plenara.Close(), 0u);
}

TEST_F(EndToEnd, OneMonitorThreadAfterLaunchEvenWhenInsertionsRestartedIt) {
  PlenaraInstance plenara;
  Prepare(plenara, {{RuleFor("E2ENothing"), {}}, {RuleFor("E2ENothing2"), {}}});
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

TEST_F(EndToEnd, WorkAreaChangeReappliesAnExtentRule) {
  TargetRecord rule = RuleFor("E2EHalf");
  rule.sizeAction = kSizeSet;
  rule.widthSpec = SizeSpec{kSizePercent, {}, 50};
  rule.heightSpec = SizeSpec{kSizeKeep, {}, 0};
  rule.applyOnce = 1;
  PlenaraInstance plenara;
  Prepare(plenara, {{rule, {}}});
  plenara.Configure("reapply", "1");
  ASSERT_TRUE(plenara.Start());
  HWND window = F().Top("E2EHalf", "half", Box{20, 20, 100, 100});
  ASSERT_TRUE(WaitFor([&] { return BoxOf(window).width == 512; }, 15000));
  // Plenara reads its own process's work area: change it from inside.
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdSettings, 0);
  HWND property = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (property = FindWindowOfProcess("PlenaraTestProperty", plenara.Process().Pid())); }));
  EXPECT_TRUE(SendMessageA(property, WM_APP + 1, MAKEWPARAM(0, 0), MAKELPARAM(800, 600)));
  EXPECT_TRUE(WaitFor([&] { return BoxOf(window).width == 400; }, 15000));
  SendMessageA(property, WM_APP + 1, MAKEWPARAM(0, 0), MAKELPARAM(1024, 748));
  EXPECT_EQ(plenara.Close(), 0u);
}

TEST_F(EndToEnd, ChildRulesPlaceMdiChildrenInTheClientArea) {
  TargetRecord frameRule = RuleFor("E2EFrame");
  TargetRecord childRule = RuleFor("E2EChild");
  childRule.positionAction = kPositionSet;
  childRule.xSpec = PositionSpec{kAnchorNear, kOffsetFlush, {}, 0};
  childRule.ySpec = PositionSpec{kAnchorNear, kOffsetFlush, {}, 0};
  childRule.applyOnce = 1;
  PlenaraInstance plenara;
  Prepare(plenara, {{frameRule, {childRule}}});
  ASSERT_TRUE(plenara.Start());
  HWND frame = F().MdiFrame("E2EFrame", "frame", Box{100, 100, 500, 400});
  HWND child = F().MdiChild(frame, "E2EChild", "child", Box{60, 50, 200, 150});
  ASSERT_NE(child, nullptr);
  EXPECT_TRUE(WaitFor([&] {
    const Box b = ClientBoxOf(GetParent(child), child);
    return b.x == 0 && b.y == 0;
  }, 15000));
  EXPECT_EQ(plenara.Close(), 0u);
}

TEST_F(EndToEnd, ExitIsPromptWhileAMatchingWindowHangs) {
  TargetRecord rule = MoveXRule("E2EHung", 30);
  PlenaraInstance plenara;
  Prepare(plenara, {{rule, {}}});
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
  ASSERT_TRUE(WaitFor([&] { return (property = FindWindowOfProcess("PlenaraTestProperty", plenara.Process().Pid())); }));
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
