#pragma once
#include <windows.h>

// HTML Help commands used by the program.
constexpr UINT kHhDisplayTopic = 0x00;
constexpr UINT kHhHelpContext = 0x0F;
constexpr UINT kHhCloseAll = 0x12;
constexpr UINT kHhInitialize = 0x1C;
constexpr UINT kHhUninitialize = 0x1D;
constexpr UINT kHhPretranslateMessage = 0xFD;

// Commands below this one (HH_DISPLAY_TOPIC to HH_DISPLAY_SEARCH) return the
// help window they show.
constexpr UINT kHhFirstNonDisplayCommand = 0x04;

// Loads the system's HTML Help control; 1 when help is available, else 0.
int InitHelp();

// Passes one request to the control; null when help is unavailable.
HWND CallHelp(HWND window, const char* file, UINT command, DWORD_PTR data);

// After HH_INITIALIZE the help window runs on this thread, and its keyboard
// (Tab, access keys) works only when the message loop shows every message to
// the control first. True when the control took it: the loop then neither
// translates nor dispatches it. False whenever help is not initialized.
bool PretranslateHelpMessage(MSG* msg);

// Closes every help window the program opened and unloads the control.
void CloseHelp();

// Tests only: the next InitHelp loads the control from this full path
// instead of the system's own. Null or empty restores the system's.
void SetHelpControlPathForTest(const char* path);
