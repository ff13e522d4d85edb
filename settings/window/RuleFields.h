#pragma once
// What the rule editor and the settings window accept in their fields.
// No Windows types: tested on the host too.
#include <cstddef>
#include <cstdint>

#include "settings/SettingsModel.h"
#include "settings/Text.h"

struct NumberRange {
  int32_t low;
  int32_t high;
};

enum class NumberCheck { kOk, kEmpty, kNotNumber, kOutOfRange };

// A decimal integer with an optional sign, spaces around it allowed.
NumberCheck CheckNumber(TextView text, NumberRange range, int32_t& value);

constexpr NumberRange kIntervalRange{kMinInterval, kMaxInterval};

// The range of a width or height value for a size mode; a mode that reads no
// value has none (low > high).
NumberRange SizeValueRange(uint8_t sizeMode);
// The same for a position value by its offset kind.
NumberRange OffsetValueRange(uint8_t offsetKind);
bool HasRange(NumberRange range);

// Whether a size mode or a position (anchor, offset kind) reads its value.
bool SizeModeTakesValue(uint8_t sizeMode);
bool OffsetTakesValue(uint8_t anchor, uint8_t offsetKind);

// Text found on screen for a pattern field: the longest start that fits
// limit bytes without splitting a double-byte character. cut says whether
// anything was left off.
TextView FitPatternText(TextView text, size_t limit, const LeadByteTable& leads, bool& cut);

// Full-width digits, signs and spaces (as a Japanese input method types
// them, in UTF-16) made ASCII in place, so that "１２０" reads as 120.
void NarrowDigits(char16_t* text, size_t length);

// A name for a line of text: the longest start of whole characters that
// fits limit bytes together with "…", which marks that something was left
// off; the text itself when it fits.
TextBuffer ShortenText(TextView text, size_t limit, const LeadByteTable& leads);

// Column widths that fit room: the columns from fixedFrom on keep their
// width, and the widest of the others give way first, down to floor at
// the least, so that no column drops out of sight behind the others.
void FitColumns(int32_t* widths, size_t count, size_t fixedFrom, int32_t room, int32_t floor);
