#pragma once
// The calls of the apply pass that wait on another thread's window. Each
// waits a bounded time, so a window whose thread stopped answering can hold
// up a pass for about a second or two, never for good.
#include <windows.h>

#include <cstdint>

// How long one call waits for a window's thread to answer.
constexpr UINT kAnswerTimeoutMs = 1000;

// Threads that did not answer in this pass: their windows are left alone
// until the next pass, which asks again.
struct PassState {
  static constexpr int kMaxHungThreads = 8;
  DWORD hungThreads[kMaxHungThreads];
  int hungCount;
};

// Whether the window's thread handles messages now. Asked once before the
// first action on a window in a pass; a thread that fails to answer is
// remembered as hung for the rest of the pass.
bool WindowAnswers(HWND window, PassState& pass);

// Whether the window's thread already failed to answer in this pass.
bool KnownHung(HWND window, const PassState& pass);

// Sends a message with a bounded wait; skipped (false) when the window's
// thread is known hung in this pass, and a time-out marks it hung.
bool SendWithinTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, PassState& pass);

// GetWindowTextA into a buffer of `size` bytes (at most 128 of text), empty
// when it cannot be read. For a window of another thread of this process
// GetWindowTextA would send WM_GETTEXT and wait for good; its text is read
// without a message instead.
void ReadWindowTitle(HWND window, char* title, int size);
