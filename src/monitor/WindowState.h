#pragma once
// What the monitor reads of a window: whether it is shown, and its boxes.
#include <windows.h>

#include "monitor/Geometry.h"

// Visible and not minimised.
bool IsWindowShown(HWND window);

// The window's rectangle in screen coordinates (all zero when it cannot be read).
Box GetWindowBox(HWND window);

// The window's client area (origin 0, 0).
Box GetClientBox(HWND window);

// The box with its x and y converted from screen coordinates into the
// window's client coordinates; width and height unchanged.
Box ScreenToClientBox(HWND window, Box box);
