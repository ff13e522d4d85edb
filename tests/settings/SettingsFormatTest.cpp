// The whole file: written from a model and read back through a stand-in for
// the profile API, and what reading makes of files that were not written so.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include "SampleSettings.h"
#include "settings/SettingsFormat.h"
#include "settings/SettingsParse.h"

namespace {

const Charset kShiftJis{ShiftJisLeadBytes()};

struct Parsed {
  SettingsModel model;
  ParseReport report;
  bool understood = false;
};

Parsed Parse(std::string_view text) {
  Parsed parsed;
  FakeProfile profile(text);
  CheckRawText(TextView(text.data(), text.size()), parsed.report);
  parsed.understood = ParseSettingsFile(profile.Reader(), ShiftJisLeadBytes(), parsed.model, parsed.report);
  return parsed;
}

constexpr char kSettings[] =
    "[Settings]\r\nVersion=1\r\nMonitoring=on\r\nInterval=500\r\nReapplyOnWorkAreaChange=yes\r\n"
    "OpenSettingsAtStart=no\r\n";

// A complete rule section with one key's line replaced (dropped when the
// replacement is empty).
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

TEST(SettingsFormat, WritesTheLayoutTheHelpDescribes) {
  SettingsModel model;
  TargetRules rules;
  rules.record = Rule(kMatchEquals, "Notepad", kMatchEnds, " - memo", "right half");
  rules.record.sizeAction = kSizeSet;
  rules.record.widthSpec = {kSizePercent, {}, 50};
  rules.record.heightSpec = {kSizeExtentMinus, {}, 0};
  rules.record.positionAction = kPositionSet;
  rules.record.xSpec = {kAnchorFar, kOffsetFlush, {}, 0};
  rules.record.ySpec = {kAnchorNear, kOffsetPixels, {}, 10};
  AddChild(rules, Rule(kMatchAny, "", kMatchBegins, "doc"));
  model.targets.Append(std::move(rules));
  EXPECT_EQ(FormatText(model, kShiftJis),
            "; Plenara settings (code page 932). The help's page on the settings file describes every key.\r\n"
            "\r\n[Settings]\r\nVersion=1\r\nMonitoring=on\r\nInterval=500\r\nReapplyOnWorkAreaChange=yes\r\n"
            "OpenSettingsAtStart=no\r\n"
            "\r\n[1]\r\nName=\"right half\"\r\nEnabled=yes\r\nOnce=yes\r\nClass=equals \"Notepad\"\r\n"
            "Title=ends \" - memo\"\r\nSize=set\r\nWidth=percent 50\r\nHeight=minus 0\r\nPosition=set\r\n"
            "X=far flush\r\nY=near pixels 10\r\nActivate=no\r\nClose=no\r\n"
            "\r\n[1.1]\r\nName=\"\"\r\nEnabled=yes\r\nOnce=yes\r\nClass=any \"\"\r\nTitle=begins \"doc\"\r\n"
            "Size=none\r\nWidth=keep\r\nHeight=keep\r\nPosition=none\r\nX=keep\r\nY=keep\r\nActivate=no\r\nClose=no\r\n");
}

TEST(SettingsFormat, HandWrittenShorthandIsAccepted) {
  const Parsed parsed = Parse(std::string(kSettings) +
                              "[7]\r\nname = spaced out \r\nenabled=YES\r\nonce=off\r\nclass=Equals\"Edit\"\r\n"
                              "title=contains  \xCA\xDF\xDD \r\nsize=maximize\r\nwidth=keep\r\nheight=keep\r\n"
                              "position=none\r\nx=keep\r\ny=keep\r\nactivate=on\r\nclose=0\r\n");
  EXPECT_FALSE(parsed.report.damaged) << Notes(parsed.report);
  ASSERT_EQ(parsed.model.targets.Size(), 1u);
  TargetRecord expected = Rule(kMatchEquals, "Edit", kMatchContains, "\xCA\xDF\xDD", "spaced out");
  expected.applyOnce = 0;
  expected.sizeAction = kSizeMaximize;
  expected.activate = 1;
  EXPECT_EQ(std::memcmp(&parsed.model.targets[0].record, &expected, sizeof expected), 0);
}

TEST(SettingsFormat, ChildrenFollowTheirTargetByName) {
  // Children may stand anywhere; their order among themselves is kept, and
  // a child whose target is missing is dropped.
  const Parsed parsed =
      Parse(std::string(kSettings) + Section("2.1", "Name", "Name=b1") + Section("1", "Name", "Name=a") +
            Section("2", "Name", "Name=b") + Section("9.1") + Section("2.2", "Name", "Name=b2") +
            Section("1.5", "Name", "Name=a1"));
  std::string order;
  for (const TargetRules& t : parsed.model.targets) {
    order += std::string(RuleName(t.record)) + "(";
    for (const TargetRecord& c : t.children) order += std::string(RuleName(c)) + " ";
    order += ")";
  }
  EXPECT_EQ(order, "a(a1 )b(b1 b2 )");
  EXPECT_TRUE(parsed.report.damaged);  // the orphan
}

struct DamageCase {
  const char* what;
  std::string text;
  bool understood;
  size_t targets;
  std::function<void(const SettingsModel&)> check;
};

TEST(SettingsFormat, DamagedTextHasItsDocumentedOutcome) {
  const auto first = [](const SettingsModel& m) -> const TargetRecord& { return m.targets[0].record; };
  const std::vector<DamageCase> cases = {
      {"empty", "", false, 0, nullptr},
      {"garbage", "\x89PNG\r\n\x1A\n\xFF\xFE garbage = [[[ ]]] ;;;", false, 0, nullptr},
      {"text before the first section", "stray words\r\n" + std::string(kSettings), true, 0, nullptr},
      {"interval too short, other settings kept",
       "[Settings]\r\nMonitoring=off\r\nInterval=10\r\nReapplyOnWorkAreaChange=no\r\nOpenSettingsAtStart=yes\r\n",
       true, 0,
       [](const SettingsModel& m) {
         EXPECT_EQ(m.general.monitorInterval, kMinInterval);
         EXPECT_EQ(m.general.monitoringEnabled, 0);
         EXPECT_EQ(m.general.reapplyOnWorkAreaChange, 0);
         EXPECT_EQ(m.general.openSettingsAtStart, 1);
       }},
      {"huge values are clamped",
       "[Settings]\r\nInterval=99999999999999999999\r\n" + Section("1", "Width", "Width=pixels 123456789012") +
           Section("2", "X", "X=far percent -5000"),
       true, 2,
       [](const SettingsModel& m) {
         EXPECT_EQ(m.general.monitorInterval, kMaxInterval);
         EXPECT_EQ(m.targets[0].record.widthSpec.value, kMaxPixels);
         EXPECT_EQ(m.targets[1].record.xSpec.value, kMinPercent);
         EXPECT_EQ(m.targets[1].record.xSpec.anchor, kAnchorFar);
       }},
      {"unknown words keep the rule with safe values",
       kSettings + Section("1", "Class", "Class=regex \"C\"") + Section("2", "Size", "Size=huge") +
           Section("3", "X", "X=left flush") + Section("4", "Y", "Y=far sideways 5") +
           Section("5", "Close", "Close=perhaps") + Section("6", "Enabled", "Enabled=maybe") +
           Section("7", "Width", "Width=wide 5"),
       true, 7,
       [](const SettingsModel& m) {
         EXPECT_EQ(m.targets[0].record.classMatch, kMatchAny);
         EXPECT_STREQ(m.targets[0].record.classPattern, "C");
         EXPECT_EQ(m.targets[1].record.sizeAction, kSizeNone);
         EXPECT_EQ(m.targets[2].record.xSpec.anchor, kAnchorKeep);
         EXPECT_EQ(m.targets[3].record.ySpec.anchor, kAnchorKeep);
         EXPECT_EQ(m.targets[4].record.close, 0);
         EXPECT_EQ(m.targets[5].record.enabled, 0);
         EXPECT_EQ(m.targets[6].record.widthSpec.mode, kSizeKeep);
         EXPECT_EQ(m.targets[6].record.widthSpec.value, 0);
       }},
      {"missing keys take their defaults", kSettings + std::string("[1]\r\nClass=equals \"Only\"\r\n"), true, 1,
       [&](const SettingsModel& m) {
         const TargetRecord expected = Rule(kMatchEquals, "Only", kMatchAny, "");
         EXPECT_EQ(std::memcmp(&first(m), &expected, sizeof expected), 0);
       }},
      {"duplicate sections and keys: the first counts",
       kSettings + Section("1", "Close", "Close=no\r\nClose=yes") + Section("1", "Name", "Name=second") +
           "[Settings]\r\nInterval=9999\r\n",
       true, 1,
       [&](const SettingsModel& m) {
         EXPECT_STREQ(RuleName(first(m)), "n");
         EXPECT_EQ(first(m).close, 0);
         EXPECT_EQ(m.general.monitorInterval, 500);
       }},
      {"empty and unknown sections are skipped",
       kSettings + std::string("[1]\r\n") + Section("2") + Section("Window3") + "[4]\r\nfoo=bar\r\n", true, 1, nullptr},
      {"unclosed quote", kSettings + Section("1", "Title", "Title=begins \"open end"), true, 1,
       [&](const SettingsModel& m) { EXPECT_STREQ(first(m).titlePattern, "open end"); }},
      {"long pattern cut on a character boundary, long name at 131 bytes",
       kSettings + Section("1", "Title", "Title=equals \"" + std::string(127, 'x') + "\x90\xDD\x90\xDD\"") +
           Section("2", "Name", "Name=\"" + std::string(140, 'y') + "\""),
       true, 2,
       [&](const SettingsModel& m) {
         EXPECT_EQ(std::string(first(m).titlePattern), std::string(127, 'x'));
         EXPECT_EQ(std::string(RuleName(m.targets[1].record)), std::string(131, 'y'));
       }},
      {"a line without '=' and a line without a key", kSettings + Section("1") + "just words\r\n= lost value\r\n",
       true, 1, nullptr},
      {"newer version", "[Settings]\r\nVersion=2\r\nMonitoring=on\r\nInterval=500\r\nReapplyOnWorkAreaChange=yes\r\n"
                        "OpenSettingsAtStart=no\r\nTheme=dark\r\n",
       true, 0, nullptr},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Parsed parsed = Parse(c.text);
    EXPECT_TRUE(parsed.report.damaged);
    EXPECT_GT(parsed.report.noteCount, 0u);
    EXPECT_EQ(parsed.understood, c.understood) << Notes(parsed.report);
    EXPECT_EQ(parsed.model.targets.Size(), c.targets) << Notes(parsed.report);
    if (!c.understood) {
      EXPECT_EQ(ModelDifference(SettingsModel{}, parsed.model), "");
    }
    if (c.check && parsed.model.targets.Size() == c.targets) c.check(parsed.model);
  }
}

TEST(SettingsFormat, WhateverTheRecordsHoldTheFileReadsBackClean) {
  // Records of random bytes: every field out of its range at times, strings
  // without their NUL. Written and read once they are in range; written and
  // read again, nothing changes.
  std::mt19937 random(42);
  SettingsModel model;
  model.general.monitorInterval = -7;
  for (int t = 0; t < 200; ++t) {
    TargetRules rules;
    auto* bytes = reinterpret_cast<uint8_t*>(&rules.record);
    for (size_t i = 0; i < sizeof rules.record; ++i) bytes[i] = static_cast<uint8_t>(random() % 4 ? random() : random() % 6);
    if (t % 3 == 0) AddChild(rules, rules.record);
    model.targets.Append(std::move(rules));
  }
  const Parsed first = Parse(FormatText(model, kShiftJis));
  EXPECT_FALSE(first.report.damaged) << Notes(first.report);
  ASSERT_EQ(first.model.targets.Size(), model.targets.Size());
  EXPECT_EQ(first.model.general.monitorInterval, kMinInterval);
  const std::string again = FormatText(first.model, kShiftJis);
  const Parsed second = Parse(again);
  EXPECT_FALSE(second.report.damaged) << Notes(second.report);
  EXPECT_EQ(ModelDifference(first.model, second.model), "");
  EXPECT_EQ(FormatText(second.model, kShiftJis), again);
}

}  // namespace
