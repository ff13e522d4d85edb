// The settings file's text: a sample holding every field, Japanese text and
// awkward patterns is written readably and read back byte for byte; damaged
// text is read as far as it goes; the quoting rule and numbers. Pure; runs on
// the host under the sanitizers.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "SampleSettings.h"
#include "settings/SettingsFormat.h"
#include "settings/SettingsParse.h"

namespace {

TEST(SettingsText, EverySampleFieldIsWrittenReadablyAndReadBackByteForByte) {
  const Charset shiftJis{ShiftJisLeadBytes()};
  const std::string text = FormatText(SampleModel(), shiftJis);
  // Japanese stays as it is, a second byte 0x5C is no escape, and only what
  // cannot stand in a one-line value is escaped ('%' only before two hex digits).
  for (const char* piece : {"Name=\"\x83\x81\x83\x82\x92\xA0\x82\xF0", "Title=ends \" - \x95\x5C\x8E\xA6 \"\r\n",
                            "Title=contains \"  \"quoted\" = ; [x] %2541 100% \"  \"\r\n",
                            "Title=equals \"%09tab%01bell%0D%0Aline\"\r\n", "Title=ends \"lone lead %81\"\r\n"}) {
    EXPECT_NE(text.find(piece), std::string::npos) << piece;
  }
  ParseReport report;
  CheckRawText(TextView(text.data(), text.size()), report);
  SettingsModel read;
  EXPECT_TRUE(ParseSettingsText(TextView(text.data(), text.size()), ShiftJisLeadBytes(), read, report));
  EXPECT_FALSE(report.damaged) << (report.noteCount ? report.notes[0] : "");
  EXPECT_EQ(ModelDifference(SampleModel(), read), "");
  EXPECT_EQ(FormatText(read, shiftJis), text);
}

TextView View(std::string_view text) { return TextView(text.data(), text.size()); }

struct Parsed {
  SettingsModel model;
  ParseReport report;
  bool understood = false;
};

Parsed Parse(const std::string& text) {
  Parsed parsed;
  CheckRawText(View(text), parsed.report);
  parsed.understood = ParseSettingsText(View(text), ShiftJisLeadBytes(), parsed.model, parsed.report);
  return parsed;
}

// The general settings, then each target's name with its children's names.
std::string Outline(const SettingsModel& m) {
  const GeneralSettings& g = m.general;
  std::string out = std::to_string(g.monitorInterval) + (g.monitoringEnabled ? " on" : " off") +
                    (g.reapplyOnWorkAreaChange ? " reapply" : "") + (g.openSettingsAtStart ? " open" : "");
  for (const TargetRules& t : m.targets) {
    out += std::string(" ") + RuleName(t.record);
    if (t.children.Empty()) continue;
    std::string children;
    for (const TargetRecord& c : t.children) children += (children.empty() ? "" : " ") + std::string(RuleName(c));
    out += "(" + children + ")";
  }
  return out;
}

constexpr char kSettings[] =
    "[Settings]\r\nVersion=1\r\nMonitoring=on\r\nInterval=500\r\nReapplyOnWorkAreaChange=yes\r\n"
    "OpenSettingsAtStart=no\r\n";

// A complete rule section named name, with one key's line replaced (dropped
// when the replacement is empty).
std::string Section(const std::string& name, const std::string& key = "", const std::string& replacement = "") {
  std::string body = "[" + name + "]\r\n";
  for (const std::string line : {"Name=\"n\"", "Enabled=yes", "Once=yes", "Class=equals \"C\"", "Title=any \"\"",
                                 "Size=set", "Width=pixels 10", "Height=keep", "Position=set", "X=near flush",
                                 "Y=far pixels 5", "Activate=no", "Close=no"}) {
    const bool replaced = !key.empty() && line.compare(0, key.size() + 1, key + "=") == 0;
    if (!replaced) body += line + "\r\n";
    if (replaced && !replacement.empty()) body += replacement + "\r\n";
  }
  return body;
}

TEST(SettingsText, DamagedTextIsReadAsFarAsItGoesWithTheSafeValueForTheRest) {
  using Check = std::function<void(const SettingsModel&)>;
  const auto first = [](const SettingsModel& m) -> const TargetRecord& { return m.targets[0].record; };
  const struct {
    const char* label;
    std::string text;
    bool understood;
    std::string outline;
    Check check;
  } cases[] = {
      {"empty: the defaults", "", false, "500 on reapply", nullptr},
      {"garbage", "\x89PNG\r\n\x1A\n\xFF\xFE garbage = [[[ ]]] ;;;", false, "500 on reapply", nullptr},
      {"no settings section: rules still read", Section("1"), true, "500 on reapply n", nullptr},
      {"interval too short, other settings kept",
       "[Settings]\r\nMonitoring=off\r\nInterval=10\r\nReapplyOnWorkAreaChange=no\r\nOpenSettingsAtStart=yes\r\n", true,
       "50 off open", nullptr},
      {"interval one below the least", "[Settings]\r\nInterval=49\r\n", true, "50 on reapply", nullptr},
      {"interval too long", "[Settings]\r\nInterval=99999999999999999999\r\n", true, "3600000 on reapply", nullptr},
      {"interval not a number", "[Settings]\r\nInterval=700ms\r\nMonitoring=perhaps\r\n", true, "500 on reapply",
       nullptr},
      {"duplicate sections and keys: the first counts",
       kSettings + Section("1", "Close", "Close=no\r\nClose=yes") + Section("1", "Name", "Name=second") +
           "[settings]\r\nInterval=9999\r\n",
       true, "500 on reapply n", [&](const SettingsModel& m) { EXPECT_EQ(first(m).close, 0); }},
      {"children follow their target by name; orphans dropped",
       kSettings + Section("2.1", "Name", "Name=b1") + Section("1", "Name", "Name=a") + Section("2", "Name", "Name=b") +
           Section("9.1", "Name", "Name=x") + Section("15.1", "Name", "Name=y") + Section("2.2", "Name", "Name=b2") +
           Section("1.5", "Name", "Name=a1") + Section("1.x") + Section("0012345678.1", "Name", "Name=z"),
       true, "500 on reapply a(a1) b(b1 b2)", nullptr},
      {"missing keys take their defaults", kSettings + std::string("[1]\r\nClass=equals \"Only\"\r\n"), true,
       "500 on reapply ",
       [&](const SettingsModel& m) {
         const TargetRecord expected = Rule(kMatchEquals, "Only", kMatchAny, "");
         EXPECT_EQ(std::memcmp(&first(m), &expected, sizeof expected), 0);
       }},
      {"unknown words keep the rule with safe values",
       kSettings + Section("1", "Class", "Class=regex \"C\"") + Section("2", "Size", "Size=huge") +
           Section("3", "X", "X=left flush") + Section("4", "Y", "Y=far sideways 5") +
           Section("5", "Close", "Close=perhaps") + Section("6", "Enabled", "Enabled=maybe") +
           Section("7", "Width", "Width=pixels 12px"),
       true, "500 on reapply n n n n n n n",
       [](const SettingsModel& m) {
         EXPECT_EQ(m.targets[0].record.classMatch, kMatchAny);
         EXPECT_STREQ(m.targets[0].record.classPattern, "C");
         EXPECT_EQ(m.targets[1].record.sizeAction, kSizeNone);
         EXPECT_EQ(m.targets[2].record.xSpec.anchor, kAnchorKeep);
         EXPECT_EQ(m.targets[3].record.ySpec.anchor, kAnchorKeep);
         EXPECT_EQ(m.targets[3].record.ySpec.value, 0);
         EXPECT_EQ(m.targets[4].record.close, 0);
         EXPECT_EQ(m.targets[5].record.enabled, 0);
         EXPECT_EQ(m.targets[6].record.widthSpec.mode, kSizeAbsolute);
         EXPECT_EQ(m.targets[6].record.widthSpec.value, 0);
       }},
      {"huge values are clamped",
       kSettings + Section("1", "Width", "Width=pixels 123456789012") + Section("2", "X", "X=far percent -5000"), true,
       "500 on reapply n n",
       [](const SettingsModel& m) {
         EXPECT_EQ(m.targets[0].record.widthSpec.value, kMaxPixels);
         EXPECT_EQ(m.targets[1].record.xSpec.value, kMinPercent);
         EXPECT_EQ(m.targets[1].record.xSpec.anchor, kAnchorFar);
       }},
      {"unclosed quote runs to the line's end", kSettings + Section("1", "Title", "Title=begins \"open end"), true,
       "500 on reapply n", [&](const SettingsModel& m) { EXPECT_STREQ(first(m).titlePattern, "open end"); }},
      {"long pattern cut on a character boundary, long name cut at 131 bytes",
       kSettings + Section("1", "Title", "Title=equals \"" + std::string(127, 'x') + "\x90\xDD\x90\xDD\"") +
           Section("2", "Name", "Name=\"" + std::string(140, 'y') + "\""),
       true, "500 on reapply n " + std::string(131, 'y'),
       [&](const SettingsModel& m) { EXPECT_EQ(std::string(first(m).titlePattern), std::string(127, 'x')); }},
      {"a line without '=', a line without a key, text before the first section",
       std::string("stray\r\n") + kSettings + Section("1") + "just words\r\n= lost value\r\n", true, "500 on reapply n", nullptr},
      {"a lone lead byte before CR LF, LF or CR: the line ends, the byte is kept, Enabled=no read",
       kSettings + std::string("[1]\r\nName=abc\x81\r\nEnabled=no\r\n[2]\nName=d\x9F\nEnabled=no\n") +
           "[3]\rName=\"e\xE0\"\rEnabled=no\r",
       true, "500 on reapply abc\x81 d\x9F e\xE0",
       [](const SettingsModel& m) {
         for (size_t i = 0; i < 3; ++i) EXPECT_EQ(m.targets[i].record.enabled, 0) << i;
       }},
      {"a lone lead byte in a file otherwise whole is damage enough", kSettings + Section("1", "Name", "Name=abc\x81"),
       true, "500 on reapply abc\x81", nullptr},
      {"newer version", "[Settings]\r\nVersion=2\r\nMonitoring=off\r\nInterval=700\r\nReapplyOnWorkAreaChange=yes\r\n"
                        "OpenSettingsAtStart=no\r\nTheme=dark\r\n",
       true, "700 off reapply", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const Parsed parsed = Parse(c.text);
    EXPECT_TRUE(parsed.report.damaged);
    EXPECT_EQ(parsed.understood, c.understood);
    EXPECT_EQ(Outline(parsed.model), c.outline) << (parsed.report.noteCount ? parsed.report.notes[0] : "");
    if (c.check && Outline(parsed.model) == c.outline) c.check(parsed.model);
  }
}

TEST(SettingsText, HandWrittenShorthandIsTakenAsWritten) {
  const Parsed parsed =
      Parse(std::string(kSettings) +
            "[7]\r\nname = spaced out \r\nenabled=YES\r\nonce=off\r\nclass=Equals\"Edit\"\r\n"
            "title=contains  \xCA\xDF\xDD \r\nsize=MAXIMIZE\r\nwidth=\tpixels\t10 \r\nheight=keep\r\nposition=set\r\n"
            "x=FAR\tpercent\t-5\r\ny=near flush\r\nactivate=on\r\nclose=0\r\n");
  EXPECT_FALSE(parsed.report.damaged) << (parsed.report.noteCount ? parsed.report.notes[0] : "");
  ASSERT_EQ(parsed.model.targets.Size(), 1u);
  TargetRecord expected = Rule(kMatchEquals, "Edit", kMatchContains, "\xCA\xDF\xDD", "spaced out");
  expected.applyOnce = 0;
  expected.sizeAction = kSizeMaximize;
  expected.widthSpec = {kSizeAbsolute, {}, 10};
  expected.positionAction = kPositionSet;
  expected.xSpec = {kAnchorFar, kOffsetPercent, {}, -5};
  expected.ySpec = {kAnchorNear, kOffsetFlush, {}, 0};
  expected.activate = 1;
  EXPECT_EQ(std::memcmp(&parsed.model.targets[0].record, &expected, sizeof expected), 0);
}

std::string Quoted(std::string_view text, const Charset& charset) {
  TextBuffer out;
  AppendQuoted(out, View(text), charset);
  return std::string(out.Data(), out.Size());
}

// Pretends the code page cannot carry bytes from F0 up, nor a lead byte
// followed by a byte below 40: the characters a real conversion loses.
bool FussyKept(const char* ch, size_t length, void*) {
  if (static_cast<uint8_t>(ch[0]) >= 0xF0) return false;
  return length == 1 || static_cast<uint8_t>(ch[1]) >= 0x40;
}

TEST(SettingsText, QuotedValuesAndNumbersAreWrittenAndReadAsDocumented) {
  const Charset plain{ShiftJisLeadBytes()};
  const Charset fussy{ShiftJisLeadBytes(), FussyKept, nullptr};
  const struct {
    std::string_view text, written;
    const Charset& charset;
  } writes[] = {
      {"", "\"\"", plain},
      {"say \"hi\" = ; [x] ]  ", "\"say \"hi\" = ; [x] ]  \"", plain},
      {"100% %41 %4a %4 %00 %g1", "\"100% %2541 %254a %4 %00 %g1\"", plain},
      {"tab\there\r\n\x7F\x1F", "\"tab%09here%0D%0A%7F%1F\"", plain},
      {"\x95\x5C\x8E\xA6\x81\x40", "\"\x95\x5C\x8E\xA6\x81\x40\"", plain},  // 表's second byte is a backslash
      {"a\x81", "\"a%81\"", plain},                                              // a lead byte with nothing after it
      {"\x81\x3F", "\"%81?\"", plain},                                          // nor with a byte below 40
      {"\xF0\x41", "\"%F0%41\"", fussy},
      {"\xA1\xF0", "\"\xA1%F0\"", fussy},
      {"\x83\x81", "\"\x83\x81\"", fussy},
  };
  for (const auto& c : writes) {
    SCOPED_TRACE(std::string(c.text));
    EXPECT_EQ(Quoted(c.text, c.charset), c.written);
    bool closed = false;
    std::string back(c.written.size(), '\0');
    back.resize(ReadQuoted(View(c.written), &back[0], closed));
    EXPECT_EQ(back, c.text);
    EXPECT_TRUE(closed);
  }
  const struct {
    std::string_view value, text;
    bool closed;
  } reads[] = {
      {"plain text", "plain text", true}, {"  \"  inner  \"  ", "  inner  ", true}, {"\"a\"b\"", "a\"b", true},
      {"%41%42%4", "AB%4", true},         {"%4a%4A%zz%00", "JJ%zz%00", true},       {"\"\"", "", true},
      {"\"never closed", "never closed", false}, {"\"", "", false},
  };
  for (const auto& c : reads) {
    SCOPED_TRACE(std::string(c.value));
    bool closed = !c.closed;
    std::string text(c.value.size(), '\0');
    text.resize(ReadQuoted(View(c.value), &text[0], closed));
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(closed, c.closed);
  }
  const struct {
    const char* text;
    NumberRead read;
    int32_t value;
  } numbers[] = {
      {" -42 ", NumberRead::kExact, -42}, {"+5", NumberRead::kExact, 5},       {"100", NumberRead::kExact, 100},
      {"-100", NumberRead::kExact, -100}, {"101", NumberRead::kClamped, 100}, {"-101", NumberRead::kClamped, -100},
      {"-99999999999999999999999999", NumberRead::kClamped, -100},
      {"", NumberRead::kBad, 7},          {"-", NumberRead::kBad, 7},          {"12px", NumberRead::kBad, 7},
      {"1 2", NumberRead::kBad, 7},       {"0x10", NumberRead::kBad, 7},       {"\x82\x50", NumberRead::kBad, 7},
  };
  for (const auto& c : numbers) {
    SCOPED_TRACE(c.text);
    int32_t value = 7;
    EXPECT_EQ(ReadNumber(c.text, -100, 100, value), c.read);
    EXPECT_EQ(value, c.value);
  }
}

}  // namespace
