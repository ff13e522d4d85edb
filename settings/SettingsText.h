#pragma once
// The pieces of the settings file's text: quoted strings, numbers, words.
// No Windows types, so the format is tested on the host too.
#include <cstddef>
#include <cstdint>

#include "settings/SettingsModel.h"
#include "settings/Text.h"

// Whether one character (one or two bytes) of the ANSI code page comes back
// unchanged from a conversion to UTF-16 and back, as the profile API and
// editors make it; one that does not is written as escapes.
using CharKeptFn = bool (*)(const char* ch, size_t length, void* context);

struct Charset {
  LeadByteTable leads;
  CharKeptFn isKept = nullptr;  // null: every character is kept
  void* context = nullptr;
};

// Appends text as a quoted value: "..." with %XX for control bytes, for
// characters the code page cannot carry, and for a '%' that would otherwise
// read as an escape. Everything else, quotes and INI punctuation included,
// is written as it is: a value runs from the first quote to the last.
void AppendQuoted(TextBuffer& out, TextView text, const Charset& charset);

// Reads a value written by AppendQuoted (or typed by hand without quotes)
// into text, which must hold at least value.size bytes. Returns the length;
// closed says false when an opening quote has no closing one (the text after
// the opening quote is then taken as it stands).
size_t ReadQuoted(TextView value, char* text, bool& closed);

enum class NumberRead { kExact, kClamped, kBad };

// A decimal integer with an optional sign, clamped to [low, high]; a bad
// number leaves value unchanged.
NumberRead ReadNumber(TextView text, int32_t low, int32_t high, int32_t& value);

// Words for the enumerations. Reading is case-insensitive; an unknown word
// returns false and leaves the value alone.
const char* MatchWord(uint8_t mode);
bool ReadMatchWord(TextView word, uint8_t& mode);
const char* SizeActionWord(uint8_t action);
bool ReadSizeActionWord(TextView word, uint8_t& action);
const char* SizeModeWord(uint8_t mode);
bool ReadSizeModeWord(TextView word, uint8_t& mode);
const char* PositionActionWord(uint8_t action);
bool ReadPositionActionWord(TextView word, uint8_t& action);
const char* AnchorWord(uint8_t anchor);
bool ReadAnchorWord(TextView word, uint8_t& anchor);
const char* OffsetKindWord(uint8_t kind);
bool ReadOffsetKindWord(TextView word, uint8_t& kind);

// yes/no; on/off, true/false and 1/0 are read as well.
bool ReadFlagWord(TextView word, uint8_t& flag);
