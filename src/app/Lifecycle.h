#pragma once
#include <windows.h>

// The main window's creation work (WM_CREATE); returns 0.
LRESULT OnCreate(HWND window);

// The shutdown work, run once: 0 the first time, 1 when called again.
LRESULT OnShutdown(HWND window);
