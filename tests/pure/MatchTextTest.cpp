#include "monitor/MatchText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/SidePaths.h"

namespace {

const LeadByteTable kSjis = ShiftJisLeadBytes();
const LeadByteTable kNoLeads = LeadBytesFromRanges(nullptr, 0, 1);

// Shift JIS: ア 83 41 (its second byte is 'A'), 日本語 93 FA 96 7B 8C EA.
#define KA "\x83\x41"
#define NIHONGO "\x93\xFA\x96\x7B\x8C\xEA"

TEST(MatchText, ModesAndDoubleByteBoundaries) {
  const struct { const char* text; uint8_t mode; const char* pattern; bool sjis, match; } kCases[] = {
      {"ABCD", kMatchBegins, "AB", true, true}, {"ABCD", kMatchBegins, "ab", true, false},
      {"ABCD", kMatchEnds, "CD", true, true}, {"ABCDE", kMatchEnds, "CD", true, false},
      {"ABCD", kMatchContains, "BC", true, true}, {"ABCD", kMatchContains, "BD", true, false},
      {"ABCD", kMatchEquals, "ABCD", true, true}, {"ABCD", kMatchEquals, "ABC", true, false},
      {"ABC", kMatchEquals, "ABCD", true, false}, {"", kMatchAny, "x", true, true}, {"", 9, "x", true, true},
      {"AB", kMatchBegins, "ABC", true, false}, {"A", kMatchContains, "", true, true},
      {"A", kMatchEquals, "", true, false},
      // The second byte of ア is no 'A'; in a single-byte code page it is.
      {"XYZ" KA, kMatchEnds, "A", true, false}, {"XYZ" KA, kMatchContains, "A", true, false},
      {"XYZ" KA, kMatchEnds, "A", false, true}, {"XYZ" KA, kMatchEnds, "Z" KA, true, true},
      // Contains starts only on character boundaries; 81 81 is one character.
      {KA "\x83\x42", kMatchContains, "\x41\x83", true, false}, {"\x81\x81\x41", kMatchContains, "\x81\x41", true, false},
      {NIHONGO, kMatchContains, "\xFA\x96", true, false}, {NIHONGO, kMatchEnds, "\x96\x7B\x8C\xEA", true, true},
      // A title cut inside its last character: the lone lead byte stands alone.
      {"AB\x83", kMatchEnds, "B\x83", true, true}, {"AB\x83", kMatchEnds, "B", true, false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(MatchText(c.text, c.mode, c.pattern, c.sjis ? kSjis : kNoLeads), c.match)
        << '"' << c.text << "\" mode " << int(c.mode) << " \"" << c.pattern << '"';
  }
  // Only the first 128 bytes of a text count.
  const std::string text = std::string(200, 'x') + "END";
  EXPECT_FALSE(MatchText(text.c_str(), kMatchEnds, "END", kSjis));
  EXPECT_TRUE(MatchText(text.c_str(), kMatchEquals, std::string(128, 'x').c_str(), kSjis));
}

std::string Reversed(std::string text, const LeadByteTable& leads = kSjis) {
  ReverseMultibyte(&text[0], leads);
  return text;
}

TEST(ReverseMultibyte, KeepsPairsInOrder) {
  EXPECT_EQ(Reversed("AB" KA "C"), "C" KA "BA");
  EXPECT_EQ(Reversed(NIHONGO), "\x8C\xEA\x96\x7B\x93\xFA");
  EXPECT_EQ(Reversed("A\x83"), "\x83" "A");
  EXPECT_EQ(Reversed("AB" KA, kNoLeads), "\x41\x83" "BA");
}

TEST(MatchTarget, BothConditionsAndUnterminatedFields) {
  TargetRecord rule = {};
  rule.classMatch = kMatchEquals;
  std::strcpy(rule.classPattern, "Notepad");
  rule.titleMatch = kMatchEnds;
  std::strcpy(rule.titlePattern, " - Notepad");
  EXPECT_TRUE(MatchTarget("Notepad", "memo.txt - Notepad", rule, kSjis));
  EXPECT_FALSE(MatchTarget("Edit", "memo.txt - Notepad", rule, kSjis));
  EXPECT_FALSE(MatchTarget("Notepad", "memo.txt", rule, kSjis));
  // Pattern fields without their NUL are read as their first 128 bytes.
  std::memset(&rule, 'A', sizeof rule);
  rule.classMatch = kMatchEquals;
  rule.titleMatch = kMatchBegins;
  const std::string a128(128, 'A');
  EXPECT_TRUE(MatchTarget(a128.c_str(), (a128 + "BC").c_str(), rule, kSjis));
  EXPECT_FALSE(MatchTarget(a128.substr(1).c_str(), a128.c_str(), rule, kSjis));
}

TEST(SidePaths, ASecondByteBackslashDoesNotCutTheFolder) {
  // 表示.exe: 表 is 95 5C, its second byte a backslash.
  const SidePaths p = DeriveSidePaths("C:\\my.tools\\\x95\x5C\x8E\xA6.exe", kSjis);
  EXPECT_STREQ(p.moduleDir, "C:\\my.tools\\");
  EXPECT_STREQ(p.iniPath, "C:\\my.tools\\\x95\x5C\x8E\xA6.ini");
  EXPECT_STREQ(p.companionPath, "C:\\my.tools\\\x95\x5C\x8E\xA6" "DLL.dll");
}

}  // namespace
