#pragma once
// Closes of top-level windows go out from a thread of their own that does
// nothing but wait for messages: a window that asks "save changes?" before it
// closes keeps its question open without holding up a scan, and the send's
// return (the window closed, or the user answered) comes back there.
#include <windows.h>

// Sends WM_SYSCOMMAND with SC_CLOSE to the window without waiting for it.
void SendClose(HWND window);

// True while a close sent to the window has not returned.
bool ClosePending(HWND window);

// Ends the closing thread (waiting for it a bounded time) and forgets every
// close still open. For the program's exit.
void StopClosing();
