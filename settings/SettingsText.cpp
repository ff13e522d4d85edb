#include "settings/SettingsText.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// "%XX" with two hex digits and a byte other than NUL: the one escape form.
int EscapedByte(TextView text, size_t at) {
  if (at + 3 > text.size || text[at] != '%') return -1;
  const int high = HexValue(text[at + 1]);
  const int low = HexValue(text[at + 2]);
  if (high < 0 || low < 0) return -1;
  const int byte = high * 16 + low;
  return byte == 0 ? -1 : byte;
}

void AppendEscape(TextBuffer& out, uint8_t byte) {
  const char escape[3] = {'%', kHexDigits[byte >> 4], kHexDigits[byte & 0x0F]};
  out.Append(TextView(escape, 3));
}

bool IsControl(uint8_t byte) { return byte < 0x20 || byte == 0x7F; }

struct WordEntry {
  const char* word;
  uint8_t value;
};

template <size_t N>
const char* WordOf(const WordEntry (&table)[N], uint8_t value) {
  for (const WordEntry& entry : table) {
    if (entry.value == value) return entry.word;
  }
  return table[0].word;  // the first entry is the safe one
}

template <size_t N>
bool ReadWord(const WordEntry (&table)[N], TextView word, uint8_t& value) {
  for (const WordEntry& entry : table) {
    if (EqualsNoCase(word, entry.word)) {
      value = entry.value;
      return true;
    }
  }
  return false;
}

constexpr WordEntry kMatchWords[] = {
    {"any", kMatchAny}, {"begins", kMatchBegins}, {"ends", kMatchEnds}, {"contains", kMatchContains}, {"equals", kMatchEquals},
};
constexpr WordEntry kSizeActionWords[] = {
    {"none", kSizeNone}, {"set", kSizeSet}, {"maximize", kSizeMaximize}, {"minimize", kSizeMinimize},
};
constexpr WordEntry kSizeModeWords[] = {
    {"keep", kSizeKeep}, {"pixels", kSizeAbsolute}, {"minus", kSizeExtentMinus}, {"percent", kSizePercent},
};
constexpr WordEntry kPositionActionWords[] = {
    {"none", kPositionNone}, {"set", kPositionSet},
};
constexpr WordEntry kAnchorWords[] = {
    {"keep", kAnchorKeep}, {"near", kAnchorNear}, {"far", kAnchorFar},
};
constexpr WordEntry kOffsetKindWords[] = {
    {"flush", kOffsetFlush}, {"pixels", kOffsetPixels}, {"percent", kOffsetPercent},
};
constexpr WordEntry kFlagWords[] = {
    {"no", 0}, {"yes", 1}, {"off", 0}, {"on", 1}, {"false", 0}, {"true", 1}, {"0", 0}, {"1", 1},
};

}  // namespace

void AppendQuoted(TextBuffer& out, TextView text, const Charset& charset) {
  out.Append('"');
  for (size_t i = 0; i < text.size;) {
    const uint8_t byte = static_cast<uint8_t>(text[i]);
    if (byte < 0x80) {
      if (IsControl(byte) || (byte == '%' && EscapedByte(text, i) >= 0)) {
        AppendEscape(out, byte);
      } else {
        out.Append(static_cast<char>(byte));
      }
      ++i;
      continue;
    }
    // A lead byte is half a character only before a byte that can follow
    // one (40 and up in every double-byte code page); alone it cannot be
    // carried, and a control byte after it must still be escaped.
    const bool lead = IsLeadByte(charset.leads, byte);
    const bool pair = lead && i + 1 < text.size && static_cast<uint8_t>(text[i + 1]) >= 0x40;
    const size_t length = pair ? 2 : 1;
    if ((!lead || pair) && (!charset.isKept || charset.isKept(text.data + i, length, charset.context))) {
      out.Append(text.Sub(i, length));
    } else {
      for (size_t k = 0; k < length; ++k) AppendEscape(out, static_cast<uint8_t>(text[i + k]));
    }
    i += length;
  }
  out.Append('"');
}

size_t ReadQuoted(TextView value, char* text, bool& closed) {
  value = Trim(value);
  closed = true;
  if (!value.Empty() && value.Front() == '"') {
    if (value.size >= 2 && value.Back() == '"') {
      value = value.Sub(1, value.size - 2);
    } else {
      value = value.Sub(1);
      closed = false;
    }
  }
  size_t length = 0;
  for (size_t i = 0; i < value.size;) {
    const int escaped = EscapedByte(value, i);
    if (escaped >= 0) {
      text[length++] = static_cast<char>(escaped);
      i += 3;
    } else {
      text[length++] = value[i];
      ++i;
    }
  }
  return length;
}

NumberRead ReadNumber(TextView text, int32_t low, int32_t high, int32_t& value) {
  text = Trim(text);
  bool negative = false;
  if (!text.Empty() && (text.Front() == '-' || text.Front() == '+')) {
    negative = text.Front() == '-';
    text.DropFront(1);
  }
  if (text.Empty()) return NumberRead::kBad;
  // Digits beyond what int64 holds only push further out of range.
  int64_t magnitude = 0;
  for (size_t i = 0; i < text.size; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return NumberRead::kBad;
    if (magnitude < (int64_t{1} << 40)) magnitude = magnitude * 10 + (c - '0');
  }
  const int64_t number = negative ? -magnitude : magnitude;
  if (number < low) {
    value = low;
    return NumberRead::kClamped;
  }
  if (number > high) {
    value = high;
    return NumberRead::kClamped;
  }
  value = static_cast<int32_t>(number);
  return NumberRead::kExact;
}

const char* MatchWord(uint8_t mode) { return WordOf(kMatchWords, mode); }
bool ReadMatchWord(TextView word, uint8_t& mode) { return ReadWord(kMatchWords, word, mode); }
const char* SizeActionWord(uint8_t action) { return WordOf(kSizeActionWords, action); }
bool ReadSizeActionWord(TextView word, uint8_t& action) { return ReadWord(kSizeActionWords, word, action); }
const char* SizeModeWord(uint8_t mode) { return WordOf(kSizeModeWords, mode); }
bool ReadSizeModeWord(TextView word, uint8_t& mode) { return ReadWord(kSizeModeWords, word, mode); }
const char* PositionActionWord(uint8_t action) { return WordOf(kPositionActionWords, action); }
bool ReadPositionActionWord(TextView word, uint8_t& action) { return ReadWord(kPositionActionWords, word, action); }
const char* AnchorWord(uint8_t anchor) { return WordOf(kAnchorWords, anchor); }
bool ReadAnchorWord(TextView word, uint8_t& anchor) { return ReadWord(kAnchorWords, word, anchor); }
const char* OffsetKindWord(uint8_t kind) { return WordOf(kOffsetKindWords, kind); }
bool ReadOffsetKindWord(TextView word, uint8_t& kind) { return ReadWord(kOffsetKindWords, word, kind); }
bool ReadFlagWord(TextView word, uint8_t& flag) { return ReadWord(kFlagWords, word, flag); }
