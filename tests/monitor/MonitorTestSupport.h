#pragma once
// Helpers for the monitor's tests: a shared block of the test's own with a
// rule list on the process heap, the scan run stage by stage, and a client
// for fixture-windows.exe, whose windows behave as another program's.
#include <windows.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "monitor/Geometry.h"
#include "monitor/Tracked.h"
#include "shared/SharedBlock.h"

// A zeroed block attached as the process's block for the test's lifetime.
// Its destructor stops the monitor thread and frees the tracked list and the
// rules, then attaches the block that was there before.
class TestBlock {
 public:
  TestBlock();
  ~TestBlock();
  TestBlock(const TestBlock&) = delete;
  TestBlock& operator=(const TestBlock&) = delete;

  SharedBlock* operator->() { return block_; }
  SharedBlock* Get() { return block_; }

  // Appends a target (and child rules to target `parent`); only while no
  // monitor thread runs. Returns the index.
  int AddTarget(const TargetRecord& record);
  int AddChildRule(int parent, const TargetRecord& rule);

  // The tracked entry of a window, or null.
  TrackedWindow* Find(HWND window);
  TrackedChild* FindChild(HWND topLevel, HWND child);

  // One scan on this thread, as the monitor thread runs it.
  void Scan();

 private:
  SharedBlock* block_;
  SharedBlock* previous_;
};

// A rule that matches windows whose class name equals className (any title),
// enabled, acting at every scan, with no action yet.
TargetRecord RuleFor(const char* className);

// RuleFor(className) that puts the window's x at `x` pixels from the near
// edge (y kept), at every scan.
TargetRecord MoveXRule(const char* className, int32_t x);

// The tracked count, read while the monitor thread may be writing it.
int32_t TrackedCountNow(SharedBlock* block);

Box BoxOf(HWND window);
// A child's box in its parent's client coordinates.
Box ClientBoxOf(HWND parent, HWND child);

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

// fixture-windows.exe, ended when this goes out of scope.
class Fixture {
 public:
  Fixture() = default;
  ~Fixture();
  Fixture(const Fixture&) = delete;
  Fixture& operator=(const Fixture&) = delete;

  bool Start();
  HWND Top(const char* className, const char* title, const Box& box, DWORD style = 0, DWORD exStyle = 0);
  HWND MdiFrame(const char* className, const char* title, const Box& box);
  HWND MdiChild(HWND frame, const char* className, const char* title, const Box& box, DWORD style = 0);
  HWND Control(HWND parent, const Box& box);
  bool Destroy(HWND window);
  bool DestroyMdiClient(HWND frame);
  // Destroys every top-level window made so far.
  void DestroyAll();
  // Returns once the fixture's window thread has stopped answering.
  bool Hang();
  void Resume();
  DWORD Pid() const { return process_.Pid(); }
  bool Ready() const { return control_ != nullptr; }

 private:
  LRESULT Send(uint32_t command, const char* className, const char* title, const Box& box, HWND target, DWORD style,
               DWORD exStyle);
  HWND Remember(HWND window);
  ChildProcess process_;
  HWND control_ = nullptr;
  std::vector<HWND> made_;
  HANDLE resume_ = nullptr;
};

// One fixture process for a whole test program (starting one costs seconds
// under emulation); tests destroy their windows with DestroyAll.
Fixture& SharedFixture();
