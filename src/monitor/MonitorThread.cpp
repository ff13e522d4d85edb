#include <windows.h>
#include <process.h>

#include <atomic>
#include <cstdint>

#include "monitor/Monitor.h"
#include "monitor/Tracking.h"
#include "monitor/WindowEvents.h"
#include "monitor/WorkArea.h"
#include "shared/SharedBlock.h"

namespace {

// The scan loop needs little: small fixed buffers, no recursion of its own.
constexpr unsigned kMonitorStackSize = 4096;

// A window that appeared wakes the monitor after this long, so that a burst
// of windows (and a window shown just after it was created) costs one scan.
constexpr DWORD kSettleMs = 50;
// Scans woken by windows come at most this often; a burst that goes on is
// placed by a few scans, not by one per window.
constexpr DWORD kEventScanGapMs = 250;
// One more scan this long after a scan woken by a window: a window created
// hidden is often shown a moment later, and not every system reports that.
constexpr DWORD kFollowUpMs = 300;

// Owned by the main thread: set by StartMonitorThread before the thread is
// created and released by StopMonitorThread after it has ended, so a stop
// that follows a start at once still reaches that run.
HANDLE monitorThreadHandle = nullptr;
HANDLE monitorWakeEvent = nullptr;
HANDLE monitorSoonEvent = nullptr;  // set by the window-events thread
std::atomic<uint8_t> monitorStopRequested{0};
std::atomic<uint32_t> monitorScans{0};

void ScanOnce() {
  monitorScans.fetch_add(1);
  ClearSeenFlags();
  if (MonitorStopRequested()) return;
  // An enumeration is always followed by its pruning.
  EnumWindows(TrackTopLevelWindow, 0);
  PruneTrackedWindows();
  if (MonitorStopRequested()) return;
  UpdateWorkArea();
  if (MonitorStopRequested()) return;
  ApplyTargets();
}

// The time until the next scan: the interval (read afresh for every wait),
// or sooner for the follow-up of a scan that a window woke.
DWORD NextWait(int32_t interval, bool followUp) {
  const DWORD wait = static_cast<DWORD>(interval);
  return followUp && wait > kFollowUpMs ? kFollowUpMs : wait;
}

unsigned __stdcall MonitorThreadProc(void*) {
  bool followUp = false;
  DWORD lastWokenScan = GetTickCount() - kEventScanGapMs;
  while (!MonitorStopRequested()) {
    const int32_t interval = Block()->activeSettings.monitorInterval;
    // -1 waits until a stop signals the wake event, whatever windows appear.
    HANDLE handles[2] = {monitorWakeEvent, monitorSoonEvent};
    const DWORD count = interval == -1 || !monitorSoonEvent ? 1 : 2;
    const DWORD waited = WaitForMultipleObjects(count, handles, FALSE, NextWait(interval, followUp));
    if (MonitorStopRequested()) break;
    followUp = false;
    if (waited == WAIT_OBJECT_0 + 1) {
      const DWORD since = GetTickCount() - lastWokenScan;
      const DWORD gap = since < kEventScanGapMs ? kEventScanGapMs - since : 0;
      WaitForSingleObject(monitorWakeEvent, gap > kSettleMs ? gap : kSettleMs);
      if (MonitorStopRequested()) break;
      // Windows that appear from here on wake the next scan.
      ResetEvent(monitorSoonEvent);
      followUp = true;
    }
    ScanOnce();
    if (waited == WAIT_OBJECT_0 + 1) lastWokenScan = GetTickCount();
  }
  return 0;
}

void ReleaseRun() {
  CloseHandle(monitorThreadHandle);
  monitorThreadHandle = nullptr;
  CloseHandle(monitorWakeEvent);
  monitorWakeEvent = nullptr;
  // An events thread that did not end in time could still set it.
  if (StopWindowEvents() && monitorSoonEvent) CloseHandle(monitorSoonEvent);
  monitorSoonEvent = nullptr;
}

}  // namespace

bool MonitorStopRequested() { return monitorStopRequested.load() != 0; }

uint32_t MonitorScanCount() { return monitorScans.load(); }

void StartMonitorThread() {
  if (monitorThreadHandle) {
    if (WaitForSingleObject(monitorThreadHandle, 0) == WAIT_TIMEOUT) return;
    ReleaseRun();
  }
  monitorStopRequested = 0;
  monitorWakeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // Without its event the loop could neither be spaced nor stopped.
  if (!monitorWakeEvent) return;
  // Windows that appear wake the thread early; without the hook it only polls.
  // With -1 it never scans, so it needs no hook.
  if (Block()->activeSettings.monitorInterval != -1) {
    monitorSoonEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (monitorSoonEvent && !StartWindowEvents(monitorSoonEvent)) {
      CloseHandle(monitorSoonEvent);
      monitorSoonEvent = nullptr;
    }
  }
  unsigned id = 0;
  monitorThreadHandle =
      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, kMonitorStackSize, MonitorThreadProc, nullptr, 0, &id));
  if (!monitorThreadHandle) ReleaseRun();
}

void StopMonitorThread() {
  if (monitorThreadHandle) {
    monitorStopRequested = 1;
    SetEvent(monitorWakeEvent);
    // Every call the thread makes into another window is bounded, so this ends.
    WaitForSingleObject(monitorThreadHandle, INFINITE);
    ReleaseRun();
  }
  // Passes run on other threads (benchmarks, tests) are not stopped.
  monitorStopRequested = 0;
}
