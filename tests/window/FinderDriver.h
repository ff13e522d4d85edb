#pragma once
// The rule editor's window finder as a user drags it with the mouse.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The window that holds the mouse in window's thread, or null.
HWND CaptureOf(HWND window);

// The finder's frame: the visible top-level static windows of the editor's thread.
std::vector<HWND> FrameBars(HWND editor);
RECT UnionOf(const std::vector<HWND>& windows);

// Takes the finder of editor with the mouse, moves it onto target and, with
// the button still down there, runs whileOver; then lets go. Returns an
// empty string, or what went wrong.
std::string DragFinderOnto(HWND editor, POINT target, const std::function<void()>& whileOver);

// Where the mouse is and who has it, for a failure message.
std::string DescribeMouse(HWND editor);
