#pragma once
// Helpers for the monitor's tests: a shared block of the test's own with its
// rules, the scan run on the test's thread, and a client for
// fixture-windows.exe, whose windows behave as another program's.
#include <windows.h>

#include <ostream>
#include <vector>

#include "TestSupport.h"
#include "monitor/Geometry.h"
#include "monitor/Tracked.h"
#include "shared/SharedBlock.h"

// A zeroed block attached as the process's block for the test's lifetime; at
// the end the monitor thread is stopped, the tracked list freed and the
// block that was there before attached again.
class TestBlock {
 public:
  TestBlock();
  ~TestBlock();
  TestBlock(const TestBlock&) = delete;
  TestBlock& operator=(const TestBlock&) = delete;
  SharedBlock* operator->() { return &block_; }
  SharedBlock* Get() { return &block_; }

  // A target (or a child rule of target `parent`); only while no monitor
  // thread runs. Returns its index.
  int AddTarget(const TargetRecord& record);
  int AddChildRule(int parent, const TargetRecord& rule);
  // The tracked entry of a window, or null.
  TrackedWindow* Find(HWND window);
  TrackedChild* FindChild(HWND topLevel, HWND child);
  // One scan on this thread, as the monitor thread runs it.
  void Scan();

 private:
  SharedBlock block_ = {};
  SharedBlock* previous_;
  TargetEntry targets_[8] = {};
  TargetRecord children_[8][4] = {};
};

// An enabled every-scan rule for windows of class className (any title),
// with no action yet; MoveXRule adds "x at `x` pixels from the near edge".
TargetRecord RuleFor(const char* className);
TargetRecord MoveXRule(const char* className, int32_t x);

// The tracked count, read while the monitor thread may be writing it.
int32_t TrackedCountNow(SharedBlock* block);
// Threads of a process, from a snapshot.
int ThreadCount(DWORD pid);

bool operator==(const Box& a, const Box& b);
std::ostream& operator<<(std::ostream& out, const Box& box);
Box BoxOf(HWND window);
// A child's box in its parent's client coordinates.
Box ClientBoxOf(HWND parent, HWND child);
void MoveXTo(HWND window, int32_t x);

// Sets this process's work area (the monitor reads this process's value);
// puts the old one back when it goes out of scope.
class WorkAreaOverride {
 public:
  explicit WorkAreaOverride(const RECT& area);
  ~WorkAreaOverride();
  WorkAreaOverride(const WorkAreaOverride&) = delete;
  WorkAreaOverride& operator=(const WorkAreaOverride&) = delete;
  bool Set(const RECT& area);

 private:
  RECT saved_;
};

// fixture-windows.exe, ended when this goes out of scope. Each call returns
// the window made (null on failure).
class Fixture {
 public:
  Fixture() = default;
  ~Fixture();
  Fixture(const Fixture&) = delete;
  Fixture& operator=(const Fixture&) = delete;

  bool Start();
  bool Ready() const { return control_ != nullptr; }
  HWND Top(const char* className, const char* title, const Box& box, DWORD style = 0, DWORD exStyle = 0);
  HWND MdiFrame(const char* className, const char* title, const Box& box);
  HWND MdiChild(HWND frame, const char* className, const char* title, const Box& box);
  HWND Control(HWND parent, const Box& box);
  bool Destroy(HWND window);
  bool DestroyMdiClient(HWND frame);
  // Destroys every top-level window made so far.
  void DestroyAll();
  // Returns once the fixture's window thread has stopped answering.
  bool Hang();
  void Resume();

 private:
  LRESULT Send(uint32_t command, const char* className, const char* title, const Box& box, HWND target,
               DWORD style = 0, DWORD exStyle = 0);
  HWND Remember(HWND window);
  ChildProcess process_;
  HWND control_ = nullptr;
  std::vector<HWND> made_;
  char resumeName_[64] = {};
  HANDLE resume_ = nullptr;
};

// One fixture process for a whole test program (starting one costs seconds
// under emulation); tests destroy their windows with DestroyAll.
Fixture& SharedFixture();
