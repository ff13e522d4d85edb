// The settings window's edit plans against a list that behaves as the
// program's: a move or a copy inserts before it deletes, children copied
// before the old target goes, so a plan cut short anywhere (no answer) has
// lost no record, and a refusal at any step, then the plan's undo, gives the
// list back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "settings/window/RulePlan.h"

namespace {

TargetRecord Rule(const char* name) {
  TargetRecord record = DefaultRule();
  std::strncpy(RuleName(record), name, kMaxNameBytes);
  return record;
}

// " A/a1/a2 B C/c1"
std::string Describe(const RuleList& list) {
  std::string text;
  for (const TargetRules& target : list) {
    text += std::string(" ") + RuleName(target.record);
    for (const TargetRecord& child : target.children) text += std::string("/") + RuleName(child);
  }
  return text;
}

RuleList Sample() {
  RuleList list;
  for (const char* name : {"A", "B", "C"}) {
    TargetRules target;
    target.record = Rule(name);
    for (const char* child : {"a1", "a2", "c1"}) {
      if (child[0] == *name - 'A' + 'a') target.children.Append(Rule(child));
    }
    list.Append(std::move(target));
  }
  return list;
}

TEST(RulePlan, AFailureAtAnyStepLosesNothing) {
  const RuleList sample = Sample();
  const LeadTable leads = ShiftJisLeads();
  const std::pair<RulePlan, const char*> cases[] = {
      {MovePlan(sample, 0, kNoParent, 1), " B A/a1/a2 C/c1"},
      {MovePlan(sample, 2, kNoParent, -1), " A/a1/a2 C/c1 B"},
      {MovePlan(sample, 0, 0, 1), " A/a2/a1 B C/c1"},
      {CopyPlan(sample, 0, kNoParent, "+", leads), " A/a1/a2 A+/a1/a2 B C/c1"},
      {CopyPlan(sample, 1, 0, "+", leads), " A/a1/a2/a2+ B C/c1"},
      {AddTargetWithChildPlan(sample, Rule("F"), Rule("f1")), " A/a1/a2 B C/c1 F/f1"}};
  for (const auto& [plan, expected] : cases) {
    ASSERT_TRUE(plan.complete) << expected;
    for (size_t failing = 0; failing <= plan.steps.Size(); ++failing) {
      RuleList list = Sample();
      for (size_t k = 0; k < failing; ++k) ASSERT_TRUE(ApplyStep(list, plan.steps[k])) << expected;
      const std::string reached = Describe(list) + " ";
      for (const char* name : {" A/", "/a1", "/a2", " B", " C/c1 "}) {
        EXPECT_NE(reached.find(name), std::string::npos) << expected << " cut after step " << failing << ": " << reached;
      }
      if (failing == plan.steps.Size()) {
        EXPECT_EQ(Describe(list), expected);
      } else if (failing > 0) {
        ASSERT_TRUE(plan.hasUndo) << expected << " has no undo for step " << failing;
        ASSERT_TRUE(ApplyStep(list, plan.undo)) << expected;
        EXPECT_EQ(Describe(list), Describe(sample)) << expected << " failing at step " << failing;
      }
    }
  }
}

}  // namespace
