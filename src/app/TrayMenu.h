#pragma once
#include <windows.h>

#include <cstdint>

// The tray icon's popup menu, built on first use with the items that fit the
// monitoring state, and dropped whenever that state changes.
HMENU GetTrayMenu();
void DropTrayMenu();

// The tray icon's handlers: right-button release and left double click.
void ShowTrayMenu(int32_t x, int32_t y);
void RunDefaultCommand(int32_t x, int32_t y);
