// libFuzzer target for the text conditions. Each string reaches MatchText in
// a heap block of its own that ends exactly where its field ends, so the
// address sanitizer reports any read past it; the result must agree with the
// plain reference below, written for clarity rather than speed.
#include "monitor/MatchText.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// The string a field stands for: up to its NUL, at most 128 bytes.
std::string FieldText(const char* field) {
  std::string text;
  for (size_t i = 0; i < kMaxMatchText && field[i] != '\0'; ++i) text += field[i];
  return text;
}

// The characters of text: a lead byte and the byte after it, or one byte.
std::vector<std::string> Characters(const std::string& text, const LeadByteTable& leads) {
  std::vector<std::string> chars;
  for (size_t i = 0; i < text.size();) {
    const size_t width = IsLeadByte(leads, static_cast<uint8_t>(text[i])) && i + 1 < text.size() ? 2 : 1;
    chars.push_back(text.substr(i, width));
    i += width;
  }
  return chars;
}

std::string ReverseByCharacters(const std::string& text, const LeadByteTable& leads) {
  const std::vector<std::string> chars = Characters(text, leads);
  std::string reversed;
  for (auto it = chars.rbegin(); it != chars.rend(); ++it) reversed += *it;
  return reversed;
}

bool ReferenceMatch(const std::string& text, uint8_t mode, const std::string& pattern, const LeadByteTable& leads) {
  const auto begins = [](const std::string& t, const std::string& p) { return t.compare(0, p.size(), p) == 0; };
  switch (mode) {
    case 1:
      return begins(text, pattern);
    case 2:
      return begins(ReverseByCharacters(text, leads), ReverseByCharacters(pattern, leads));
    case 3: {
      size_t start = 0;
      for (const std::string& c : Characters(text, leads)) {
        if (begins(text.substr(start), pattern)) return true;
        start += c.size();
      }
      return pattern.empty();
    }
    case 4:
      return text == pattern;
    default:
      return true;
  }
}

// A heap block holding bytes as a field does: n bytes and a NUL when they
// fit, otherwise the full 129 bytes with whatever they hold.
std::unique_ptr<char[]> Field(const uint8_t* bytes, size_t n) {
  const size_t size = n < kPatternSize ? n + 1 : kPatternSize;
  std::unique_ptr<char[]> field(new char[size]);
  std::memcpy(field.get(), bytes, size < n ? size : n);
  if (n < kPatternSize) field[n] = '\0';
  return field;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t mode = data[0];
  const uint8_t selector = data[1];
  const LeadByteTable leads = selector & 1 ? LeadBytesFromRanges(nullptr, 0, 1) : ShiftJisLeadBytes();
  // Split past 129 so that both fields can be full and without a NUL.
  const size_t textSize = data[2] < size - 3 ? data[2] : size - 3;
  data += 3;
  size -= 3;
  const auto text = Field(data, textSize);
  const auto pattern = Field(data + textSize, size - textSize);
  const std::string textBefore = FieldText(text.get());
  const std::string patternBefore = FieldText(pattern.get());

  const bool got = MatchText(text.get(), mode, pattern.get(), leads);
  Check(got == ReferenceMatch(textBefore, mode, patternBefore, leads));
  Check(FieldText(text.get()) == textBefore && FieldText(pattern.get()) == patternBefore);

  // The same condition reached through a rule, as class and as title.
  std::unique_ptr<TargetRecord> record(new TargetRecord);
  std::memset(record.get(), 0, sizeof *record);
  record->classMatch = mode;
  std::memcpy(record->classPattern, pattern.get(), size - textSize < kPatternSize ? size - textSize + 1 : kPatternSize);
  record->titleMatch = static_cast<uint8_t>(mode ^ selector);
  std::memcpy(record->titlePattern, record->classPattern, kPatternSize);
  const bool titleHolds = ReferenceMatch(textBefore, record->titleMatch, patternBefore, leads);
  Check(MatchTarget(text.get(), text.get(), *record, leads) == (got && titleHolds));

  // The reversal itself, on a buffer that ends right after the NUL.
  std::unique_ptr<char[]> reversed(new char[textBefore.size() + 1]);
  std::memcpy(reversed.get(), textBefore.c_str(), textBefore.size() + 1);
  ReverseMultibyte(reversed.get(), leads);
  Check(std::string(reversed.get()) == ReverseByCharacters(textBefore, leads));
  return 0;
}
