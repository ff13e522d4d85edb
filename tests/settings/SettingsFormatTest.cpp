// The whole file: written from a model and read back through a stand-in for
// the profile API, and what reading makes of files that were not written so.
#include <gtest/gtest.h>

#include <functional>

#include "SampleSettings.h"
#include "settings/SettingsFormat.h"
#include "settings/SettingsParse.h"

namespace {

const Charset kShiftJis{ShiftJisLeads()};

struct Parsed {
  SettingsModel model;
  ParseReport report;
  bool understood = false;
};

Parsed Parse(std::string_view text) {
  Parsed parsed;
  FakeProfile profile(text);
  CheckRawText(text, parsed.report);
  parsed.understood = ParseSettingsFile(profile, ShiftJisLeads(), parsed.model, parsed.report);
  return parsed;
}

constexpr char kSettings[] =
    "[Settings]\r\nVersion=1\r\nMonitoring=on\r\nInterval=500\r\nReapplyOnWorkAreaChange=yes\r\n"
    "OpenSettingsAtStart=no\r\n";

// A complete rule section body with one key replaced (or dropped when
// replacement is empty).
std::string RuleBody(const std::string& key = "", const std::string& replacement = "") {
  const char* lines[] = {"Name=\"n\"",       "Enabled=yes",    "Once=yes",        "Class=equals \"C\"",
                         "Title=any \"\"",   "Size=set",       "Width=pixels 10", "Height=keep",
                         "Position=set",     "X=near flush",   "Y=far pixels 5",  "Activate=no",
                         "Close=no"};
  std::string body;
  for (const char* line : lines) {
    const std::string text = line;
    if (!key.empty() && text.compare(0, key.size() + 1, key + "=") == 0) {
      if (!replacement.empty()) body += replacement + "\r\n";
      continue;
    }
    body += text + "\r\n";
  }
  return body;
}

TEST(SettingsFormat, SampleComesBackByteForByte) {
  const SettingsModel sample = SampleModel();
  const std::string text = FormatSettingsFile(sample, kShiftJis);
  const Parsed parsed = Parse(text);
  EXPECT_TRUE(parsed.understood);
  EXPECT_FALSE(parsed.report.damaged) << Notes(parsed.report);
  EXPECT_EQ(ModelDifference(sample, parsed.model), "");
  // Written twice, the same text: nothing drifts.
  EXPECT_EQ(FormatSettingsFile(parsed.model, kShiftJis), text);
}

TEST(SettingsFormat, ReadsLikeTheHelpDescribesIt) {
  SettingsModel model;
  TargetRules rules{Rule(kMatchEquals, "Notepad", kMatchEnds, " - memo"), {}};
  SetName(rules.record, "right half");
  rules.record.sizeAction = kSizeSet;
  rules.record.widthSpec = {kSizePercent, {}, 50};
  rules.record.heightSpec = {kSizeExtentMinus, {}, 0};
  rules.record.positionAction = kPositionSet;
  rules.record.xSpec = {kAnchorFar, kOffsetFlush, {}, 0};
  rules.record.ySpec = {kAnchorNear, kOffsetPixels, {}, 10};
  rules.children.push_back(Rule(kMatchAny, "", kMatchBegins, "doc"));
  model.targets.push_back(rules);
  const std::string expected =
      "; Plenara settings (code page 932). The help's page on the settings file describes every key.\r\n"
      "\r\n[Settings]\r\nVersion=1\r\nMonitoring=on\r\nInterval=500\r\nReapplyOnWorkAreaChange=yes\r\n"
      "OpenSettingsAtStart=no\r\n"
      "\r\n[1]\r\nName=\"right half\"\r\nEnabled=yes\r\nOnce=yes\r\nClass=equals \"Notepad\"\r\n"
      "Title=ends \" - memo\"\r\nSize=set\r\nWidth=percent 50\r\nHeight=minus 0\r\nPosition=set\r\n"
      "X=far flush\r\nY=near pixels 10\r\nActivate=no\r\nClose=no\r\n"
      "\r\n[1.1]\r\nName=\"\"\r\nEnabled=yes\r\nOnce=yes\r\nClass=any \"\"\r\nTitle=begins \"doc\"\r\n"
      "Size=none\r\nWidth=keep\r\nHeight=keep\r\nPosition=none\r\nX=keep\r\nY=keep\r\nActivate=no\r\nClose=no\r\n";
  EXPECT_EQ(FormatSettingsFile(model, kShiftJis), expected);
}

TEST(SettingsFormat, HandWrittenShorthandIsAccepted) {
  const Parsed parsed = Parse(std::string(kSettings) +
                              "[7]\r\nname = spaced out \r\nenabled=YES\r\nonce=off\r\nclass=Equals\"Edit\"\r\n"
                              "title=contains  \xCA\xDF\xDD \r\nsize=maximize\r\nwidth=keep\r\nheight=keep\r\n"
                              "position=none\r\nx=keep\r\ny=keep\r\nactivate=on\r\nclose=0\r\n");
  EXPECT_FALSE(parsed.report.damaged) << Notes(parsed.report);
  ASSERT_EQ(parsed.model.targets.size(), 1u);
  const TargetRecord& r = parsed.model.targets[0].record;
  EXPECT_STREQ(RuleName(r), "spaced out");
  EXPECT_EQ(r.applyOnce, 0);
  EXPECT_EQ(r.classMatch, kMatchEquals);
  EXPECT_STREQ(r.classPattern, "Edit");
  EXPECT_EQ(r.titleMatch, kMatchContains);
  EXPECT_STREQ(r.titlePattern, "\xCA\xDF\xDD");
  EXPECT_EQ(r.sizeAction, kSizeMaximize);
  EXPECT_EQ(r.activate, 1);
}

TEST(SettingsFormat, ChildrenFollowTheirTargetByName) {
  // Children may stand anywhere; their order among themselves is kept, and
  // a child whose target is missing is dropped.
  const Parsed parsed =
      Parse(std::string(kSettings) + "[2.1]\r\n" + RuleBody("Name", "Name=\"b1\"") + "[1]\r\n" +
            RuleBody("Name", "Name=\"a\"") + "[2]\r\n" + RuleBody("Name", "Name=\"b\"") + "[9.1]\r\n" +
            RuleBody() + "[2.2]\r\n" + RuleBody("Name", "Name=\"b2\"") + "[1.5]\r\n" +
            RuleBody("Name", "Name=\"a1\""));
  ASSERT_EQ(parsed.model.targets.size(), 2u);
  EXPECT_STREQ(RuleName(parsed.model.targets[0].record), "a");
  EXPECT_STREQ(RuleName(parsed.model.targets[1].record), "b");
  ASSERT_EQ(parsed.model.targets[0].children.size(), 1u);
  EXPECT_STREQ(RuleName(parsed.model.targets[0].children[0]), "a1");
  ASSERT_EQ(parsed.model.targets[1].children.size(), 2u);
  EXPECT_STREQ(RuleName(parsed.model.targets[1].children[0]), "b1");
  EXPECT_STREQ(RuleName(parsed.model.targets[1].children[1]), "b2");
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
  const GeneralSettings defaults;
  const std::vector<DamageCase> cases = {
      {"empty", "", false, 0, nullptr},
      {"comments only", "; nothing\r\n\r\n", false, 0, nullptr},
      {"garbage", "\x89PNG\r\n\x1A\n\xFF\xFE garbage = [[[ ]]] ;;;", false, 0, nullptr},
      {"text before the first section", "stray words\r\n" + std::string(kSettings), true, 0, nullptr},
      {"no settings section", "[1]\r\n" + RuleBody(), true, 1,
       [&](const SettingsModel& m) { EXPECT_EQ(m.general.monitorInterval, defaults.monitorInterval); }},
      {"interval too short", "[Settings]\r\nVersion=1\r\nMonitoring=off\r\nInterval=10\r\n"
                             "ReapplyOnWorkAreaChange=no\r\nOpenSettingsAtStart=yes\r\n",
       true, 0,
       [](const SettingsModel& m) {
         EXPECT_EQ(m.general.monitorInterval, kMinInterval);
         EXPECT_EQ(m.general.monitoringEnabled, 0);
         EXPECT_EQ(m.general.reapplyOnWorkAreaChange, 0);
         EXPECT_EQ(m.general.openSettingsAtStart, 1);
       }},
      {"huge values",
       "[Settings]\r\nInterval=99999999999999999999\r\n[1]\r\n" +
           RuleBody("Width", "Width=pixels 123456789012") + "[2]\r\n" +
           RuleBody("X", "X=far percent -5000"),
       true, 2,
       [](const SettingsModel& m) {
         EXPECT_EQ(m.general.monitorInterval, kMaxInterval);
         EXPECT_EQ(m.targets[0].record.widthSpec.value, kMaxPixels);
         EXPECT_EQ(m.targets[1].record.xSpec.value, kMinPercent);
         EXPECT_EQ(m.targets[1].record.xSpec.anchor, kAnchorFar);
       }},
      {"unknown words keep the rule with safe values",
       std::string(kSettings) + "[1]\r\n" + RuleBody("Class", "Class=regex \"C\"") + "[2]\r\n" +
           RuleBody("Size", "Size=huge") + "[3]\r\n" + RuleBody("X", "X=left flush") + "[4]\r\n" +
           RuleBody("Y", "Y=far sideways 5") + "[5]\r\n" + RuleBody("Close", "Close=perhaps") +
           "[6]\r\n" + RuleBody("Enabled", "Enabled=maybe") + "[7]\r\n" + RuleBody("Width", "Width=wide 5"),
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
      {"missing keys take their defaults", std::string(kSettings) + "[1]\r\nClass=equals \"Only\"\r\n", true, 1,
       [](const SettingsModel& m) {
         const TargetRecord& r = m.targets[0].record;
         EXPECT_STREQ(r.classPattern, "Only");
         EXPECT_EQ(r.enabled, 1);
         EXPECT_EQ(r.applyOnce, 1);
         EXPECT_EQ(r.sizeAction, kSizeNone);
         EXPECT_EQ(r.close, 0);
       }},
      {"duplicate sections: the first counts",
       std::string(kSettings) + "[1]\r\n" + RuleBody("Name", "Name=\"first\"") + "[1]\r\n" +
           RuleBody("Name", "Name=\"second\"") + "[Settings]\r\nInterval=9999\r\n",
       true, 1,
       [](const SettingsModel& m) {
         EXPECT_STREQ(RuleName(m.targets[0].record), "first");
         EXPECT_EQ(m.general.monitorInterval, 500);
       }},
      {"duplicate keys: the first counts",
       std::string(kSettings) + "[1]\r\n" + RuleBody() + "Close=yes\r\n", true, 1,
       [](const SettingsModel& m) { EXPECT_EQ(m.targets[0].record.close, 0); }},
      {"empty and unknown sections are skipped",
       std::string(kSettings) + "[1]\r\n[2]\r\n" + RuleBody() + "[Window3]\r\n" + RuleBody() +
           "[4]\r\nfoo=bar\r\n",
       true, 1, nullptr},
      {"unclosed quote", std::string(kSettings) + "[1]\r\n" + RuleBody("Title", "Title=begins \"open end"), true,
       1, [](const SettingsModel& m) { EXPECT_STREQ(m.targets[0].record.titlePattern, "open end"); }},
      {"long pattern and name are cut on a character boundary",
       std::string(kSettings) + "[1]\r\n" +
           RuleBody("Title", "Title=equals \"" + std::string(127, 'x') + "\x90\xDD\x90\xDD\"") +
           "Name=\"" + std::string(300, '\x90') + "\"\r\n",
       true, 1,
       [](const SettingsModel& m) {
         EXPECT_EQ(std::string(m.targets[0].record.titlePattern), std::string(127, 'x'));
         // The name key came twice; the first ("n") counts.
         EXPECT_STREQ(RuleName(m.targets[0].record), "n");
       }},
      {"a name longer than 131 bytes",
       std::string(kSettings) + "[1]\r\n" + RuleBody("Name", "Name=\"" + std::string(140, 'y') + "\""), true, 1,
       [](const SettingsModel& m) { EXPECT_EQ(std::string(RuleName(m.targets[0].record)), std::string(131, 'y')); }},
      {"a line without '=' and a line without a key",
       std::string(kSettings) + "[1]\r\n" + RuleBody() + "just words\r\n= lost value\r\n", true, 1, nullptr},
      {"newer version", "[Settings]\r\nVersion=2\r\nMonitoring=on\r\nInterval=500\r\nReapplyOnWorkAreaChange=yes\r\n"
                        "OpenSettingsAtStart=no\r\nTheme=dark\r\n",
       true, 0, nullptr},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Parsed parsed = Parse(c.text);
    EXPECT_TRUE(parsed.report.damaged);
    EXPECT_FALSE(parsed.report.notes.empty());
    EXPECT_EQ(parsed.understood, c.understood) << Notes(parsed.report);
    EXPECT_EQ(parsed.model.targets.size(), c.targets) << Notes(parsed.report);
    if (!c.understood) {
      EXPECT_EQ(ModelDifference(SettingsModel{}, parsed.model), "");
    }
    if (c.check && parsed.model.targets.size() == c.targets) c.check(parsed.model);
  }
}

TEST(SettingsFormat, ManyRulesComeBack) {
  const SettingsModel many = ManyRules(2000);
  const Parsed parsed = Parse(FormatSettingsFile(many, kShiftJis));
  EXPECT_FALSE(parsed.report.damaged) << Notes(parsed.report);
  EXPECT_EQ(ModelDifference(many, parsed.model), "");
}

}  // namespace
