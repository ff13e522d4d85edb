// Placeholder until the help binding lands: help is never available.
#include "companion/Help.h"

int InitHelp() { return 0; }
HWND CallHelp(HWND, const char*, UINT, DWORD_PTR) { return nullptr; }
void CloseHelp() {}
