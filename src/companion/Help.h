#pragma once
#include <windows.h>

// HTML Help commands used by the program.
constexpr UINT kHhDisplayTopic = 0x00;
constexpr UINT kHhHelpContext = 0x0F;
constexpr UINT kHhCloseAll = 0x12;
constexpr UINT kHhInitialize = 0x1C;
constexpr UINT kHhUninitialize = 0x1D;

// Loads the system's HTML Help control; 1 when help is available, else 0.
int InitHelp();

// Passes one request to the control; null when help is unavailable.
HWND CallHelp(HWND window, const char* file, UINT command, DWORD_PTR data);

// Closes every help window the program opened and unloads the control.
void CloseHelp();
