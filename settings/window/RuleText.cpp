#include "settings/window/RuleText.h"

#include <cstring>

#include "settings/SettingsModel.h"
#include "settings/window/Ui.h"
#include "settings/window/WindowIds.h"

namespace {

// A field of the record is read up to its NUL or its end, whichever comes first.
std::string FieldText(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

std::string ExtentText(const SizeSpec& spec) {
  switch (spec.mode) {
    case kSizeKeep:
      return LoadText(IDS_EXTENT_KEEP);
    case kSizeAbsolute:
      return std::to_string(spec.value);
    case kSizeExtentMinus:
      return FormatText(IDS_EXTENT_MINUS, static_cast<int>(spec.value));
    case kSizePercent:
      return FormatText(IDS_EXTENT_PERCENT, static_cast<int>(spec.value));
    default:
      return "0";
  }
}

std::string PlaceText(const PositionSpec& spec, UINT nearWord, UINT farWord) {
  if (spec.anchor != kAnchorNear && spec.anchor != kAnchorFar) {
    return spec.anchor == kAnchorKeep ? LoadText(IDS_POS_KEEP) : "0";
  }
  const std::string side = LoadText(spec.anchor == kAnchorNear ? nearWord : farWord);
  switch (spec.offsetKind) {
    case kOffsetFlush:
      return FormatText(IDS_POS_FLUSH, side.c_str());
    case kOffsetPixels:
      return FormatText(IDS_POS_PIXELS, side.c_str(), static_cast<int>(spec.value));
    case kOffsetPercent:
      return FormatText(IDS_POS_PERCENT, side.c_str(), static_cast<int>(spec.value));
    default:
      return "0";
  }
}

void Join(std::string& text, const std::string& part) {
  if (!text.empty()) text += LoadText(IDS_DOES_SEPARATOR);
  text += part;
}

}  // namespace

std::string DescribeMatch(uint8_t mode, const char* pattern) {
  const std::string text = FieldText(pattern, kPatternSize);
  if (mode == kMatchAny || mode > kMatchEquals) return LoadText(IDS_MATCHED_0);
  return FormatText(IDS_MATCHED_0 + mode, text.c_str());
}

std::string DescribeAction(const TargetRecord& record) {
  std::string text;
  switch (record.sizeAction) {
    case kSizeSet:
      Join(text, FormatText(IDS_DOES_SIZE, ExtentText(record.widthSpec).c_str(), ExtentText(record.heightSpec).c_str()));
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
    Join(text, FormatText(IDS_DOES_POSITION, PlaceText(record.xSpec, IDS_X_NEAR, IDS_X_FAR).c_str(),
                          PlaceText(record.ySpec, IDS_Y_NEAR, IDS_Y_FAR).c_str()));
  }
  if (record.activate) Join(text, LoadText(IDS_DOES_ACTIVATE));
  if (record.close) Join(text, LoadText(IDS_DOES_CLOSE));
  return text.empty() ? LoadText(IDS_DOES_NOTHING) : text;
}

std::string DisplayName(const TargetRecord& record) {
  const std::string name = FieldText(RuleName(record), kRuleNameSize);
  return name.empty() ? LoadText(IDS_UNNAMED) : name;
}
