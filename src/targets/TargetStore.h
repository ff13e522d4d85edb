#pragma once
// The rule list (targets and their child rules) and the six messages through
// which the settings module reads and edits it. Handlers run on the main
// window's thread; wParam is the index, lParam the parent (negative: the
// message is about a target; otherwise the target whose children are meant).
#include <windows.h>

LRESULT GetRecord(WPARAM index, LPARAM parent);
LRESULT GetChildCount(WPARAM index, LPARAM unused);
LRESULT InsertRecord(WPARAM index, LPARAM parent);
LRESULT DeleteRecord(WPARAM index, LPARAM parent);
LRESULT SetRecord(WPARAM index, LPARAM parent);
LRESULT ApplySettings(WPARAM unused, LPARAM unused2);

// Releases every child array and the target array (at shutdown).
void FreeTargets();

// Test seam: the next `count` growths of an array fail as if the heap were
// exhausted. Only the tests call it.
void FailNextRuleGrowths(int count);
