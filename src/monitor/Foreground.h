#pragma once
#include <windows.h>

// Brings the window to the foreground even where the system's foreground
// lock would refuse, and raises it above every window that is not topmost.
// With queued, the raising is left to the window's own thread, so a window
// that stops answering cannot hold up the caller.
void ForceForeground(HWND window, bool queued = false);
