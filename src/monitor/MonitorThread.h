#pragma once
// Test seam of the monitor thread's start (Monitor.h has the operations).

enum class MonitorStartFailure { kNone, kWakeEvent, kThread };

// The next StartMonitorThread fails as if the wake event (or the thread)
// could not be created. Only the tests call it.
void FailNextMonitorStart(MonitorStartFailure failure);
