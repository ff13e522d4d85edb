// The settings window's edit plans against a list that behaves as the
// program's: a plan cut short anywhere (no answer) has lost no record, and a
// refusal at any step, then the plan's undo, gives the list back.
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
  for (const char* name : {"A", "B", "C"}) list.Append(TargetRules{Rule(name), {}});
  list[0].children.Append(Rule("a1"));
  list[0].children.Append(Rule("a2"));
  list[2].children.Append(Rule("c1"));
  return list;
}

TEST(RulePlan, AFailureAtAnyStepLosesNothing) {
  const RuleList sample = Sample();
  const LeadByteTable leads = ShiftJisLeadBytes();
  const std::pair<RulePlan, const char*> cases[] = {
      {MovePlan(sample, 0, kNoParent, 1), " B A/a1/a2 C/c1"},
      {MovePlan(sample, 0, 0, 1), " A/a2/a1 B C/c1"},
      {CopyPlan(sample, 0, kNoParent, "+", leads), " A/a1/a2 A+/a1/a2 B C/c1"},
      {AddTargetWithChildPlan(sample, Rule("F"), Rule("f1")), " A/a1/a2 B C/c1 F/f1"}};
  for (const auto& [plan, expected] : cases) {
    ASSERT_TRUE(plan.complete) << expected;
    for (size_t failing = 0; failing <= plan.steps.Size(); ++failing) {
      RuleList list = Sample();
      for (size_t k = 0; k < failing; ++k) ASSERT_TRUE(ApplyStep(list, plan.steps[k])) << expected;
      for (const char* name : {" A/", "/a1", "/a2", " B", " C/c1"}) {
        EXPECT_NE(Describe(list).find(name), std::string::npos) << expected << " cut after step " << failing;
      }
      if (failing > 0 && failing < plan.steps.Size()) {
        ASSERT_TRUE(plan.hasUndo && ApplyStep(list, plan.undo)) << expected << " failing at step " << failing;
      }
      EXPECT_EQ(Describe(list), failing == plan.steps.Size() ? expected : Describe(sample)) << "step " << failing;
    }
  }
}

}  // namespace
