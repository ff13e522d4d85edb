#include "monitor/MatchText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const LeadByteTable kSjis = ShiftJisLeadBytes();
const LeadByteTable kNoLeads = LeadBytesFromRanges(nullptr, 0, 1);

// Shift JIS: ア 83 41 (its second byte is 'A'), イ 83 42, 日 93 FA, 本 96 7B, 語 8C EA.
const char kKatakanaA[] = "\x83\x41";
const char kNihongo[] = "\x93\xFA\x96\x7B\x8C\xEA";

bool Match(const std::string& text, uint8_t mode, const std::string& pattern, const LeadByteTable& leads = kSjis) {
  return MatchText(text.c_str(), mode, pattern.c_str(), leads);
}

std::string Reversed(std::string text, const LeadByteTable& leads = kSjis) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  ReverseMultibyte(buffer.data(), leads);
  return std::string(buffer.data());
}

TEST(MatchText, TitleAbcdInEveryMode) {
  EXPECT_TRUE(Match("ABCD", kMatchBegins, "AB"));
  EXPECT_FALSE(Match("ABCD", kMatchBegins, "ab"));
  EXPECT_TRUE(Match("ABCD", kMatchEnds, "CD"));
  EXPECT_FALSE(Match("ABCDE", kMatchEnds, "CD"));
  EXPECT_FALSE(Match("ABCD", kMatchEnds, "cd"));
  EXPECT_TRUE(Match("ABCD", kMatchContains, "BC"));
  EXPECT_FALSE(Match("ABCD", kMatchContains, "bc"));
  EXPECT_FALSE(Match("ABCD", kMatchContains, "BD"));
  EXPECT_TRUE(Match("ABCD", kMatchEquals, "ABCD"));
  EXPECT_FALSE(Match("ABCD", kMatchEquals, "ABC"));
  EXPECT_FALSE(Match("ABC", kMatchEquals, "ABCD"));
  EXPECT_FALSE(Match("ABCD", kMatchEquals, "abcd"));
}

TEST(MatchText, PatternLongerThanTextNeverMatches) {
  EXPECT_FALSE(Match("AB", kMatchBegins, "ABC"));
  EXPECT_FALSE(Match("BC", kMatchEnds, "ABC"));
  EXPECT_FALSE(Match("AB", kMatchContains, "ABC"));
  EXPECT_FALSE(Match("", kMatchContains, "A"));
}

TEST(MatchText, AnyAndUnknownModesMatchEverything) {
  for (unsigned mode = 0; mode <= 255; ++mode) {
    if (mode >= kMatchBegins && mode <= kMatchEquals) continue;
    SCOPED_TRACE(mode);
    EXPECT_TRUE(Match("", static_cast<uint8_t>(mode), "pattern"));
    EXPECT_TRUE(Match("Notepad", static_cast<uint8_t>(mode), "xyz"));
  }
}

TEST(MatchText, EmptyPatternPerMode) {
  for (const char* text : {"", "A", "ABCD", kNihongo}) {
    SCOPED_TRACE(text);
    EXPECT_TRUE(Match(text, kMatchBegins, ""));
    EXPECT_TRUE(Match(text, kMatchEnds, ""));
    EXPECT_TRUE(Match(text, kMatchContains, ""));
  }
  EXPECT_TRUE(Match("", kMatchEquals, ""));
  EXPECT_FALSE(Match("A", kMatchEquals, ""));
}

TEST(MatchText, SecondByteOfDoubleByteCharacterIsNoLetter) {
  // XYZア ends in 83 41: byte-wise it ends with, and contains, "A" at its end.
  const std::string title = std::string("XYZ") + kKatakanaA;
  EXPECT_FALSE(Match(title, kMatchEnds, "A"));
  EXPECT_FALSE(Match(title, kMatchContains, "A"));
  EXPECT_TRUE(Match(title, kMatchEnds, kKatakanaA));
  EXPECT_TRUE(Match(title, kMatchEnds, std::string("Z") + kKatakanaA));
  EXPECT_TRUE(Match(title, kMatchContains, kKatakanaA));
  EXPECT_TRUE(Match(title, kMatchContains, "Z"));
  // A single-byte code page has no pairs, so the same bytes do match there.
  EXPECT_TRUE(Match(title, kMatchEnds, "A", kNoLeads));
  EXPECT_TRUE(Match(title, kMatchContains, "A", kNoLeads));
}

TEST(MatchText, ContainsStartsOnlyOnCharacterBoundaries) {
  // アイ is 83 41 83 42; "A\x83" occurs at byte 1, inside the first character.
  const std::string title = std::string(kKatakanaA) + "\x83\x42";
  EXPECT_FALSE(Match(title, kMatchContains, "\x41\x83"));
  EXPECT_TRUE(Match(title, kMatchContains, "\x83\x42"));
  // 81 81 is one character whose second byte is also a lead byte: the walk
  // must step over both, so "\x81\x41" at byte 1 is no match.
  EXPECT_FALSE(Match("\x81\x81\x41", kMatchContains, "\x81\x41"));
  EXPECT_TRUE(Match("\x81\x81\x41", kMatchContains, "A"));
  EXPECT_TRUE(Match("\x81\x81\x41", kMatchContains, "\x81\x41", kNoLeads));
}

TEST(MatchText, DoubleByteTitles) {
  EXPECT_TRUE(Match(kNihongo, kMatchBegins, "\x93\xFA\x96\x7B"));
  EXPECT_FALSE(Match(kNihongo, kMatchBegins, "\x93\xFA\x96\x7C"));
  EXPECT_TRUE(Match(kNihongo, kMatchEnds, "\x8C\xEA"));
  EXPECT_TRUE(Match(kNihongo, kMatchEnds, "\x96\x7B\x8C\xEA"));
  EXPECT_FALSE(Match(kNihongo, kMatchEnds, "\xEA"));
  EXPECT_TRUE(Match(kNihongo, kMatchContains, "\x96\x7B"));
  EXPECT_FALSE(Match(kNihongo, kMatchContains, "\xFA\x96"));
  EXPECT_TRUE(Match(kNihongo, kMatchEquals, kNihongo));
  EXPECT_TRUE(Match(std::string(kNihongo) + " - memo", kMatchEnds, " - memo"));
}

TEST(MatchText, TrailingLoneLeadByteIsACharacterOfItsOwn) {
  // What a title cut inside its last character looks like.
  EXPECT_TRUE(Match("AB\x83", kMatchEnds, "\x83"));
  EXPECT_TRUE(Match("AB\x83", kMatchEnds, "B\x83"));
  EXPECT_TRUE(Match("AB\x83", kMatchContains, "\x83"));
  EXPECT_FALSE(Match("AB\x83", kMatchEnds, "B"));
}

TEST(MatchText, ReversalKeepsPairsInOrder) {
  EXPECT_EQ(Reversed(""), "");
  EXPECT_EQ(Reversed("A"), "A");
  EXPECT_EQ(Reversed("ABC"), "CBA");
  EXPECT_EQ(Reversed(std::string("AB") + kKatakanaA + "C"), std::string("C") + kKatakanaA + "BA");
  EXPECT_EQ(Reversed(kNihongo), "\x8C\xEA\x96\x7B\x93\xFA");
  EXPECT_EQ(Reversed("A\x83"), "\x83" "A");
  EXPECT_EQ(Reversed(std::string("AB") + kKatakanaA, kNoLeads), "\x41\x83" "BA");
}

// Fields of exactly 129 bytes on the heap, so the sanitizer sees any read
// past them.
std::vector<char> Field(const std::string& bytes) {
  std::vector<char> field(kPatternSize, '\0');
  std::memcpy(field.data(), bytes.data(), bytes.size() < kPatternSize ? bytes.size() : kPatternSize);
  return field;
}

TEST(MatchText, UnterminatedFieldsReadAsTheirFirst128Bytes) {
  const std::string full(kPatternSize, 'A');
  const std::vector<char> pattern = Field(full);
  const std::vector<char> text = Field(full);
  const std::vector<char> text128 = Field(std::string(128, 'A'));
  for (uint8_t mode = kMatchAny; mode <= kMatchEquals; ++mode) {
    SCOPED_TRACE(static_cast<int>(mode));
    EXPECT_TRUE(MatchText(text.data(), mode, pattern.data(), kSjis));
    EXPECT_TRUE(MatchText(text128.data(), mode, pattern.data(), kSjis));
    EXPECT_TRUE(MatchText(text.data(), mode, text128.data(), kSjis));
  }
  // Double-byte characters all the way, ending with a lone lead byte at 128.
  std::string pairs;
  while (pairs.size() < kPatternSize) pairs += kKatakanaA;
  const std::vector<char> dbcs = Field(pairs);
  EXPECT_TRUE(MatchText(dbcs.data(), kMatchEnds, dbcs.data(), kSjis));
  EXPECT_TRUE(MatchText(dbcs.data(), kMatchEquals, dbcs.data(), kSjis));
  EXPECT_FALSE(MatchText(dbcs.data(), kMatchContains, Field("A\x83").data(), kSjis));
  EXPECT_TRUE(MatchText(dbcs.data(), kMatchEnds, Field(kKatakanaA).data(), kSjis));
}

TEST(MatchText, LongTextIsMatchedOnItsFirst128Bytes) {
  const std::string text = std::string(200, 'x') + "END";
  EXPECT_FALSE(Match(text, kMatchEnds, "END"));
  EXPECT_FALSE(Match(text, kMatchContains, "END"));
  EXPECT_TRUE(Match(text, kMatchEquals, std::string(128, 'x')));
}

TargetRecord Rule(uint8_t classMatch, const char* classPattern, uint8_t titleMatch, const char* titlePattern) {
  TargetRecord record;
  std::memset(&record, 0, sizeof record);
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
  EXPECT_FALSE(MatchTarget("AnyClass", "Untitled", Rule(kMatchAny, "", kMatchEquals, ""), kSjis));
}

TEST(MatchTarget, PatternFieldsWithoutNul) {
  TargetRecord record;
  std::memset(&record, 'A', sizeof record);
  record.classMatch = kMatchEquals;
  record.titleMatch = kMatchBegins;
  const std::string a128(128, 'A');
  EXPECT_TRUE(MatchTarget(a128.c_str(), (a128 + "BC").c_str(), record, kSjis));
  EXPECT_FALSE(MatchTarget(a128.substr(1).c_str(), a128.c_str(), record, kSjis));
}

}  // namespace
