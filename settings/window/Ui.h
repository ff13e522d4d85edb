#pragma once
// Small helpers shared by the settings window, the rule editor and the
// about box: this module's resources, Japanese texts, field text in the
// ANSI code page, and message boxes.
#include <windows.h>

#include <cstdint>

#include "settings/Text.h"

HINSTANCE ModuleInstance();

// A string resource in the ANSI code page (empty when missing).
TextBuffer LoadText(UINT id);

// A string resource used as a printf format.
TextBuffer FormatText(UINT id, ...);

// The text of a dialog field in the ANSI code page. Returns false when the
// field holds a character that the code page cannot carry, or memory ran out.
bool ReadFieldText(HWND dialog, int id, TextBuffer& text);
void SetFieldText(HWND dialog, int id, const char* text);
inline void SetFieldText(HWND dialog, int id, const TextBuffer& text) { SetFieldText(dialog, id, text.CString()); }
void SetFieldNumber(HWND dialog, int id, int32_t value);
// A record's text field, read up to its NUL or its end.
void SetFieldBytes(HWND dialog, int id, const char* field, size_t size);

// A number field as typed: full-width digits count as digits.
TextBuffer ReadNumberText(HWND dialog, int id);

// format (a string resource with one %s) with name in it, the name
// shortened with "…" until the text fits the control's width on one line.
TextBuffer FitNameInto(HWND control, UINT format, const char* name);

// A message box owned by owner, captioned with the product's name.
int ShowMessage(HWND owner, const char* text, UINT flags);
inline int ShowMessage(HWND owner, const TextBuffer& text, UINT flags) { return ShowMessage(owner, text.CString(), flags); }

// Fills a drop-down list with consecutive string resources first..first+count-1.
void FillChoices(HWND dialog, int id, UINT first, int count);
int ChoiceOf(HWND dialog, int id);
void SetChoice(HWND dialog, int id, int choice);

bool IsChecked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool checked);
void EnableField(HWND dialog, int id, bool enabled);
// A disabled control must not keep the focus, or the keyboard is lost.
void MoveFocusOffDisabled(HWND dialog);

// A window's top-left corner kept in the shared block between two openings,
// and whether a stored one lies on a screen.
struct SavedPlace {
  bool valid = false;
  int32_t x = 0;
  int32_t y = 0;
};
void PlaceOnScreen(HWND window, const SavedPlace& place);

// Ends a window move or resize that the system runs on this thread. That
// loop ends only on a key or the mouse button: a window closed from outside
// while it runs would leave its thread waiting for the user.
void CancelMoveSize();

// Shows the module's dialog id and runs its messages until done is set (by
// its WM_DESTROY), destroying it if the loop ends first. A WM_QUIT met on the
// way is put back for the caller's own loop.
void RunModelessDialog(UINT id, DLGPROC proc, LPARAM param, const bool& done);
