#include "monitor/MatchText.h"

#include <cstring>

namespace {

// Room for the reversed copies of the ends-with test: the longest string we
// read, its NUL and slack.
constexpr size_t kReverseBuffer = 132;
static_assert(kMaxMatchText + 1 <= kReverseBuffer);

size_t BoundedLength(const char* text) {
  size_t n = 0;
  while (n < kMaxMatchText && text[n] != '\0') ++n;
  return n;
}

bool BeginsWith(const char* text, size_t textLength, const char* pattern, size_t patternLength) {
  return textLength >= patternLength && std::memcmp(text, pattern, patternLength) == 0;
}

// Copies at most kMaxMatchText bytes and always terminates the copy.
void CopyBounded(char (&dst)[kReverseBuffer], const char* src, size_t length) {
  std::memcpy(dst, src, length);
  dst[length] = '\0';
}

bool EndsWith(const char* text, size_t textLength, const char* pattern, size_t patternLength,
              const LeadByteTable& leads) {
  char reversedText[kReverseBuffer];
  char reversedPattern[kReverseBuffer];
  CopyBounded(reversedText, text, textLength);
  CopyBounded(reversedPattern, pattern, patternLength);
  ReverseMultibyte(reversedText, leads);
  ReverseMultibyte(reversedPattern, leads);
  return BeginsWith(reversedText, textLength, reversedPattern, patternLength);
}

bool Contains(const char* text, size_t textLength, const char* pattern, size_t patternLength,
              const LeadByteTable& leads) {
  if (patternLength == 0) return true;
  if (textLength < patternLength) return false;
  const size_t lastStart = textLength - patternLength;
  for (size_t p = 0; p <= lastStart;) {
    if (std::memcmp(text + p, pattern, patternLength) == 0) return true;
    // Never start a try on the second byte of a double-byte character.
    const bool pair = IsLeadByte(leads, static_cast<uint8_t>(text[p])) && p + 1 < textLength;
    p += pair ? 2 : 1;
  }
  return false;
}

}  // namespace

bool MatchText(const char* text, uint8_t mode, const char* pattern, const LeadByteTable& leads) {
  if (mode < kMatchBegins || mode > kMatchEquals) return true;
  const size_t textLength = BoundedLength(text);
  const size_t patternLength = BoundedLength(pattern);
  switch (mode) {
    case kMatchBegins:
      return BeginsWith(text, textLength, pattern, patternLength);
    case kMatchEnds:
      return EndsWith(text, textLength, pattern, patternLength, leads);
    case kMatchContains:
      return Contains(text, textLength, pattern, patternLength, leads);
    default:
      return textLength == patternLength && std::memcmp(text, pattern, textLength) == 0;
  }
}

void ReverseMultibyte(char* text, const LeadByteTable& leads) {
  size_t length = 0;
  while (text[length] != '\0') {
    if (IsLeadByte(leads, static_cast<uint8_t>(text[length])) && text[length + 1] != '\0') {
      // Swapped now so that the byte-wise reversal below puts the pair back
      // in its own order.
      const char lead = text[length];
      text[length] = text[length + 1];
      text[length + 1] = lead;
      length += 2;
    } else {
      ++length;
    }
  }
  for (size_t i = 0, j = length; i + 1 < j; ++i, --j) {
    const char c = text[i];
    text[i] = text[j - 1];
    text[j - 1] = c;
  }
}

bool MatchTarget(const char* className, const char* title, const TargetRecord& record, const LeadByteTable& leads) {
  return MatchText(className, record.classMatch, record.classPattern, leads) &&
         MatchText(title, record.titleMatch, record.titlePattern, leads);
}
