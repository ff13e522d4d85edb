// The settings file's text: a sample holding every field, Japanese text and
// awkward patterns is written readably and read back byte for byte; damaged
// or hand-written text is read as far as it goes; the quoting rule and
// numbers. Pure; runs on the host under the sanitizers.
#include <gtest/gtest.h>

#include <string>

#include "SampleSettings.h"
#include "settings/SettingsFormat.h"
#include "settings/SettingsParse.h"

namespace {

const Charset kShiftJis{ShiftJisLeadBytes()};

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

TEST(SettingsText, EverySampleFieldIsWrittenReadablyAndReadBackByteForByte) {
  const std::string text = FormatText(SampleModel(), kShiftJis);
  // Japanese stays as it is, a second byte 0x5C is no escape, and only what
  // cannot stand in a one-line value is escaped ('%' only before two hex digits).
  EXPECT_TRUE(HasLines(text, "Name=\"\x83\x81\x83\x82\x92\xA0\x82\xF0\x89\x45\x94\xBC\x95\xAA\x82\xC9\"\n"
                             "Title=ends \" - \x95\x5C\x8E\xA6 \"\n"
                             "Title=contains \"  \"quoted\" = ; [x] %2541 100% \"  \"\n"
                             "Title=equals \"%09tab%01bell%0D%0Aline\"\nTitle=ends \"lone lead %81\"")) << text;
  const Parsed read = Parse(text);
  EXPECT_TRUE(read.understood);
  EXPECT_FALSE(read.report.damaged) << read.report.notes[0];
  EXPECT_EQ(ModelDifference(SampleModel(), read.model), "");
  EXPECT_EQ(FormatText(read.model, kShiftJis), text);
}

// The general settings, then each target's name with its children's names.
std::string Outline(const SettingsModel& m) {
  const GeneralSettings& g = m.general;
  std::string out = std::to_string(g.monitorInterval) + (g.monitoringEnabled ? " on" : " off") +
                    (g.reapplyOnWorkAreaChange ? " reapply" : "") + (g.openSettingsAtStart ? " open" : "");
  for (const TargetRules& t : m.targets) {
    out += std::string(" ") + RuleName(t.record);
    std::string children;
    for (const TargetRecord& c : t.children) children += (children.empty() ? "(" : " ") + std::string(RuleName(c));
    out += children + (children.empty() ? "" : ")");
  }
  return out;
}

constexpr char kSettings[] =
    "[Settings]\r\nVersion=1\r\nMonitoring=on\r\nInterval=500\r\nReapplyOnWorkAreaChange=yes\r\n"
    "OpenSettingsAtStart=no\r\n";

// A complete rule section named name, with one key's line replaced (dropped when the replacement is empty).
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

TEST(SettingsText, DamagedOrHandWrittenTextIsReadAsFarAsItGoesWithTheSafeValueForTheRest) {
  const struct {
    const char* label;
    std::string text;
    std::string outline;
    std::string written = "";  // lines of the model written back, in this order
    bool understood = true, damaged = true;
  } cases[] = {
      {"empty: the defaults", "", "500 on reapply", "", false},
      {"garbage", "\x89PNG\r\n\x1A\n\xFF\xFE garbage = [[[ ]]] ;;;", "500 on reapply", "", false},
      {"no settings section: rules still read", Section("1"), "500 on reapply n"},
      {"interval too short, other settings kept",
       "[Settings]\r\nMonitoring=off\r\nInterval=10\r\nReapplyOnWorkAreaChange=no\r\nOpenSettingsAtStart=yes\r\n",
       "50 off open"},
      {"interval one below the least", "[Settings]\r\nInterval=49\r\n", "50 on reapply"},
      {"interval too long", "[Settings]\r\nInterval=99999999999999999999\r\n", "3600000 on reapply"},
      {"interval not a number", "[Settings]\r\nInterval=700ms\r\nMonitoring=perhaps\r\n", "500 on reapply"},
      {"duplicate sections and keys: the first counts",
       kSettings + Section("1", "Close", "Close=no\r\nClose=yes") + Section("1", "Name", "Name=second") +
           "[settings]\r\nInterval=9999\r\n",
       "500 on reapply n", "Close=no"},
      {"children follow their target by name; orphans dropped",
       kSettings + Section("2.1", "Name", "Name=b1") + Section("1", "Name", "Name=a") + Section("2", "Name", "Name=b") +
           Section("9.1", "Name", "Name=x") + Section("15.1", "Name", "Name=y") + Section("2.2", "Name", "Name=b2") +
           Section("1.5", "Name", "Name=a1") + Section("1.x") + Section("0012345678.1", "Name", "Name=z"),
       "500 on reapply a(a1) b(b1 b2)"},
      {"missing keys take their defaults", kSettings + std::string("[1]\r\nClass=equals \"Only\"\r\n"),
       "500 on reapply ",
       "[1]\nName=\"\"\nEnabled=yes\nOnce=yes\nClass=equals \"Only\"\nTitle=any \"\"\nSize=none\nWidth=keep\n"
       "Height=keep\nPosition=none\nX=keep\nY=keep\nActivate=no\nClose=no"},
      {"unknown words keep the rule with safe values",
       kSettings + Section("1", "Class", "Class=regex \"C\"") + Section("2", "Size", "Size=huge") +
           Section("3", "X", "X=left flush") + Section("4", "Y", "Y=far sideways 5") +
           Section("5", "Close", "Close=perhaps") + Section("6", "Enabled", "Enabled=maybe") +
           Section("7", "Width", "Width=pixels 12px"),
       "500 on reapply n n n n n n n",
       "[1]\nClass=any \"C\"\n[2]\nSize=none\n[3]\nX=keep\n[4]\nY=keep\n[5]\nClose=no\n[6]\nEnabled=no\n[7]\n"
       "Width=pixels 0"},
      {"huge values are clamped",
       kSettings + Section("1", "Width", "Width=pixels 123456789012") + Section("2", "X", "X=far percent -5000"),
       "500 on reapply n n", "[1]\nWidth=pixels 100000\n[2]\nX=far percent -1000"},
      {"unclosed quote runs to the line's end", kSettings + Section("1", "Title", "Title=begins \"open end"),
       "500 on reapply n", "Title=begins \"open end\""},
      {"long pattern cut on a character boundary, long name cut at 131 bytes",
       kSettings + Section("1", "Title", "Title=equals \"" + std::string(127, 'x') + "\x90\xDD\x90\xDD\"") +
           Section("2", "Name", "Name=\"" + std::string(140, 'y') + "\""),
       "500 on reapply n " + std::string(131, 'y'), "Title=equals \"" + std::string(127, 'x') + "\""},
      {"a line without '=', a line without a key, text before the first section",
       std::string("stray\r\n") + kSettings + Section("1") + "just words\r\n= lost value\r\n", "500 on reapply n"},
      {"a lone lead byte before CR LF, LF or CR: the line ends, the byte is kept, Enabled=no read",
       kSettings + std::string("[1]\r\nName=abc\x81\r\nEnabled=no\r\n[2]\nName=d\x9F\nEnabled=no\n") +
           "[3]\rName=\"e\xE0\"\rEnabled=no\r",
       "500 on reapply abc\x81 d\x9F e\xE0", "[1]\nEnabled=no\n[2]\nEnabled=no\n[3]\nEnabled=no"},
      {"a lone lead byte in a file otherwise whole is damage enough", kSettings + Section("1", "Name", "Name=abc\x81"),
       "500 on reapply abc\x81"},
      {"newer version",
       "[Settings]\r\nVersion=2\r\nMonitoring=off\r\nInterval=700\r\nReapplyOnWorkAreaChange=yes\r\n"
       "OpenSettingsAtStart=no\r\nTheme=dark\r\n",
       "700 off reapply"},
      {"hand-written shorthand, undamaged: any case, spaces and tabs, other flag words, no quotes",
       kSettings + std::string("[7]\r\nname = spaced out \r\nenabled=YES\r\nonce=off\r\nclass=Equals\"Edit\"\r\n"
                               "title=contains  \xCA\xDF\xDD \r\nsize=MAXIMIZE\r\nwidth=\tpixels\t10 \r\n"
                               "height=keep\r\nposition=set\r\nx=FAR\tpercent\t-5\r\ny=near flush\r\nactivate=on\r\n"
                               "close=0\r\n"),
       "500 on reapply spaced out",
       "Enabled=yes\nOnce=no\nClass=equals \"Edit\"\nTitle=contains \"\xCA\xDF\xDD\"\nSize=maximize\n"
       "Width=pixels 10\nHeight=keep\nPosition=set\nX=far percent -5\nY=near flush\nActivate=yes\nClose=no",
       true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const Parsed parsed = Parse(c.text);
    EXPECT_EQ(parsed.report.damaged, c.damaged) << parsed.report.notes[0];
    EXPECT_EQ(parsed.understood, c.understood);
    EXPECT_EQ(Outline(parsed.model), c.outline);
    const std::string written = FormatText(parsed.model, kShiftJis);
    EXPECT_TRUE(HasLines(written, c.written)) << written;
  }
}

std::string Quoted(std::string_view text, const Charset& charset) {
  TextBuffer out;
  AppendQuoted(out, View(text), charset);
  return std::string(out.Data(), out.Size());
}

// Pretends the code page loses bytes from F0 up and a lead byte before a byte below 40, as a real conversion does.
bool FussyKept(const char* ch, size_t length, void*) {
  if (static_cast<uint8_t>(ch[0]) >= 0xF0) return false;
  return length == 1 || static_cast<uint8_t>(ch[1]) >= 0x40;
}

TEST(SettingsText, QuotedValuesAndNumbersAreWrittenAndReadAsDocumented) {
  const Charset fussy{ShiftJisLeadBytes(), FussyKept, nullptr};
  // Rows with a charset are written and read back; the others are only read.
  const struct {
    std::string_view text, value;
    const Charset* charset;
    bool closed = true;
  } quoted[] = {
      {"", "\"\"", &kShiftJis},
      {"say \"hi\" = ; [x] ]  ", "\"say \"hi\" = ; [x] ]  \"", &kShiftJis},
      {"100% %41 %4a %4 %00 %g1", "\"100% %2541 %254a %4 %00 %g1\"", &kShiftJis},
      {"tab\there\r\n\x7F\x1F", "\"tab%09here%0D%0A%7F%1F\"", &kShiftJis},
      {"\x95\x5C\x8E\xA6\x81\x40", "\"\x95\x5C\x8E\xA6\x81\x40\"", &kShiftJis},  // 表's second byte is 5C
      {"a\x81", "\"a%81\"", &kShiftJis},     // a lead byte with nothing after it
      {"\x81\x3F", "\"%81?\"", &kShiftJis},  // nor with a byte below 40
      {"\xF0\x41", "\"%F0%41\"", &fussy},  {"\xA1\xF0", "\"\xA1%F0\"", &fussy}, {"\x83\x81", "\"\x83\x81\"", &fussy},
      {"plain text", "plain text", nullptr}, {"  inner  ", "  \"  inner  \"  ", nullptr},
      {"a\"b", "\"a\"b\"", nullptr},           {"AB%4", "%41%42%4", nullptr},
      {"JJ%zz%00", "%4a%4A%zz%00", nullptr},
      {"never closed", "\"never closed", nullptr, false}, {"", "\"", nullptr, false},
  };
  for (const auto& c : quoted) {
    SCOPED_TRACE(std::string(c.value));
    if (c.charset) {
      EXPECT_EQ(Quoted(c.text, *c.charset), c.value);
    }
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
