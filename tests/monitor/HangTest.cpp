// A window whose thread stops answering holds up neither the other windows
// nor a stop for long, and is handled once it answers again.
#include <gtest/gtest.h>

#include "MonitorTestSupport.h"
#include "monitor/Monitor.h"

namespace {

constexpr char kStuckClass[] = "PlenaraHangStuck";
constexpr char kLivelyClass[] = "PlenaraHangLively";

constexpr char kOwnClass[] = "PlenaraHangOwn";
// A title with a double-byte character whose second byte is an ASCII
// backslash (code page 932).
constexpr char kOwnTitle[] = "\x91\x8b\x95\x5c";

// Polls without handling this thread's messages, so a window of this thread
// cannot answer meanwhile (WaitFor would answer).
bool PollWithoutAnswering(const std::function<bool()>& cond, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!cond()) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(10);
  }
  return true;
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
  block.AddTarget(MoveXRule(kStuckClass, 10));
  block.AddTarget(MoveXRule(kLivelyClass, 20));
  block->activeSettings.monitorInterval = 100;

  ASSERT_TRUE(stuck.Hang());
  StartMonitorThread();
  EXPECT_TRUE(WaitFor([&] { return BoxOf(fine).x == 20; }, 15000));
  // Pass after pass goes on while the stuck window hangs.
  MoveXTo(fine, 400);
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

TEST(Hang, AWindowOfTheStoppingThreadNeitherHoldsUpTheStopNorLosesItsTitle) {
  TestBlock block;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kOwnClass;
  RegisterClassA(&wc);
  HWND mine = CreateWindowA(kOwnClass, kOwnTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 100, 200, 150, nullptr,
                            nullptr, wc.hInstance, nullptr);
  ASSERT_NE(mine, nullptr);
  TargetRecord rule = MoveXRule(kOwnClass, 10);
  rule.titleMatch = kMatchEquals;
  lstrcpyA(rule.titlePattern, kOwnTitle);
  block.AddTarget(rule);
  block->activeSettings.monitorInterval = 0;

  StartMonitorThread();
  EXPECT_TRUE(PollWithoutAnswering([&] { return TrackedCountNow(block.Get()) > 0; }, 10000));
  const DWORD start = GetTickCount();
  StopMonitorThread();
  EXPECT_LT(GetTickCount() - start, 3000u);
  EXPECT_EQ(BoxOf(mine).x, 300);
  // Answering again, it is placed: its title, read from the monitor thread
  // without a message, kept its double-byte characters whole.
  StartMonitorThread();
  EXPECT_TRUE(WaitFor([&] { return BoxOf(mine).x == 10; }));
  StopMonitorThread();
  DestroyWindow(mine);
}

}  // namespace
