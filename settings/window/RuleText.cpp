#include "settings/window/RuleText.h"

#include <cstring>

#include "settings/SettingsModel.h"
#include "settings/window/Ui.h"
#include "settings/window/WindowIds.h"

namespace {

// A field of the record is read up to its NUL or its end, whichever comes first.
TextBuffer FieldText(const char* field, size_t size) {
  TextBuffer text;
  text.Append(TextView(field, strnlen(field, size)));
  return text;
}

TextBuffer Plain(const char* text) {
  TextBuffer out;
  out.Append(text);
  return out;
}

TextBuffer ExtentText(const SizeSpec& spec) {
  switch (spec.mode) {
    case kSizeKeep:
      return LoadText(IDS_EXTENT_KEEP);
    case kSizeAbsolute: {
      TextBuffer text;
      text.AppendNumber(spec.value);
      return text;
    }
    case kSizeExtentMinus:
      return FormatText(IDS_EXTENT_MINUS, static_cast<int>(spec.value));
    case kSizePercent:
      return FormatText(IDS_EXTENT_PERCENT, static_cast<int>(spec.value));
    default:
      return Plain("0");
  }
}

TextBuffer PlaceText(const PositionSpec& spec, UINT nearWord, UINT farWord) {
  if (spec.anchor != kAnchorNear && spec.anchor != kAnchorFar) {
    return spec.anchor == kAnchorKeep ? LoadText(IDS_POS_KEEP) : Plain("0");
  }
  const TextBuffer side = LoadText(spec.anchor == kAnchorNear ? nearWord : farWord);
  switch (spec.offsetKind) {
    case kOffsetFlush:
      return FormatText(IDS_POS_FLUSH, side.CString());
    case kOffsetPixels:
      return FormatText(IDS_POS_PIXELS, side.CString(), static_cast<int>(spec.value));
    case kOffsetPercent:
      return FormatText(IDS_POS_PERCENT, side.CString(), static_cast<int>(spec.value));
    default:
      return Plain("0");
  }
}

void Join(TextBuffer& text, const TextBuffer& part) {
  if (text.Size() > 0) text.Append(LoadText(IDS_DOES_SEPARATOR).View());
  text.Append(part.View());
}

}  // namespace

TextBuffer DescribeMatch(uint8_t mode, const char* pattern) {
  const TextBuffer text = FieldText(pattern, kPatternSize);
  if (mode == kMatchAny || mode > kMatchEquals) return LoadText(IDS_MATCHED_0);
  return FormatText(IDS_MATCHED_0 + mode, text.CString());
}

TextBuffer DescribeAction(const TargetRecord& record) {
  TextBuffer text;
  switch (record.sizeAction) {
    case kSizeSet:
      Join(text, FormatText(IDS_DOES_SIZE, ExtentText(record.widthSpec).CString(), ExtentText(record.heightSpec).CString()));
      break;
    case kSizeMaximize:
      Join(text, LoadText(IDS_DOES_MAXIMIZE));
      break;
    case kSizeMinimize:
      Join(text, LoadText(IDS_DOES_MINIMIZE));
      break;
    default:
      break;
  }
  if (record.positionAction == kPositionSet) {
    Join(text, FormatText(IDS_DOES_POSITION, PlaceText(record.xSpec, IDS_X_NEAR, IDS_X_FAR).CString(),
                          PlaceText(record.ySpec, IDS_Y_NEAR, IDS_Y_FAR).CString()));
  }
  if (record.activate) Join(text, LoadText(IDS_DOES_ACTIVATE));
  if (record.close) Join(text, LoadText(IDS_DOES_CLOSE));
  return text.Size() == 0 ? LoadText(IDS_DOES_NOTHING) : std::move(text);
}

TextBuffer DisplayName(const TargetRecord& record) {
  TextBuffer name = FieldText(RuleName(record), kRuleNameSize);
  return name.Size() == 0 ? LoadText(IDS_UNNAMED) : std::move(name);
}
