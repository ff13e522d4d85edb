#pragma once
#include <cstdint>
// The monitor thread: while it runs, it scans the desktop's windows at the
// configured interval and applies the rules to them.

// Starts a monitor thread unless one this module started still runs.
void StartMonitorThread();

// Asks the thread to stop and returns once it has ended (at once when none runs).
void StopMonitorThread();

// True while a stop waits for the monitor thread to end.
bool MonitorStopRequested();

// Scans the monitor thread has begun since the program started.
uint32_t MonitorScanCount();

// Frees the tracked-window list; only while no monitor thread runs.
void FreeTrackedWindows();

// One pass of the rules over the tracked windows (the last stage of a scan).
void ApplyTargets();
