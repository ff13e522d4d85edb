#pragma once
// Rules, boxes and fixture-windows.exe, whose windows behave as another
// program's, for the tests of the monitor and of the whole program.
#include <windows.h>

#include <cstdio>
#include <thread>
#include <vector>

#include "FixtureWindows.h"
#include "TestSupport.h"
#include "monitor/Geometry.h"
#include "shared/SharedBlock.h"

// An enabled every-scan rule for windows of class className with the title
// given (any title without one); MoveXRule adds "x at `x` pixels from the
// near edge".
inline TargetRecord RuleFor(const char* className, const char* title = nullptr) {
  TargetRecord record = {};
  record.classMatch = kMatchEquals;
  std::snprintf(record.classPattern, sizeof record.classPattern, "%s", className);
  record.titleMatch = title ? kMatchEquals : kMatchAny;
  std::snprintf(record.titlePattern, sizeof record.titlePattern, "%s", title ? title : "");
  record.enabled = 1;
  return record;
}

inline TargetRecord MoveXRule(const char* className, int32_t x, const char* title = nullptr) {
  TargetRecord record = RuleFor(className, title);
  record.positionAction = kPositionSet;
  record.xSpec = PositionSpec{kAnchorNear, kOffsetPixels, {}, x};
  return record;
}

inline bool operator==(const Box& a, const Box& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

inline Box BoxOf(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  return Box{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

inline Box ClientBoxOf(HWND parent, HWND child) {
  Box box = BoxOf(child);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&box), 1);
  return box;
}

inline void MoveXTo(HWND window, int32_t x) {
  SetWindowPos(window, nullptr, x, BoxOf(window).y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

inline bool ReachesX(HWND window, int32_t x, DWORD timeoutMs = 10000) {
  return WaitFor([&] { return BoxOf(window).x == x; }, timeoutMs);
}

// Whether the window's thread handles a message within timeoutMs.
inline bool Answers(HWND window, DWORD timeoutMs) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

// fixture-windows.exe, asked to quit when this goes out of scope. Each call
// returns the window made (null on failure).
class Fixture {
 public:
  Fixture() {
    if (!process_.Start(ExeDir() + "fixture-windows.exe")) return;
    // A cold start under emulation can take many seconds.
    WaitFor([&] { return (control_ = FindWindowOfProcess(kFixtureControlClass, process_.Pid())) || !process_.Running(); },
            60000);
    std::snprintf(resumeName_, sizeof resumeName_, "PlenaraFixtureResume-%lu", process_.Pid());
    resume_ = CreateEventA(nullptr, TRUE, FALSE, resumeName_);
  }
  ~Fixture() {
    Resume();
    Send(kFixtureQuit, "", "", Box{}, nullptr);
    process_.WaitExit(5000);
    if (resume_) CloseHandle(resume_);
  }
  Fixture(const Fixture&) = delete;
  Fixture& operator=(const Fixture&) = delete;

  bool Ready() const { return control_ && resume_; }
  // Returns once the fixture's thread has handled what was queued for its
  // windows before (the monitor queues its moves).
  bool Sync() { return control_ && Answers(control_, 10000); }
  // For a test that must end its process at once: the fixture would
  // otherwise outlive it, holding the test's output open.
  void Kill() { process_.Kill(); }
  // A top-level window made by command, destroyed again by DestroyAll.
  HWND Make(FixtureCommand command, const char* className, const char* title, const Box& box) {
    HWND window = reinterpret_cast<HWND>(Send(command, className, title, box, nullptr));
    if (window) made_.push_back(window);
    return window;
  }
  HWND Top(const char* className, const char* title, const Box& box) { return Make(kFixtureTop, className, title, box); }
  HWND MdiChild(HWND frame, const char* className, const char* title, const Box& box) {
    return reinterpret_cast<HWND>(Send(kFixtureMdiChild, className, title, box, frame));
  }
  // Waits in its next move until Resume (the event is reset first).
  HWND Stalling(const char* className, const char* title, const Box& box) {
    ResetEvent(resume_);
    return Make(kFixtureStalling, className, title, box);
  }
  HWND Button(HWND parent, const char* title, const Box& box) {
    return reinterpret_cast<HWND>(Send(kFixtureButton, "", title, box, parent));
  }
  bool Rename(HWND window, const char* title) { return Send(kFixtureRename, "", title, Box{}, window) != 0; }
  bool Destroy(HWND window) { return Send(kFixtureDestroy, "", "", Box{}, window) != 0; }
  void DestroyAll() {
    for (HWND window : made_) Destroy(window);
    made_.clear();
  }
  // Returns once the fixture's window thread has stopped answering.
  bool Hang() {
    ResetEvent(resume_);
    return Send(kFixtureHang, "", resumeName_, Box{}, nullptr) && WaitFor([&] { return !Answers(control_, 100); });
  }
  void Resume() {
    if (resume_) SetEvent(resume_);
  }

 private:
  LRESULT Send(uint32_t command, const char* className, const char* title, const Box& box, HWND target) {
    FixtureRequest request = {};
    std::snprintf(request.className, sizeof request.className, "%s", className);
    std::snprintf(request.title, sizeof request.title, "%s", title);
    request.x = box.x, request.y = box.y, request.width = box.width, request.height = box.height;
    request.target = HandleValue(target);
    COPYDATASTRUCT data = {command, sizeof request, &request};
    DWORD_PTR result = 0;
    const LPARAM lParam = reinterpret_cast<LPARAM>(&data);
    return control_ && SendMessageTimeoutA(control_, WM_COPYDATA, 0, lParam, SMTO_NORMAL, 10000, &result) ? result : 0;
  }

  ChildProcess process_;
  HWND control_ = nullptr;
  std::vector<HWND> made_;
  char resumeName_[64] = {};
  HANDLE resume_ = nullptr;
};

// One fixture process for a whole test program: a start costs seconds.
inline Fixture& SharedFixture() {
  static Fixture fixture;
  return fixture;
}

// Ends the process, failed, unless its scope is left within timeoutMs: a
// deadlock would otherwise hold up the whole suite.
class Watchdog {
 public:
  explicit Watchdog(DWORD timeoutMs)
      : done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), thread_([this, timeoutMs] {
          if (WaitForSingleObject(done_, timeoutMs) == WAIT_OBJECT_0) return;
          std::printf("FAILED: still waiting after %lu ms, a deadlock\n", static_cast<unsigned long>(timeoutMs));
          std::fflush(stdout);
          SharedFixture().Kill();
          TerminateProcess(GetCurrentProcess(), 3);
        }) {}
  ~Watchdog() {
    SetEvent(done_);
    thread_.join();
    CloseHandle(done_);
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  HANDLE done_;
  std::thread thread_;
};
