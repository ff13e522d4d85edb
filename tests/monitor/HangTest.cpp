// A window whose thread stops answering holds up neither the other windows
// nor a stop for long, and is handled once it answers again.
#include <gtest/gtest.h>

#include "MonitorTestSupport.h"
#include "monitor/Monitor.h"

namespace {

constexpr char kStuckClass[] = "PlenaraHangStuck";
constexpr char kLivelyClass[] = "PlenaraHangLively";

TargetRecord MoveXTo(const char* className, int32_t x) {
  TargetRecord r = RuleFor(className);
  r.positionAction = kPositionSet;
  r.xSpec = PositionSpec{kAnchorNear, kOffsetPixels, {}, x};
  return r;
}

TEST(Hang, AHungWindowIsSkippedUntilItAnswersAndStopsStayPrompt) {
  TestBlock block;
  Fixture& lively = SharedFixture();
  ASSERT_TRUE(lively.Ready());
  Fixture stuck;
  ASSERT_TRUE(stuck.Start());
  HWND hung = stuck.Top(kStuckClass, "stuck", Box{300, 100, 200, 150});
  HWND fine = lively.Top(kLivelyClass, "fine", Box{300, 300, 200, 150});
  ASSERT_NE(hung, nullptr);
  ASSERT_NE(fine, nullptr);
  // The stuck window stands first, so each pass meets it before the other.
  block.AddTarget(MoveXTo(kStuckClass, 10));
  block.AddTarget(MoveXTo(kLivelyClass, 20));
  block->activeSettings.monitorInterval = 100;

  ASSERT_TRUE(stuck.Hang());
  StartMonitorThread();
  EXPECT_TRUE(WaitFor([&] { return BoxOf(fine).x == 20; }, 15000));
  // Pass after pass goes on while the stuck window hangs.
  SetWindowPos(fine, nullptr, 400, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(WaitFor([&] { return BoxOf(fine).x == 20; }, 15000));
  const DWORD start = GetTickCount();
  StopMonitorThread();
  EXPECT_LT(GetTickCount() - start, 4000u);
  EXPECT_EQ(BoxOf(hung).x, 300);
  ASSERT_NE(block.Find(hung), nullptr);
  EXPECT_EQ(block.Find(hung)->handled, 0);

  stuck.Resume();
  StartMonitorThread();
  EXPECT_TRUE(WaitFor([&] { return BoxOf(hung).x == 10; }, 15000));
  StopMonitorThread();
  EXPECT_EQ(block.Find(hung)->handled, 1);
  lively.DestroyAll();
}

}  // namespace
