#include "RuleInput.h"

#include <cstring>
#include <cwchar>
#include <string>

#include "WindowDriver.h"
#include "settings/SettingsModel.h"
#include "settings/window/RuleFields.h"
#include "settings/window/WindowIds.h"

void FillEditor(HWND editor, const RuleInput& input) {
  Type(editor, IDC_NAME, input.name);
  Choose(editor, IDC_CLASS_MODE, input.classMatch);
  Type(editor, IDC_CLASS, input.className);
  Choose(editor, IDC_TITLE_MODE, input.titleMatch);
  Type(editor, IDC_TITLE, input.title);
  Choose(editor, IDC_SIZE_ACTION, input.sizeAction);
  Choose(editor, IDC_WIDTH_MODE, input.widthMode);
  Type(editor, IDC_WIDTH, input.width);
  Choose(editor, IDC_HEIGHT_MODE, input.heightMode);
  Type(editor, IDC_HEIGHT, input.height);
  SetCheck(editor, IDC_POSITION, input.position);
  Choose(editor, IDC_X_ANCHOR, input.xAnchor);
  Choose(editor, IDC_X_OFFSET, input.xOffset);
  Type(editor, IDC_X, input.x);
  Choose(editor, IDC_Y_ANCHOR, input.yAnchor);
  Choose(editor, IDC_Y_OFFSET, input.yOffset);
  Type(editor, IDC_Y, input.y);
  SetCheck(editor, IDC_ACTIVATE, input.activate);
  SetCheck(editor, IDC_CLOSE_WINDOW, input.close);
  SetCheck(editor, IDC_ENABLED, input.enabled);
  SetCheck(editor, IDC_APPLY_ONCE, input.applyOnce);
}

namespace {

void CopyText(char* field, size_t size, const wchar_t* text) {
  std::memset(field, 0, size);
  const std::string ansi = Ansi(text);
  std::memcpy(field, ansi.data(), ansi.size() < size ? ansi.size() : size - 1);
}

int32_t Number(const wchar_t* text) {
  std::wstring narrow(text);
  NarrowDigits(reinterpret_cast<char16_t*>(&narrow[0]), narrow.size());
  return static_cast<int32_t>(std::wcstol(narrow.c_str(), nullptr, 10));
}

}  // namespace

TargetRecord RecordOf(const RuleInput& input) {
  TargetRecord record = DefaultRule();
  CopyText(RuleName(record), kRuleNameSize, input.name);
  CopyText(record.classPattern, kPatternSize, input.className);
  CopyText(record.titlePattern, kPatternSize, input.title);
  record.classMatch = input.classMatch;
  record.titleMatch = input.titleMatch;
  record.sizeAction = input.sizeAction;
  record.widthSpec.mode = input.widthMode;
  record.heightSpec.mode = input.heightMode;
  // A value the chosen mode does not read keeps the new rule's 0.
  const bool sized = input.sizeAction == kSizeSet;
  if (sized && SizeModeTakesValue(input.widthMode)) record.widthSpec.value = Number(input.width);
  if (sized && SizeModeTakesValue(input.heightMode)) record.heightSpec.value = Number(input.height);
  record.positionAction = input.position ? kPositionSet : kPositionNone;
  record.xSpec.anchor = input.xAnchor;
  record.xSpec.offsetKind = input.xOffset;
  record.ySpec.anchor = input.yAnchor;
  record.ySpec.offsetKind = input.yOffset;
  if (input.position && OffsetTakesValue(input.xAnchor, input.xOffset)) record.xSpec.value = Number(input.x);
  if (input.position && OffsetTakesValue(input.yAnchor, input.yOffset)) record.ySpec.value = Number(input.y);
  record.activate = input.activate ? 1 : 0;
  record.close = input.close ? 1 : 0;
  record.enabled = input.enabled ? 1 : 0;
  record.applyOnce = input.applyOnce ? 1 : 0;
  return record;
}
