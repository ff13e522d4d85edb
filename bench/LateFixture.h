#pragma once
// The latency fixture (bench-windows late) and a copy of the monitor's
// polling loop that times every scan, for the latency benchmarks.
#include <windows.h>

#include <vector>

// The per-window latencies a late run wrote, in milliseconds; missed counts
// the windows that never reached the rule's box.
std::vector<double> ReadLatencies(const char* path, int& missed);

double MaxOf(const std::vector<double>& values);

// Shows the windows and waits for the fixture to end; true if it placed all.
// With notify, every showing is reported to window-event hooks.
bool RunLateFixture(int count, int interval, const char* perWindow, bool notify = false);

// The monitor's loop as it polls (wait the interval, then RunScan), with a
// clock around each scan, on a thread of its own while this lives.
class PollingLoop {
 public:
  explicit PollingLoop(DWORD interval);
  ~PollingLoop();
  PollingLoop(const PollingLoop&) = delete;
  PollingLoop& operator=(const PollingLoop&) = delete;
  // Stops the thread; the scan times are complete from then on.
  void Stop();
  const std::vector<double>& ScanMillis() const { return scans_; }

 private:
  static unsigned __stdcall Run(void* self);
  DWORD interval_;
  HANDLE wake_;
  volatile LONG stop_ = 0;
  std::vector<double> scans_;
  HANDLE thread_ = nullptr;
};
