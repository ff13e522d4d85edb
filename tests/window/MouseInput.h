#pragma once
// The mouse as a user works it: real input events on the test display
// (through xdotool), which the system delivers as it would a user's.
#include <windows.h>

// Moves the pointer to a screen point and waits until it is there.
bool MoveMouseTo(POINT screen);
void PressLeftButton();
void ReleaseLeftButton();

// The middle of a window on the screen.
POINT CenterOf(HWND window);
