#pragma once
// Wakes the monitor early when a window of another program is created,
// shown or renamed, so that it is placed as it appears instead of at the next
// scan. The hook is out of context: nothing is loaded into other processes.
#include <windows.h>

// Starts the thread that receives the system's window events; each one that
// concerns a top-level window or an MDI child of another process sets soon.
// False when no hook could be set (the monitor then polls as before).
bool StartWindowEvents(HANDLE soon);

// Removes the hook and ends its thread, waiting a bounded time; false when
// the thread did not end in that time (soon must then be left open).
bool StopWindowEvents();

// Whether an event about this window should wake the monitor.
bool WakesMonitor(HWND window);
