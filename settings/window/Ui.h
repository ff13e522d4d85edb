#pragma once
// Small helpers shared by the settings window, the rule editor and the
// about box: this module's resources, Japanese texts, field text in the
// ANSI code page, and message boxes.
#include <windows.h>

#include <cstdint>
#include <string>

HINSTANCE ModuleInstance();

// A string resource in the ANSI code page ("" when missing).
std::string LoadText(UINT id);

// A string resource used as a printf format.
std::string FormatText(UINT id, ...);

// The text of a dialog field in the ANSI code page. Returns false when the
// field holds a character that the code page cannot carry.
bool ReadFieldText(HWND dialog, int id, std::string& text);
void SetFieldText(HWND dialog, int id, const std::string& text);

// A number field as typed: full-width digits count as digits.
std::string ReadNumberText(HWND dialog, int id);

// A message box owned by owner, captioned with the product's name.
int ShowMessage(HWND owner, const std::string& text, UINT flags);

// Fills a drop-down list with consecutive string resources first..first+count-1.
void FillChoices(HWND dialog, int id, UINT first, int count);
int ChoiceOf(HWND dialog, int id);
void SetChoice(HWND dialog, int id, int choice);

bool IsChecked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool checked);
void EnableField(HWND dialog, int id, bool enabled);

// A window's top-left corner kept in the shared block between two openings,
// and whether a stored one lies on a screen.
struct SavedPlace {
  bool valid = false;
  int32_t x = 0;
  int32_t y = 0;
};
void PlaceOnScreen(HWND window, const SavedPlace& place);
