// The settings window's edit plans against a list that behaves as the
// program's: each plan gives the intended list, and a failure at any step
// loses nothing.
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

// "A(a1,a2) B C(c1)"
std::string Describe(const RuleList& list) {
  std::string text;
  for (const TargetRules& target : list) {
    text += std::string(text.empty() ? "" : " ") + RuleName(target.record);
    for (size_t k = 0; k < target.children.Size(); ++k) text += std::string(k ? "," : "(") + RuleName(target.children[k]);
    if (!target.children.Empty()) text += ')';
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

const LeadTable kLeads = ShiftJisLeads();

const struct {
  const char* what;
  RulePlan (*make)(const RuleList&);
  const char* expected;
} kCases[] = {
    {"target down", [](const RuleList& l) { return MovePlan(l, 0, kNoParent, 1); }, "B A(a1,a2) C(c1)"},
    {"child down", [](const RuleList& l) { return MovePlan(l, 0, 0, 1); }, "A(a2,a1) B C(c1)"},
    {"copy target", [](const RuleList& l) { return CopyPlan(l, 0, kNoParent, "+", kLeads); },
     "A(a1,a2) A+(a1,a2) B C(c1)"},
    {"copy child", [](const RuleList& l) { return CopyPlan(l, 1, 0, "+", kLeads); }, "A(a1,a2,a2+) B C(c1)"},
    {"add target with child", [](const RuleList& l) { return AddTargetWithChildPlan(l, Rule("F"), Rule("f1")); },
     "A(a1,a2) B C(c1) F(f1)"},
};

// A move or a copy inserts before it deletes, children copied before the old
// target goes: a plan cut short anywhere (no answer) has lost no record, and a
// refusal at any step, then the plan's undo, gives the list back.
TEST(RulePlan, AFailureAtAnyStepLosesNothing) {
  const std::string original = Describe(Sample());
  for (const auto& c : kCases) {
    const RulePlan plan = c.make(Sample());
    ASSERT_TRUE(plan.complete) << c.what;
    for (size_t failing = 0; failing <= plan.steps.Size(); ++failing) {
      RuleList list = Sample();
      for (size_t k = 0; k < failing; ++k) ASSERT_TRUE(ApplyStep(list, plan.steps[k])) << c.what;
      const std::string reached = " " + Describe(list) + " ";
      for (const char* name : {" A(", "a1", "a2", " B", " C(c1)"}) {
        EXPECT_NE(reached.find(name), std::string::npos) << c.what << " cut after step " << failing << ": " << reached;
      }
      if (failing == plan.steps.Size()) {
        EXPECT_EQ(Describe(list), c.expected) << c.what;
      } else if (failing > 0) {
        ASSERT_TRUE(plan.hasUndo) << c.what << " has no undo for step " << failing;
        ASSERT_TRUE(ApplyStep(list, plan.undo)) << c.what;
        EXPECT_EQ(Describe(list), original) << c.what << " failing at step " << failing;
      }
    }
  }
}

}  // namespace
