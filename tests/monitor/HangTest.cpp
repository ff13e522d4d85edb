// A window whose thread stops answering holds up neither the other windows
// nor a stop for long, and is handled once it answers again.
#include <gtest/gtest.h>
#include <process.h>

#include "MonitorTestSupport.h"
#include "monitor/Monitor.h"

namespace {

constexpr char kStuckClass[] = "PlenaraHangStuck";
constexpr char kLivelyClass[] = "PlenaraHangLively";

constexpr char kOwnClass[] = "PlenaraHangOwn";
// A title with a double-byte character whose second byte is an ASCII
// backslash (code page 932).
constexpr char kOwnTitle[] = "\x91\x8b\x95\x5c";
constexpr UINT kMsgHang = WM_APP + 7;

// A shown window of another thread of this process, which can be made to
// stop answering.
class ThreadWindow {
 public:
  ThreadWindow() {
    thread_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Run, this, 0, &threadId_));
    WaitFor([&] { return window_ != nullptr; });
  }
  ~ThreadWindow() {
    SetEvent(resume_);
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
    CloseHandle(resume_);
  }
  ThreadWindow(const ThreadWindow&) = delete;
  ThreadWindow& operator=(const ThreadWindow&) = delete;

  HWND Window() const { return window_; }
  bool Answers() const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result) != 0;
  }
  bool Hang() {
    ResetEvent(resume_);
    PostThreadMessageA(threadId_, kMsgHang, 0, 0);
    return WaitFor([&] { return !Answers(); });
  }
  void Resume() { SetEvent(resume_); }

 private:
  static unsigned __stdcall Run(void* param) {
    auto* self = static_cast<ThreadWindow*>(param);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kOwnClass;
    RegisterClassA(&wc);
    HWND window = CreateWindowA(kOwnClass, kOwnTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 100, 200, 150, nullptr,
                                nullptr, wc.hInstance, nullptr);
    self->window_ = window;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      if (msg.message == kMsgHang) WaitForSingleObject(self->resume_, 60000);
      DispatchMessageA(&msg);
    }
    DestroyWindow(window);
    return 0;
  }

  HANDLE thread_ = nullptr;
  HANDLE resume_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  unsigned threadId_ = 0;
  volatile HWND window_ = nullptr;
};

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

TEST(Hang, AWindowOfAnotherThreadOfThisProcessIsReadWithoutWaitingOnIt) {
  TestBlock block;
  ThreadWindow own;
  ASSERT_NE(own.Window(), nullptr);
  TargetRecord rule = MoveXRule(kOwnClass, 10);
  rule.titleMatch = kMatchEquals;
  lstrcpyA(rule.titlePattern, kOwnTitle);
  block.AddTarget(rule);

  ASSERT_TRUE(own.Hang());
  const DWORD start = GetTickCount();
  block.Scan();
  EXPECT_LT(GetTickCount() - start, 2500u);
  ASSERT_NE(block.Find(own.Window()), nullptr);
  EXPECT_EQ(block.Find(own.Window())->handled, 0);

  own.Resume();
  ASSERT_TRUE(WaitFor([&] { return own.Answers(); }));
  block.Scan();
  EXPECT_EQ(BoxOf(own.Window()).x, 10);
  EXPECT_EQ(block.Find(own.Window())->handled, 1);
}

TEST(Hang, AStopReturnsWhileThePassWaitsOnTheStoppingThread) {
  TestBlock block;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "PlenaraHangMine";
  RegisterClassA(&wc);
  HWND mine = CreateWindowA(wc.lpszClassName, "mine", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 100, 200, 150, nullptr,
                            nullptr, wc.hInstance, nullptr);
  ASSERT_NE(mine, nullptr);
  block.AddTarget(MoveXRule(wc.lpszClassName, 10));
  block->activeSettings.monitorInterval = 0;

  StartMonitorThread();
  EXPECT_TRUE(PollWithoutAnswering([&] { return TrackedCountNow(block.Get()) > 0; }, 10000));
  const DWORD start = GetTickCount();
  StopMonitorThread();
  EXPECT_LT(GetTickCount() - start, 3000u);
  EXPECT_EQ(BoxOf(mine).x, 300);
  DestroyWindow(mine);
}

}  // namespace
