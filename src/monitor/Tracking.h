#pragma once
// The stages of a scan that keep the tracked-window list (Tracked.h) up to
// date. They run on the monitor thread, or on a test's thread while none runs.
#include <windows.h>

// Marks every entry and child as not yet reported by this scan.
void ClearSeenFlags();

// EnumWindows callback: finds or appends the window's entry, marks it seen
// and looks for its MDI client. Always continues.
BOOL CALLBACK TrackTopLevelWindow(HWND window, LPARAM unused);

// EnumChildWindows callback over a top-level window's descendants; index is
// the entry's place in the list. Stops at the first MDI client, after
// tracking the windows under it.
BOOL CALLBACK FindMdiClient(HWND window, LPARAM index);

// EnumChildWindows callback over the MDI client's descendants: finds or
// appends the child in the entry at index and marks it seen.
BOOL CALLBACK TrackMdiChild(HWND window, LPARAM index);

// Drops every entry and child the scan did not report, keeping the order of
// the rest, and cuts the arrays back to fit.
void PruneTrackedWindows();
