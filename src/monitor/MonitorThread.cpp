#include <windows.h>
#include <process.h>

#include <atomic>
#include <cstdint>

#include "monitor/Monitor.h"
#include "monitor/Tracking.h"
#include "monitor/WorkArea.h"
#include "shared/SharedBlock.h"

namespace {

// The scan loop needs little: small fixed buffers, no recursion of its own.
constexpr unsigned kMonitorStackSize = 4096;

// Owned by the main thread: set by StartMonitorThread before the thread is
// created and released by StopMonitorThread after it has ended, so a stop
// that follows a start at once still reaches that run.
HANDLE monitorThreadHandle = nullptr;
HANDLE monitorWakeEvent = nullptr;
std::atomic<uint8_t> monitorStopRequested{0};

unsigned __stdcall MonitorThreadProc(void*) {
  while (!MonitorStopRequested()) {
    // Read afresh for every wait; -1 waits until a stop signals the event.
    WaitForSingleObject(monitorWakeEvent, static_cast<DWORD>(Block()->activeSettings.monitorInterval));
    if (MonitorStopRequested()) break;
    ClearSeenFlags();
    if (MonitorStopRequested()) break;
    // An enumeration is always followed by its pruning.
    EnumWindows(TrackTopLevelWindow, 0);
    PruneTrackedWindows();
    if (MonitorStopRequested()) break;
    UpdateWorkArea();
    if (MonitorStopRequested()) break;
    ApplyTargets();
  }
  return 0;
}

void ReleaseRun() {
  CloseHandle(monitorThreadHandle);
  monitorThreadHandle = nullptr;
  CloseHandle(monitorWakeEvent);
  monitorWakeEvent = nullptr;
}

}  // namespace

bool MonitorStopRequested() { return monitorStopRequested.load() != 0; }

void StartMonitorThread() {
  if (monitorThreadHandle) {
    if (WaitForSingleObject(monitorThreadHandle, 0) == WAIT_TIMEOUT) return;
    ReleaseRun();
  }
  monitorStopRequested = 0;
  monitorWakeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // Without its event the loop could neither be spaced nor stopped.
  if (!monitorWakeEvent) return;
  unsigned id = 0;
  monitorThreadHandle =
      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, kMonitorStackSize, MonitorThreadProc, nullptr, 0, &id));
  if (!monitorThreadHandle) {
    CloseHandle(monitorWakeEvent);
    monitorWakeEvent = nullptr;
  }
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
