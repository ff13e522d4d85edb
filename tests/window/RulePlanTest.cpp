// The settings window's edit plans against a list that behaves as the
// program's: each plan gives the intended list and selection, a plan cut
// short anywhere (no answer) has lost no record, and a refusal at any step,
// then the plan's undo, gives the list back. And what the fields take.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "settings/window/RuleFields.h"
#include "settings/window/RulePlan.h"

namespace {

TargetRecord Rule(const std::string& name) {
  TargetRecord record = DefaultRule();
  std::strncpy(RuleName(record), name.c_str(), kMaxNameBytes);
  return record;
}
// " A/a1/a2 B C/c1": each target with its children.
std::string Describe(const RuleList& list) {
  std::string text;
  for (const TargetRules& target : list) {
    text += std::string(" ") + RuleName(target.record);
    for (const TargetRecord& child : target.children) text += std::string("/") + RuleName(child);
  }
  return text;
}
// The list that Describe gives as text.
RuleList Parse(const std::string& text) {
  RuleList list;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    size_t at = word.find('/');
    list.Append(TargetRules{Rule(word.substr(0, at)), {}});
    for (size_t next; at != std::string::npos; at = next) {
      next = word.find('/', at + 1);
      list[list.Size() - 1].children.Append(Rule(word.substr(at + 1, next - at - 1)));
    }
  }
  return list;
}

const LeadByteTable kLeads = ShiftJisLeadBytes();

// expected: the list once every step ran; "" for a plan with no steps.
struct PlanCase { const char* label; RulePlan plan; const char* expected; RulePick pick; };

TEST(RulePlan, EachPlanGivesItsListAndSelectionAndAFailureAtAnyStepLosesNothing) {
  const char* const kSample = " A/a1/a2 B C/c1";
  const RuleList sample = Parse(kSample), file = Parse(" X/x1 Y/y1");
  const PlanCase cases[] = {
      {"import adds", ImportPlan(sample, file, false), " A/a1/a2 B C/c1 X/x1 Y/y1", {3, -1}},
      {"import replaces", ImportPlan(sample, file, true), " X/x1 Y/y1", {0, -1}},
      {"import into an empty list", ImportPlan(RuleList(), file, true), " X/x1 Y/y1", {0, -1}},
      {"target down", MovePlan(sample, 0, kNoParent, 1), " B A/a1/a2 C/c1", {1, -1}},
      {"target up", MovePlan(sample, 2, kNoParent, -1), " A/a1/a2 C/c1 B", {1, -1}},
      {"middle target down", MovePlan(sample, 1, kNoParent, 1), " A/a1/a2 C/c1 B", {2, -1}},
      {"child down", MovePlan(sample, 0, 0, 1), " A/a2/a1 B C/c1", {0, 1}},
      {"child up", MovePlan(sample, 1, 0, -1), " A/a2/a1 B C/c1", {0, 0}},
      {"copy target", CopyPlan(sample, 0, kNoParent, "+", kLeads), " A/a1/a2 A+/a1/a2 B C/c1", {1, -1}},
      {"copy last target", CopyPlan(sample, 2, kNoParent, "+", kLeads), " A/a1/a2 B C/c1 C+/c1", {3, -1}},
      {"copy child", CopyPlan(sample, 0, 0, "+", kLeads), " A/a1/a1+/a2 B C/c1", {0, 1}},
      {"add target", AddTargetPlan(sample, Rule("D")), " A/a1/a2 B C/c1 D", {3, -1}},
      {"add child", AddChildPlan(sample, 1, Rule("b1")), " A/a1/a2 B/b1 C/c1", {1, 0}},
      {"add target with child", AddTargetWithChildPlan(sample, Rule("F"), Rule("f1")), " A/a1/a2 B C/c1 F/f1", {3, 0}},
      {"edit keeps children", EditPlan(0, kNoParent, Rule("Z")), " Z/a1/a2 B C/c1", {0, -1}},
      {"edit child", EditPlan(1, 0, Rule("z")), " A/a1/z B C/c1", {0, 1}},
      {"delete first target", DeletePlan(sample, 0, kNoParent), " B C/c1", {0, -1}},
      {"delete last target", DeletePlan(sample, 2, kNoParent), " A/a1/a2 B", {1, -1}},
      {"delete last child", DeletePlan(sample, 1, 0), " A/a1 B C/c1", {0, 0}},
      // Past either end, at nothing, or no way to move: no steps at all.
      {"first target up", MovePlan(sample, 0, kNoParent, -1), "", {}},
      {"last target down", MovePlan(sample, 2, kNoParent, 1), "", {}},
      {"last child down", MovePlan(sample, 1, 0, 1), "", {}},
      {"child of a target without children", MovePlan(sample, 0, 1, 1), "", {}},
      {"two places down", MovePlan(sample, 0, kNoParent, 2), "", {}},
      {"copy past the end", CopyPlan(sample, 3, kNoParent, "", kLeads), "", {}},
      {"delete a child that is not there", DeletePlan(sample, 0, 7), "", {}},
      {"add a child to no target", AddChildPlan(sample, 3, Rule("x")), "", {}},
      {"import of no rules", ImportPlan(sample, RuleList(), true), "", {}},
  };
  for (const PlanCase& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(c.plan.complete);
    EXPECT_EQ(c.plan.steps.Empty(), !*c.expected);
    if (!*c.expected) continue;
    EXPECT_EQ(c.plan.pick.target, c.pick.target);
    EXPECT_EQ(c.plan.pick.child, c.pick.child);
    const bool removes = std::strncmp(c.label, "delete", 6) == 0 || std::strncmp(c.label, "edit", 4) == 0 ||
                         std::strstr(c.label, "import") != nullptr;
    const std::string start = std::strstr(c.label, "empty") ? "" : kSample;
    for (size_t failing = 0; failing <= c.plan.steps.Size(); ++failing) {
      SCOPED_TRACE("cut after step " + std::to_string(failing));
      RuleList list = Parse(start);
      for (size_t k = 0; k < failing; ++k) ASSERT_TRUE(ApplyStep(list, c.plan.steps[k]));
      if (!removes) {
        for (const char* name : {" A", "/a1", "/a2", " B", " C/c1"}) {
          EXPECT_NE(Describe(list).find(name), std::string::npos);
        }
      }
      if (failing == c.plan.steps.Size()) {
        EXPECT_EQ(Describe(list), c.expected);
      } else if (failing < c.plan.undoUntil) {
        if (failing > 0) {
          ASSERT_TRUE(c.plan.hasUndo && ApplyStep(list, c.plan.undo));
        }
        while (failing > 0 && c.plan.undoRepeats && ApplyStep(list, c.plan.undo)) {
        }
        EXPECT_EQ(Describe(list), start);
      } else {
        EXPECT_NE(Describe(list).find(" X/x1 Y/y1"), std::string::npos) << "an imported rule was lost";
      }
    }
  }
}

TEST(RulePlan, CopyNamesGetTheSuffixOnlyWhenItFits) {
  const std::string full(kMaxNameBytes - 2, 'x');
  const struct { const char* label; std::string name; const char* suffix; std::string expected; } cases[] = {
      {"plain", "ab", " copy", "ab copy"},
      {"unnamed", "", " copy", ""},
      {"one byte too many", full, "abc", full},
      {"exactly fits", full, "ab", full + "ab"},
      {"ends in a lone lead byte", "ab\x82", "c", "ab\x82"},
      {"ends in a whole double-byte character", "ab\x82\xA0", "c", "ab\x82\xA0" "c"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    TargetRecord record = Rule(c.name);
    AppendToName(record, c.suffix, kLeads);
    EXPECT_EQ(std::string(RuleName(record)), c.expected);
  }
}

TEST(RuleFields, NumbersByTheirModesRangeAndFullWidthDigits) {
  // value: after the check, which keeps 7 unless kOk.
  struct Number { const char* label; const char* text; NumberRange range; NumberCheck expected; int32_t value; };
  const Number cases[] = {
      {"blank", "  ", kIntervalRange, NumberCheck::kEmpty, 7},
      {"letters", "12a", kIntervalRange, NumberCheck::kNotNumber, 7},
      {"a sign alone", "-", kIntervalRange, NumberCheck::kNotNumber, 7},
      {"just under the interval", "49", kIntervalRange, NumberCheck::kOutOfRange, 7},
      {"just over the interval", "3600001", kIntervalRange, NumberCheck::kOutOfRange, 7},
      {"past 32 bits", "99999999999999999999", kIntervalRange, NumberCheck::kOutOfRange, 7},
      {"lowest interval, signed and spaced", " +50 ", kIntervalRange, NumberCheck::kOk, 50},
      {"highest interval", "3600000", kIntervalRange, NumberCheck::kOk, 3600000},
      // Sizes and offsets take every value the settings file holds.
      {"a negative width", "-5", SizeValueRange(kSizeAbsolute), NumberCheck::kOk, -5},
      {"zero width", "0", SizeValueRange(kSizeAbsolute), NumberCheck::kOk, 0},
      {"lowest width", "-100000", SizeValueRange(kSizeAbsolute), NumberCheck::kOk, -100000},
      {"width too low", "-100001", SizeValueRange(kSizeAbsolute), NumberCheck::kOutOfRange, 7},
      {"reference minus a negative", "-1", SizeValueRange(kSizeExtentMinus), NumberCheck::kOk, -1},
      {"reference minus the most", "100000", SizeValueRange(kSizeExtentMinus), NumberCheck::kOk, 100000},
      {"reference minus too low", "-100001", SizeValueRange(kSizeExtentMinus), NumberCheck::kOutOfRange, 7},
      {"percent -25", "-25", SizeValueRange(kSizePercent), NumberCheck::kOk, -25},
      {"lowest percent, spaced", " -1000 ", SizeValueRange(kSizePercent), NumberCheck::kOk, -1000},
      {"percent too low", "-1001", SizeValueRange(kSizePercent), NumberCheck::kOutOfRange, 7},
      {"over a full percent range", "1001", SizeValueRange(kSizePercent), NumberCheck::kOutOfRange, 7},
      {"negative percent offset", "-1000", OffsetValueRange(kOffsetPercent), NumberCheck::kOk, -1000},
      {"pixel offset too far", "-100001", OffsetValueRange(kOffsetPixels), NumberCheck::kOutOfRange, 7},
      {"pixel offset too far right", "100001", OffsetValueRange(kOffsetPixels), NumberCheck::kOutOfRange, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    int32_t value = 7;
    EXPECT_EQ(CheckNumber(c.text, c.range, value), c.expected);
    EXPECT_EQ(value, c.value);
  }
  EXPECT_FALSE(SizeModeTakesValue(kSizeKeep));
  EXPECT_FALSE(SizeModeTakesValue(4));
  EXPECT_FALSE(OffsetTakesValue(kAnchorKeep, kOffsetPixels));
  EXPECT_FALSE(OffsetTakesValue(kAnchorNear, kOffsetFlush));
  EXPECT_TRUE(OffsetTakesValue(kAnchorFar, kOffsetPercent));
  // As a Japanese input method types them: every full-width digit, both minus signs, the long vowel mark.
  std::u16string typed = u"\uFF10\uFF11\uFF12\uFF13\uFF14\uFF15\uFF16\uFF17\uFF18\uFF19 \uFF0D\uFF15\u3000\uFF0B\uFF17"
                         u"\u2212\uFF11\u30FC\uFF12\uFF1Aabc";
  NarrowDigits(&typed[0], typed.size());
  EXPECT_EQ(typed, u"0123456789 -5 +7-1-2\uFF1Aabc");
  // Text from the screen: 127 bytes and a double-byte character do not fit 128.
  bool cut = true;
  EXPECT_EQ(FitPatternText("Notepad", 128, kLeads, cut).size, 7u);
  EXPECT_FALSE(cut);
  const std::string title = std::string(127, 'x') + "\x83\x41";
  EXPECT_EQ(FitPatternText(title.c_str(), 128, kLeads, cut).size, 127u);
  EXPECT_TRUE(cut);
}

TEST(RuleFields, LongNamesEndInAnEllipsisAtAWholeCharacterAndColumnsShareTheRoom) {
  const struct { const char* label; std::string text; size_t limit; std::string expected; } names[] = {
      {"fits", "Notepad", 7, "Notepad"},
      {"one byte over", "Notepad", 6, "Note\x81\x63"},
      {"cut before a double-byte character", "ab\x83\x41\x83\x43", 5, "ab\x81\x63"},
      {"cut after a double-byte character", "ab\x83\x41\x83\x43x", 6, "ab\x83\x41\x81\x63"},
      {"no room but the ellipsis", "abc", 2, "\x81\x63"},
  };
  for (const auto& n : names) {
    SCOPED_TRACE(n.label);
    EXPECT_EQ(std::string(ShortenText(TextView(n.text.data(), n.text.size()), n.limit, kLeads).CString()), n.expected);
  }
  // Widths of name, class, title, action and the two fixed flag columns.
  struct Columns { const char* label; std::vector<int32_t> widths; int32_t room; std::vector<int32_t> expected; };
  const Columns columns[] = {
      {"all fit", {50, 60, 70, 80, 40, 50}, 400, {50, 60, 70, 80, 40, 50}},
      {"the widest gives way", {50, 60, 70, 300, 40, 50}, 400, {50, 60, 70, 130, 40, 50}},
      {"two wide ones share", {200, 60, 70, 300, 40, 50}, 400, {90, 60, 70, 90, 40, 50}},
      {"all wide: equal shares", {200, 200, 200, 200, 40, 50}, 410, {80, 80, 80, 80, 40, 50}},
      {"never below the floor", {200, 200, 200, 200, 40, 50}, 100, {30, 30, 30, 30, 40, 50}},
  };
  for (const auto& c : columns) {
    SCOPED_TRACE(c.label);
    std::vector<int32_t> widths = c.widths;
    FitColumns(widths.data(), widths.size(), 4, c.room, 30);
    EXPECT_EQ(widths, c.expected);
  }
}

}  // namespace
