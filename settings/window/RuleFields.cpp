#include "settings/window/RuleFields.h"

#include "settings/SettingsText.h"

NumberCheck CheckNumber(TextView text, NumberRange range, int32_t& value) {
  if (Trim(text).Empty()) return NumberCheck::kEmpty;
  int32_t read = 0;
  switch (ReadNumber(text, range.low, range.high, read)) {
    case NumberRead::kExact:
      value = read;
      return NumberCheck::kOk;
    case NumberRead::kClamped:
      return NumberCheck::kOutOfRange;
    case NumberRead::kBad:
      break;
  }
  return NumberCheck::kNotNumber;
}

NumberRange SizeValueRange(uint8_t sizeMode) {
  switch (sizeMode) {
    // The file's ranges: a rule read from the file can be confirmed as it is.
    case kSizeAbsolute:
    case kSizeExtentMinus:
      return {kMinPixels, kMaxPixels};
    case kSizePercent:
      return {kMinPercent, kMaxPercent};
    default:
      return {1, 0};
  }
}

NumberRange OffsetValueRange(uint8_t offsetKind) {
  switch (offsetKind) {
    case kOffsetPixels:
      return {kMinPixels, kMaxPixels};
    case kOffsetPercent:
      return {kMinPercent, kMaxPercent};
    default:
      return {1, 0};
  }
}

bool HasRange(NumberRange range) { return range.low <= range.high; }

bool SizeModeTakesValue(uint8_t sizeMode) { return HasRange(SizeValueRange(sizeMode)); }

bool OffsetTakesValue(uint8_t anchor, uint8_t offsetKind) {
  return (anchor == kAnchorNear || anchor == kAnchorFar) && HasRange(OffsetValueRange(offsetKind));
}

TextView FitPatternText(TextView text, size_t limit, const LeadByteTable& leads, bool& cut) {
  const size_t length = WholeCharsLength(text.data, text.size, limit, leads);
  cut = length < text.size;
  return text.Sub(0, length);
}

void NarrowDigits(char16_t* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    char16_t& c = text[i];
    if (c >= u'\uFF10' && c <= u'\uFF19') {
      c = static_cast<char16_t>(u'0' + (c - u'\uFF10'));
    } else if (c == u'\uFF0D' || c == u'\u2212' || c == u'\u30FC') {
      c = u'-';
    } else if (c == u'\uFF0B') {
      c = u'+';
    } else if (c == u'\u3000') {
      c = u' ';
    }
  }
}
