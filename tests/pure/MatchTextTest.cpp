#include "monitor/MatchText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const LeadByteTable kSjis = ShiftJisLeadBytes();
const LeadByteTable kNoLeads = LeadBytesFromRanges(nullptr, 0, 1);

// Shift JIS: ア 83 41 (its second byte is 'A'), イ 83 42, 日 93 FA, 本 96 7B, 語 8C EA.
#define KA "\x83\x41"
#define NIHONGO "\x93\xFA\x96\x7B\x8C\xEA"

struct Case {
  const char* text;
  uint8_t mode;
  const char* pattern;
  bool sjis;  // false: a single-byte code page
  bool match;
};

constexpr Case kCases[] = {
    // Every mode, case-sensitive.
    {"ABCD", kMatchBegins, "AB", true, true}, {"ABCD", kMatchBegins, "ab", true, false},
    {"ABCD", kMatchEnds, "CD", true, true}, {"ABCDE", kMatchEnds, "CD", true, false},
    {"ABCD", kMatchContains, "BC", true, true}, {"ABCD", kMatchContains, "bc", true, false},
    {"ABCD", kMatchContains, "BD", true, false}, {"ABCD", kMatchEquals, "ABCD", true, true},
    {"ABCD", kMatchEquals, "ABC", true, false}, {"ABC", kMatchEquals, "ABCD", true, false},
    {"ABCD", kMatchEquals, "abcd", true, false},
    // A pattern longer than the text; empty patterns.
    {"AB", kMatchBegins, "ABC", true, false}, {"BC", kMatchEnds, "ABC", true, false},
    {"", kMatchContains, "A", true, false}, {"", kMatchBegins, "", true, true}, {NIHONGO, kMatchEnds, "", true, true},
    {"A", kMatchContains, "", true, true}, {"", kMatchEquals, "", true, true}, {"A", kMatchEquals, "", true, false},
    // The second byte of ア is no 'A'; in a single-byte code page it is.
    {"XYZ" KA, kMatchEnds, "A", true, false}, {"XYZ" KA, kMatchContains, "A", true, false},
    {"XYZ" KA, kMatchEnds, "Z" KA, true, true}, {"XYZ" KA, kMatchContains, KA, true, true},
    {"XYZ" KA, kMatchEnds, "A", false, true}, {"XYZ" KA, kMatchContains, "A", false, true},
    // Contains starts only on character boundaries; 81 81 is one character
    // whose second byte is also a lead byte.
    {KA "\x83\x42", kMatchContains, "\x41\x83", true, false}, {KA "\x83\x42", kMatchContains, "\x83\x42", true, true},
    {"\x81\x81\x41", kMatchContains, "\x81\x41", true, false}, {"\x81\x81\x41", kMatchContains, "A", true, true},
    {"\x81\x81\x41", kMatchContains, "\x81\x41", false, true},
    // Double-byte titles.
    {NIHONGO, kMatchBegins, "\x93\xFA\x96\x7B", true, true}, {NIHONGO, kMatchBegins, "\x93\xFA\x96\x7C", true, false},
    {NIHONGO, kMatchEnds, "\x96\x7B\x8C\xEA", true, true}, {NIHONGO, kMatchEnds, "\xEA", true, false},
    {NIHONGO, kMatchContains, "\xFA\x96", true, false}, {NIHONGO, kMatchEquals, NIHONGO, true, true},
    // A title cut inside its last character: the lone lead byte stands alone.
    {"AB\x83", kMatchEnds, "B\x83", true, true}, {"AB\x83", kMatchContains, "\x83", true, true},
    {"AB\x83", kMatchEnds, "B", true, false},
};

TEST(MatchText, Cases) {
  for (const Case& c : kCases) {
    EXPECT_EQ(MatchText(c.text, c.mode, c.pattern, c.sjis ? kSjis : kNoLeads), c.match)
        << '"' << c.text << "\" mode " << int(c.mode) << " \"" << c.pattern << '"';
  }
  for (unsigned mode = 0; mode <= 255; ++mode) {
    if (mode >= kMatchBegins && mode <= kMatchEquals) continue;
    EXPECT_TRUE(MatchText("", static_cast<uint8_t>(mode), "pattern", kSjis)) << mode;
  }
}

// Fields of exactly 129 bytes on the heap, so the sanitizer sees any read past them.
std::vector<char> Field(const std::string& bytes) {
  std::vector<char> field(kPatternSize, '\0');
  std::memcpy(field.data(), bytes.data(), bytes.size() < kPatternSize ? bytes.size() : kPatternSize);
  return field;
}

TEST(MatchText, TextAndFieldsAreReadAsTheirFirst128Bytes) {
  const std::vector<char> full = Field(std::string(kPatternSize, 'A'));
  const std::vector<char> a128 = Field(std::string(128, 'A'));
  for (uint8_t mode = kMatchAny; mode <= kMatchEquals; ++mode) {
    EXPECT_TRUE(MatchText(full.data(), mode, full.data(), kSjis)) << int(mode);
    EXPECT_TRUE(MatchText(a128.data(), mode, full.data(), kSjis)) << int(mode);
  }
  // Double-byte characters all the way, ending with a lone lead byte at 128.
  std::string pairs;
  while (pairs.size() < kPatternSize) pairs += KA;
  const std::vector<char> dbcs = Field(pairs);
  EXPECT_TRUE(MatchText(dbcs.data(), kMatchEquals, dbcs.data(), kSjis));
  EXPECT_FALSE(MatchText(dbcs.data(), kMatchContains, Field("A\x83").data(), kSjis));
  EXPECT_TRUE(MatchText(dbcs.data(), kMatchEnds, Field(KA).data(), kSjis));
  const std::string text = std::string(200, 'x') + "END";
  EXPECT_FALSE(MatchText(text.c_str(), kMatchEnds, "END", kSjis));
  EXPECT_FALSE(MatchText(text.c_str(), kMatchContains, "END", kSjis));
  EXPECT_TRUE(MatchText(text.c_str(), kMatchEquals, std::string(128, 'x').c_str(), kSjis));
}

std::string Reversed(std::string text, const LeadByteTable& leads = kSjis) {
  ReverseMultibyte(&text[0], leads);
  return text;
}

TEST(ReverseMultibyte, KeepsPairsInOrder) {
  EXPECT_EQ(Reversed(""), "");
  EXPECT_EQ(Reversed("ABC"), "CBA");
  EXPECT_EQ(Reversed("AB" KA "C"), "C" KA "BA");
  EXPECT_EQ(Reversed(NIHONGO), "\x8C\xEA\x96\x7B\x93\xFA");
  EXPECT_EQ(Reversed("A\x83"), "\x83" "A");
  EXPECT_EQ(Reversed("AB" KA, kNoLeads), "\x41\x83" "BA");
}

TargetRecord Rule(uint8_t classMatch, const char* classPattern, uint8_t titleMatch, const char* titlePattern) {
  TargetRecord record = {};
  record.classMatch = classMatch;
  std::strncpy(record.classPattern, classPattern, kPatternSize - 1);
  record.titleMatch = titleMatch;
  std::strncpy(record.titlePattern, titlePattern, kPatternSize - 1);
  return record;
}

TEST(MatchTarget, BothConditionsMustHold) {
  const TargetRecord rule = Rule(kMatchEquals, "Notepad", kMatchEnds, " - Notepad");
  EXPECT_TRUE(MatchTarget("Notepad", "memo.txt - Notepad", rule, kSjis));
  EXPECT_FALSE(MatchTarget("Edit", "memo.txt - Notepad", rule, kSjis));
  EXPECT_FALSE(MatchTarget("Notepad", "memo.txt", rule, kSjis));
  EXPECT_TRUE(MatchTarget("AnyClass", "", Rule(kMatchAny, "ignored", kMatchEquals, ""), kSjis));

  // Pattern fields without their NUL.
  TargetRecord unterminated;
  std::memset(&unterminated, 'A', sizeof unterminated);
  unterminated.classMatch = kMatchEquals;
  unterminated.titleMatch = kMatchBegins;
  const std::string a128(128, 'A');
  EXPECT_TRUE(MatchTarget(a128.c_str(), (a128 + "BC").c_str(), unterminated, kSjis));
  EXPECT_FALSE(MatchTarget(a128.substr(1).c_str(), a128.c_str(), unterminated, kSjis));
}

}  // namespace
