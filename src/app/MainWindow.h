#pragma once
#include <windows.h>

// The hidden main window's procedure: commands, the rule-list protocol, the
// help request, creation and shutdown.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
