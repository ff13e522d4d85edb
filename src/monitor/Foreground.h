#pragma once
#include <windows.h>

// Brings the window to the foreground even where the system's foreground
// lock would refuse, and raises it above every window that is not topmost.
void ForceForeground(HWND window);
