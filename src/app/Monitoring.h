#pragma once
#include <windows.h>

// The start and stop commands (the window handle is not used).
void StartMonitoring(HWND window);
void StopMonitoring(HWND window);

// Around every change of the rule list or of the active settings: stop the
// monitor thread if monitoring is on, and start a new one afterwards.
void SuspendMonitor();
void ResumeMonitor();
