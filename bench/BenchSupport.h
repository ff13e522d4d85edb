#pragma once
// What the benchmark programs share: the holding fixture processes, a clock,
// medians, and a shared block of the benchmark's own with its rule list.
#include <windows.h>

#include <string>
#include <vector>

#include "shared/SharedBlock.h"

// Folder of the running program, with its trailing backslash.
std::string ExeDir();

// Opens windows first .. first+count-1 of the mix in holding processes of
// kWindowsPerProcess windows at most and returns once all are shown (false
// if a process failed to start or to open its windows within timeoutMs).
bool HoldWindows(int first, int count, DWORD timeoutMs);

// Ends every holding process on this desktop and waits for them.
void ReleaseWindows();

// Top-level windows on the desktop now, and how many of them are shown.
void CountTopLevel(int& all, int& shown);

// Microseconds on the performance counter.
double NowMicros();

double Median(std::vector<double> values);

// CPU time that the host kernel has counted for one host thread, read from
// its /proc schedstat (nanoseconds on the CPU) through Wine's Z: drive. Under
// Wine on a busy machine it tells the work of a pass from the waiting for a
// CPU, which the wall clock cannot. Millis() is negative where there is no
// such file (not under Wine on Linux).
class HostCpuClock {
 public:
  // "thread-self" for the calling thread, or a host process id for that
  // process's main thread.
  explicit HostCpuClock(const std::string& which);
  ~HostCpuClock();
  HostCpuClock(const HostCpuClock&) = delete;
  HostCpuClock& operator=(const HostCpuClock&) = delete;
  double Millis() const;

 private:
  HANDLE file_;
};

// Committed private bytes of a process, summed over its address space (the
// guest's own view under emulation).
unsigned long long CommittedPrivate(HANDLE process);

// Handles that process pid holds, from the system's handle table (-1 when
// it cannot be read).
long CountHandles(DWORD pid);

// The rule text in the ANSI code page, as the settings module stores it.
std::string ToAnsi(const wchar_t* text);

// A zeroed block attached as this process's block while it lives, with a
// rule list on the process heap (zero-filled, as the target store keeps it).
// Its destructor stops the monitor thread, frees the tracked list and the
// rules, and attaches the previous block again.
class BenchBlock {
 public:
  BenchBlock();
  ~BenchBlock();
  BenchBlock(const BenchBlock&) = delete;
  BenchBlock& operator=(const BenchBlock&) = delete;

  SharedBlock* operator->() { return block_; }
  void SetRules(const std::vector<TargetRecord>& rules);
  void ClearRules();

 private:
  SharedBlock* block_;
  SharedBlock* previous_;
};

// One scan, exactly as the monitor thread runs it between two waits.
void RunScan();
