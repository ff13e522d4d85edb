// The settings file's text pieces: the quoting rule, the cut of long text,
// numbers and words. Pure; runs on the host under the sanitizers.
#include <gtest/gtest.h>

#include <random>

#include "settings/SettingsText.h"

namespace {

TextView View(std::string_view text) { return TextView(text.data(), text.size()); }

std::string Quoted(std::string_view text, const Charset& charset = Charset{ShiftJisLeads()}) {
  TextBuffer out;
  AppendQuoted(out, View(text), charset);
  return std::string(out.Data(), out.Size());
}

std::string Unquoted(std::string_view value, bool* closedOut = nullptr) {
  std::string text(value.size(), '\0');
  bool closed = true;
  text.resize(ReadQuoted(View(value), &text[0], closed));
  if (closedOut) *closedOut = closed;
  return text;
}

// Pretends the code page cannot carry bytes from F0 up, nor a lead byte
// followed by a byte below 40: the characters a real conversion loses.
bool FussyKept(const char* ch, size_t length, void*) {
  const auto first = static_cast<uint8_t>(ch[0]);
  if (first >= 0xF0) return false;
  return length == 1 || static_cast<uint8_t>(ch[1]) >= 0x40;
}

TEST(Quoting, WritesPunctuationAsItIsAndEscapesOnlyWhatMust) {
  EXPECT_EQ(Quoted(""), "\"\"");
  EXPECT_EQ(Quoted("  spaced  "), "\"  spaced  \"");
  EXPECT_EQ(Quoted("say \"hi\" = ; [x] ]"), "\"say \"hi\" = ; [x] ]\"");
  EXPECT_EQ(Quoted("\"\""), "\"\"\"\"");
  EXPECT_EQ(Quoted("100% sure"), "\"100% sure\"");
  EXPECT_EQ(Quoted("%41 and %4"), "\"%2541 and %4\"");
  EXPECT_EQ(Quoted("%00"), "\"%00\"");
  EXPECT_EQ(Quoted("tab\there\r\n\x7F"), "\"tab%09here%0D%0A%7F\"");
  // 表示: the second byte of 表 is a backslash, and stays one.
  EXPECT_EQ(Quoted("\x95\x5C\x8E\xA6"), "\"\x95\x5C\x8E\xA6\"");
  // A lead byte with nothing after it cannot be carried as it is.
  EXPECT_EQ(Quoted("a\x81"), "\"a%81\"");
}

TEST(Quoting, EscapesCharactersTheCodePageLoses) {
  const Charset fussy{ShiftJisLeads(), FussyKept, nullptr};
  EXPECT_EQ(Quoted("\xF0\x41", fussy), "\"%F0%41\"");
  EXPECT_EQ(Quoted("\xA1\xF0", fussy), "\"\xA1%F0\"");
  EXPECT_EQ(Quoted("\x81\x20x", fussy), "\"%81 x\"");
  EXPECT_EQ(Quoted("\x83\x81", fussy), "\"\x83\x81\"");
}

TEST(Quoting, ReadsHandWrittenValues) {
  EXPECT_EQ(Unquoted("plain text"), "plain text");
  EXPECT_EQ(Unquoted("  \"  inner  \"  "), "  inner  ");
  EXPECT_EQ(Unquoted("\"a\"b\""), "a\"b");
  EXPECT_EQ(Unquoted("%41%42%4"), "AB%4");
  EXPECT_EQ(Unquoted("%4a%4A%zz"), "JJ%zz");
  bool closed = true;
  EXPECT_EQ(Unquoted("\"never closed", &closed), "never closed");
  EXPECT_FALSE(closed);
  EXPECT_EQ(Unquoted("\"", &closed), "");
  EXPECT_FALSE(closed);
  EXPECT_EQ(Unquoted("\"\"", &closed), "");
  EXPECT_TRUE(closed);
}

TEST(Quoting, EveryByteStringComesBackUnchanged) {
  std::mt19937 random(20240601);
  const Charset plain{ShiftJisLeads()};
  const Charset fussy{ShiftJisLeads(), FussyKept, nullptr};
  // Bytes chosen to hit the escape forms often.
  const std::string alphabet = std::string("%%%\"\"  ;=[]0aF\t\r\n\x01\x7F\x81\x95\x5C\xE0\xFC\xFF\x40\xA0");
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const size_t length = random() % 40;
    for (size_t i = 0; i < length; ++i) {
      text += (random() % 3) ? alphabet[random() % alphabet.size()] : static_cast<char>(1 + random() % 255);
    }
    for (const Charset* charset : {&plain, &fussy}) {
      const std::string written = Quoted(text, *charset);
      ASSERT_EQ(written.find_first_of("\r\n"), std::string::npos) << written;
      bool closed = false;
      ASSERT_EQ(Unquoted(written, &closed), text) << "written as " << written;
      ASSERT_TRUE(closed);
    }
  }
}

TEST(FitLength, CutsOnlyBetweenCharacters) {
  const LeadTable sjis = ShiftJisLeads();
  EXPECT_EQ(FitLength("abc", 5, sjis), 3u);
  EXPECT_EQ(FitLength("abcdef", 4, sjis), 4u);
  // "a" + 表 + 示 : a cut at 2 would split 表.
  EXPECT_EQ(FitLength("a\x95\x5C\x8E\xA6", 2, sjis), 1u);
  EXPECT_EQ(FitLength("a\x95\x5C\x8E\xA6", 3, sjis), 3u);
  EXPECT_EQ(FitLength("a\x95\x5C\x8E\xA6", 4, sjis), 3u);
  std::string full(127, 'x');
  full += "\x90\xDD";  // 129 bytes, the last character straddles 128
  EXPECT_EQ(FitLength(View(full), 128, sjis), 127u);
}

TEST(Numbers, ReadClampAndRefuse) {
  int32_t value = 7;
  EXPECT_EQ(ReadNumber(" -42 ", -100, 100, value), NumberRead::kExact);
  EXPECT_EQ(value, -42);
  EXPECT_EQ(ReadNumber("+5", -100, 100, value), NumberRead::kExact);
  EXPECT_EQ(value, 5);
  EXPECT_EQ(ReadNumber("101", -100, 100, value), NumberRead::kClamped);
  EXPECT_EQ(value, 100);
  EXPECT_EQ(ReadNumber("-99999999999999999999999999", -100, 100, value), NumberRead::kClamped);
  EXPECT_EQ(value, -100);
  EXPECT_EQ(ReadNumber("99999999999999999999999999", 50, 3600000, value), NumberRead::kClamped);
  EXPECT_EQ(value, 3600000);
  value = 9;
  for (const char* bad : {"", "-", "12px", "1 2", "0x10", "five", "\x82\x50"}) {
    EXPECT_EQ(ReadNumber(bad, -100, 100, value), NumberRead::kBad) << bad;
    EXPECT_EQ(value, 9);
  }
}

TEST(Words, EveryValueHasAWordThatReadsBack) {
  for (uint8_t v = 0; v <= 4; ++v) {
    uint8_t back = 99;
    EXPECT_TRUE(ReadMatchWord(MatchWord(v), back));
    EXPECT_EQ(back, v);
  }
  for (uint8_t v = 0; v <= 3; ++v) {
    uint8_t back = 99;
    EXPECT_TRUE(ReadSizeActionWord(SizeActionWord(v), back));
    EXPECT_EQ(back, v);
    EXPECT_TRUE(ReadSizeModeWord(SizeModeWord(v), back));
    EXPECT_EQ(back, v);
  }
  for (uint8_t v = 0; v <= 2; ++v) {
    uint8_t back = 99;
    EXPECT_TRUE(ReadAnchorWord(AnchorWord(v), back));
    EXPECT_EQ(back, v);
    EXPECT_TRUE(ReadOffsetKindWord(OffsetKindWord(v), back));
    EXPECT_EQ(back, v);
  }
  for (uint8_t v = 0; v <= 1; ++v) {
    uint8_t back = 99;
    EXPECT_TRUE(ReadPositionActionWord(PositionActionWord(v), back));
    EXPECT_EQ(back, v);
  }
  // Values outside the enumerations are written as the safe word.
  EXPECT_STREQ(MatchWord(9), "any");
  EXPECT_STREQ(SizeActionWord(200), "none");
  EXPECT_STREQ(PositionActionWord(2), "none");
  uint8_t flag = 5;
  EXPECT_TRUE(ReadFlagWord("YES", flag));
  EXPECT_EQ(flag, 1);
  EXPECT_TRUE(ReadFlagWord("off", flag));
  EXPECT_EQ(flag, 0);
  EXPECT_FALSE(ReadFlagWord("\x82\xCD\x82\xA2", flag));  // はい
  uint8_t mode = 3;
  EXPECT_TRUE(ReadMatchWord("Contains", mode));
  EXPECT_FALSE(ReadMatchWord("regex", mode));
  EXPECT_EQ(mode, kMatchContains);
}

}  // namespace
