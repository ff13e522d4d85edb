// Placeholder until foreground activation lands.
#include "monitor/Foreground.h"

void ForceForeground(HWND window) { SetForegroundWindow(window); }
