#pragma once
// A rule as a user types it into the rule editor, and the record the
// program must then hold for it.
#include <windows.h>

#include "shared/TargetRecord.h"

struct RuleInput {
  const wchar_t* name = L"";
  const wchar_t* className = L"";
  uint8_t classMatch = kMatchAny;
  const wchar_t* title = L"";
  uint8_t titleMatch = kMatchAny;
  uint8_t sizeAction = kSizeNone;
  uint8_t widthMode = kSizeKeep;
  const wchar_t* width = L"0";
  uint8_t heightMode = kSizeKeep;
  const wchar_t* height = L"0";
  bool position = false;
  uint8_t xAnchor = kAnchorKeep;
  uint8_t xOffset = kOffsetFlush;
  const wchar_t* x = L"0";
  uint8_t yAnchor = kAnchorKeep;
  uint8_t yOffset = kOffsetFlush;
  const wchar_t* y = L"0";
  bool activate = false;
  bool close = false;
  bool enabled = true;
  bool applyOnce = true;
};

// Types every field of input into an open rule editor.
void FillEditor(HWND editor, const RuleInput& input);

// What the editor makes of input, starting from a new rule's record.
TargetRecord RecordOf(const RuleInput& input);
