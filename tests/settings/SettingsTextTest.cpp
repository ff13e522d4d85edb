// The settings file's text pieces: the quoting rule, numbers and words.
// Pure; runs on the host under the sanitizers.
#include <gtest/gtest.h>

#include <random>

#include "settings/SettingsText.h"

namespace {

TextView View(std::string_view text) { return TextView(text.data(), text.size()); }

// Pretends the code page cannot carry bytes from F0 up, nor a lead byte
// followed by a byte below 40: the characters a real conversion loses.
bool FussyKept(const char* ch, size_t length, void*) {
  if (static_cast<uint8_t>(ch[0]) >= 0xF0) return false;
  return length == 1 || static_cast<uint8_t>(ch[1]) >= 0x40;
}
const Charset kPlain{ShiftJisLeadBytes()};
const Charset kFussy{ShiftJisLeadBytes(), FussyKept, nullptr};

std::string Quoted(std::string_view text, const Charset& charset = kPlain) {
  TextBuffer out;
  AppendQuoted(out, View(text), charset);
  return std::string(out.Data(), out.Size());
}

std::string Unquoted(std::string_view value, bool& closed) {
  std::string text(value.size(), '\0');
  text.resize(ReadQuoted(View(value), &text[0], closed));
  return text;
}

TEST(Quoting, WritesPunctuationAsItIsAndEscapesOnlyWhatMust) {
  const struct {
    std::string_view text, written;
    const Charset& charset;
  } cases[] = {
      {"", "\"\"", kPlain},
      {"say \"hi\" = ; [x] ]  ", "\"say \"hi\" = ; [x] ]  \"", kPlain},
      {"100% %41 %4 %00", "\"100% %2541 %4 %00\"", kPlain},
      {"tab\there\r\n\x7F", "\"tab%09here%0D%0A%7F\"", kPlain},
      {"\x95\x5C\x8E\xA6", "\"\x95\x5C\x8E\xA6\"", kPlain},  // 表示: 表's second byte is a backslash
      {"a\x81", "\"a%81\"", kPlain},                         // a lead byte with nothing after it
      {"\xF0\x41", "\"%F0%41\"", kFussy},
      {"\xA1\xF0", "\"\xA1%F0\"", kFussy},
      {"\x81\x20x", "\"%81 x\"", kFussy},
      {"\x83\x81", "\"\x83\x81\"", kFussy},
  };
  for (const auto& c : cases) EXPECT_EQ(Quoted(c.text, c.charset), c.written) << c.text;
}

TEST(Quoting, ReadsHandWrittenValues) {
  const struct {
    std::string_view value, text;
    bool closed;
  } cases[] = {
      {"plain text", "plain text", true}, {"  \"  inner  \"  ", "  inner  ", true}, {"\"a\"b\"", "a\"b", true},
      {"%41%42%4", "AB%4", true},         {"%4a%4A%zz", "JJ%zz", true},             {"\"\"", "", true},
      {"\"never closed", "never closed", false}, {"\"", "", false},
  };
  for (const auto& c : cases) {
    bool closed = !c.closed;
    EXPECT_EQ(Unquoted(c.value, closed), c.text) << c.value;
    EXPECT_EQ(closed, c.closed) << c.value;
  }
}

TEST(Quoting, EveryByteStringComesBackUnchanged) {
  std::mt19937 random(20240601);
  // Bytes chosen to hit the escape forms often.
  const std::string alphabet = "%%%\"\"  ;=[]0aF\t\r\n\x01\x7F\x81\x95\x5C\xE0\xFC\xFF\x40\xA0";
  for (int round = 0; round < 20000; ++round) {
    std::string text(random() % 40, '\0');
    for (char& c : text) c = (random() % 3) ? alphabet[random() % alphabet.size()] : static_cast<char>(1 + random() % 255);
    for (const Charset* charset : {&kPlain, &kFussy}) {
      const std::string written = Quoted(text, *charset);
      ASSERT_EQ(written.find_first_of("\r\n"), std::string::npos) << written;
      bool closed = false;
      ASSERT_EQ(Unquoted(written, closed), text) << "written as " << written;
      ASSERT_TRUE(closed);
    }
  }
}

TEST(Numbers, ReadClampAndRefuse) {
  const struct {
    const char* text;
    NumberRead read;
    int32_t value;
  } cases[] = {
      {" -42 ", NumberRead::kExact, -42},
      {"+5", NumberRead::kExact, 5},
      {"101", NumberRead::kClamped, 100},
      {"-99999999999999999999999999", NumberRead::kClamped, -100},
  };
  for (const auto& c : cases) {
    int32_t value = 7;
    EXPECT_EQ(ReadNumber(c.text, -100, 100, value), c.read) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
  for (const char* bad : {"", "-", "12px", "1 2", "0x10", "five", "\x82\x50"}) {
    int32_t value = 9;
    EXPECT_EQ(ReadNumber(bad, -100, 100, value), NumberRead::kBad) << bad;
    EXPECT_EQ(value, 9) << bad;
  }
}

TEST(Words, ValuesOutsideTheEnumerationsAreWrittenAsTheSafeWord) {
  EXPECT_STREQ(MatchWord(9), "any");
  EXPECT_STREQ(SizeActionWord(200), "none");
  EXPECT_STREQ(PositionActionWord(2), "none");
  uint8_t mode = kMatchContains;
  EXPECT_FALSE(ReadMatchWord("regex", mode));
  EXPECT_EQ(mode, kMatchContains);
}

}  // namespace
