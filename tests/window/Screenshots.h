#pragma once
// Pictures of windows on the test display, taken with the display's own
// tools (ImageMagick's import), for people to look at.
#include <windows.h>

#include <string>

// Runs a program of the host system (a path like /usr/bin/import) with its
// arguments and waits until it has finished; false when it did not.
bool RunHostCommand(const std::string& command, DWORD timeoutMs = 30000);

// Saves the screen area of window as a PNG file
// under folder (a host path); false when no file came.
bool SaveWindowPicture(HWND window, const std::string& hostFolder, const std::string& name);

// Saves a screen area the same way.
bool SaveScreenPicture(RECT area, const std::string& hostFolder, const std::string& name);

// The folder beside the test executables where pictures go, as a host path.
std::string PictureFolder();
