#pragma once
// Whether a window's class name and title satisfy a rule's conditions. Pure:
// the lead bytes come in as data.
#include <cstddef>
#include <cstdint>

#include "monitor/LeadBytes.h"
#include "shared/TargetRecord.h"

// The most bytes of text MatchText reads from either string. Class names,
// titles and patterns all live in 129-byte fields; a field that lacks its NUL
// is read as its first 128 bytes, so no test ever reaches past the field.
constexpr size_t kMaxMatchText = kPatternSize - 1;

// One condition: mode 0 any, 1 begins with, 2 ends with (whole characters),
// 3 contains (starting on a character boundary), 4 equals; 5-255 as 0.
// Case-sensitive; text and pattern are read up to their NUL or kMaxMatchText
// bytes, whichever comes first, and never written.
bool MatchText(const char* text, uint8_t mode, const char* pattern, const LeadByteTable& leads);

// Reverses a NUL-terminated string by characters, in place: each double-byte
// character keeps its two bytes in order. A lead byte with nothing after it
// counts as a character of its own.
void ReverseMultibyte(char* text, const LeadByteTable& leads);

// The class condition first; the title only when the class matched.
bool MatchTarget(const char* className, const char* title, const TargetRecord& record, const LeadByteTable& leads);
