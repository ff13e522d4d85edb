// The settings window's edit plans against a list that behaves as the
// program's: each plan gives the intended list, and a failure at any step,
// followed by the plan's undo, gives back the list as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/window/RulePlan.h"

namespace {

TargetRecord Rule(const std::string& name) {
  TargetRecord record = DefaultRule();
  std::strncpy(RuleName(record), name.c_str(), kMaxNameBytes);
  return record;
}

std::string NameOf(const TargetRecord& record) { return RuleName(record); }

// "A(a1,a2) B C(c1)"
std::string Describe(const RuleList& list) {
  std::string text;
  for (const TargetRules& target : list) {
    if (!text.empty()) text += ' ';
    text += NameOf(target.record);
    if (target.children.empty()) continue;
    text += '(';
    for (size_t k = 0; k < target.children.size(); ++k) text += (k ? "," : "") + NameOf(target.children[k]);
    text += ')';
  }
  return text;
}

RuleList Sample() {
  RuleList list;
  list.push_back({Rule("A"), {Rule("a1"), Rule("a2")}});
  list.push_back({Rule("B"), {}});
  list.push_back({Rule("C"), {Rule("c1")}});
  return list;
}

bool RunAll(RuleList& list, const RulePlan& plan) {
  for (const RuleStep& step : plan.steps) {
    if (!ApplyStep(list, step)) return false;
  }
  return true;
}

// Every plan the window can make on the sample list.
std::vector<std::pair<std::string, RulePlan>> AllPlans(const RuleList& list) {
  const LeadTable leads = ShiftJisLeads();
  std::vector<std::pair<std::string, RulePlan>> plans;
  for (int32_t i = 0; i < 3; ++i) {
    plans.push_back({"move target up " + std::to_string(i), MovePlan(list, i, kNoParent, -1)});
    plans.push_back({"move target down " + std::to_string(i), MovePlan(list, i, kNoParent, 1)});
    plans.push_back({"copy target " + std::to_string(i), CopyPlan(list, i, kNoParent, "+", leads)});
  }
  plans.push_back({"move child up", MovePlan(list, 1, 0, -1)});
  plans.push_back({"move child down", MovePlan(list, 0, 0, 1)});
  plans.push_back({"copy child", CopyPlan(list, 0, 0, "+", leads)});
  plans.push_back({"add target with child", AddTargetWithChildPlan(list, Rule("F"), Rule("f1"))});
  return plans;
}

TEST(RulePlan, MovesAndCopiesGiveTheIntendedList) {
  const RuleList original = Sample();
  const LeadTable leads = ShiftJisLeads();
  struct Case {
    RulePlan plan;
    const char* expected;
    RulePick pick;
  };
  const Case cases[] = {
      {MovePlan(original, 0, kNoParent, 1), "B A(a1,a2) C(c1)", {1, -1}},
      {MovePlan(original, 2, kNoParent, -1), "A(a1,a2) C(c1) B", {1, -1}},
      {MovePlan(original, 1, kNoParent, -1), "B A(a1,a2) C(c1)", {0, -1}},
      {MovePlan(original, 0, 0, 1), "A(a2,a1) B C(c1)", {0, 1}},
      {MovePlan(original, 1, 0, -1), "A(a2,a1) B C(c1)", {0, 0}},
      {CopyPlan(original, 0, kNoParent, " copy", leads), "A(a1,a2) A copy(a1,a2) B C(c1)", {1, -1}},
      {CopyPlan(original, 2, 0, " copy", leads), "A(a1,a2) B C(c1)", {-1, -1}},
      {CopyPlan(original, 1, 0, " copy", leads), "A(a1,a2,a2 copy) B C(c1)", {0, 2}},
      {AddTargetPlan(original, Rule("D")), "A(a1,a2) B C(c1) D", {3, -1}},
      {AddChildPlan(original, 1, Rule("b1")), "A(a1,a2) B(b1) C(c1)", {1, 0}},
      {AddTargetWithChildPlan(original, Rule("F"), Rule("f1")), "A(a1,a2) B C(c1) F(f1)", {3, 0}},
      {EditPlan(0, kNoParent, Rule("Z")), "Z(a1,a2) B C(c1)", {0, -1}},
      {DeletePlan(original, 0, kNoParent), "B C(c1)", {0, -1}},
      {DeletePlan(original, 2, kNoParent), "A(a1,a2) B", {1, -1}},
      {DeletePlan(original, 1, 0), "A(a1) B C(c1)", {0, 0}},
  };
  for (const Case& c : cases) {
    RuleList list = original;
    EXPECT_TRUE(RunAll(list, c.plan)) << c.expected;
    EXPECT_EQ(Describe(list), c.expected);
    if (!c.plan.steps.empty()) {
      EXPECT_EQ(c.plan.pick.target, c.pick.target) << c.expected;
      EXPECT_EQ(c.plan.pick.child, c.pick.child) << c.expected;
    }
  }
}

TEST(RulePlan, MovesPastEitherEndAreEmpty) {
  const RuleList list = Sample();
  EXPECT_TRUE(MovePlan(list, 0, kNoParent, -1).steps.empty());
  EXPECT_TRUE(MovePlan(list, 2, kNoParent, 1).steps.empty());
  EXPECT_TRUE(MovePlan(list, 1, 0, 1).steps.empty());
  EXPECT_TRUE(MovePlan(list, 0, 1, 1).steps.empty());  // B has no children
  EXPECT_TRUE(MovePlan(list, 5, kNoParent, 1).steps.empty());
  EXPECT_TRUE(CopyPlan(list, 3, kNoParent, "", ShiftJisLeads()).steps.empty());
  EXPECT_TRUE(DeletePlan(list, 0, 7).steps.empty());
}

TEST(RulePlan, AFailureAtAnyStepThenTheUndoGivesBackTheList) {
  const RuleList original = Sample();
  for (const auto& [what, plan] : AllPlans(original)) {
    for (size_t failing = 0; failing < plan.steps.size(); ++failing) {
      RuleList list = original;
      for (size_t k = 0; k < failing; ++k) ASSERT_TRUE(ApplyStep(list, plan.steps[k])) << what;
      // The failing step changes nothing; the window then runs the undo.
      if (failing > 0) {
        ASSERT_TRUE(plan.undo.has_value()) << what << " at step " << failing;
        ASSERT_TRUE(ApplyStep(list, *plan.undo)) << what;
      }
      EXPECT_EQ(Describe(list), Describe(original)) << what << " failing at step " << failing;
    }
  }
}

TEST(RulePlan, StoppingAfterAnyStepLosesNoRecord) {
  // A time-out leaves the program's list somewhere in the middle of a plan:
  // whatever step it reached, every record the list held is still there.
  const RuleList original = Sample();
  const std::string names[] = {"A(a1,a2)", "B", "C(c1)"};
  for (const auto& [what, plan] : AllPlans(original)) {
    RuleList list = original;
    for (size_t k = 0; k < plan.steps.size(); ++k) {
      ASSERT_TRUE(ApplyStep(list, plan.steps[k])) << what;
      const std::string now = " " + Describe(list) + " ";
      for (const std::string& name : names) {
        const bool childPlan = what.find("child") != std::string::npos && what.rfind("add", 0) != 0;
        if (childPlan && name == "A(a1,a2)") {
          // The plan works inside A: A keeps both of its children.
          EXPECT_EQ(now.rfind(" A(", 0), 0u) << what;
          EXPECT_NE(now.find("a1"), std::string::npos) << what;
          EXPECT_NE(now.find("a2"), std::string::npos) << what;
          continue;
        }
        EXPECT_NE(now.find(" " + name + " "), std::string::npos) << what << " after step " << k << ": " << now;
      }
    }
  }
}

TEST(RulePlan, ApplyStepRefusesWhatTheListDoesNotHold) {
  RuleList list = Sample();
  RuleStep step;
  step.kind = RuleStep::kDelete;
  step.index = 3;
  EXPECT_FALSE(ApplyStep(list, step));
  step.kind = RuleStep::kInsert;
  step.index = 4;
  EXPECT_FALSE(ApplyStep(list, step));
  step.index = 0;
  step.parent = 3;
  EXPECT_FALSE(ApplyStep(list, step));
  step.kind = RuleStep::kSet;
  step.parent = 1;  // B has no children
  EXPECT_FALSE(ApplyStep(list, step));
  EXPECT_EQ(Describe(list), "A(a1,a2) B C(c1)");
  // A target inserted anywhere starts without children.
  step.kind = RuleStep::kInsert;
  step.parent = kNoParent;
  step.index = 0;
  step.record = Rule("N");
  EXPECT_TRUE(ApplyStep(list, step));
  EXPECT_EQ(Describe(list), "N A(a1,a2) B C(c1)");
}

TEST(RulePlan, CopyNamesGetTheSuffixOnlyWhenItFits) {
  const LeadTable leads = ShiftJisLeads();
  TargetRecord record = Rule("name");
  AppendToName(record, " copy", leads);
  EXPECT_STREQ(RuleName(record), "name copy");

  TargetRecord unnamed = Rule("");
  AppendToName(unnamed, " copy", leads);
  EXPECT_STREQ(RuleName(unnamed), "");

  TargetRecord full = Rule(std::string(kMaxNameBytes - 2, 'x'));
  AppendToName(full, "abc", leads);
  EXPECT_EQ(std::strlen(RuleName(full)), kMaxNameBytes - 2);
  AppendToName(full, "ab", leads);
  EXPECT_EQ(std::strlen(RuleName(full)), kMaxNameBytes);

  // A name ending in a lone lead byte is left as it is.
  TargetRecord broken = Rule("ab\x82");
  AppendToName(broken, "c", leads);
  EXPECT_STREQ(RuleName(broken), "ab\x82");
}

}  // namespace
