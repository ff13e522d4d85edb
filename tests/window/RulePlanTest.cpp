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

// "A(a1,a2) B C(c1)"
std::string Describe(const RuleList& list) {
  std::string text;
  for (const TargetRules& target : list) {
    if (!text.empty()) text += ' ';
    text += RuleName(target.record);
    if (target.children.Empty()) continue;
    text += '(';
    for (size_t k = 0; k < target.children.Size(); ++k) text += std::string(k ? "," : "") + RuleName(target.children[k]);
    text += ')';
  }
  return text;
}

void Add(RuleList& list, const char* name, std::vector<const char*> children) {
  TargetRules target;
  target.record = Rule(name);
  for (const char* child : children) target.children.Append(Rule(child));
  list.Append(std::move(target));
}

RuleList Sample() {
  RuleList list;
  Add(list, "A", {"a1", "a2"});
  Add(list, "B", {});
  Add(list, "C", {"c1"});
  return list;
}

bool RunAll(RuleList& list, const RulePlan& plan) {
  for (const RuleStep& step : plan.steps) {
    if (!ApplyStep(list, step)) return false;
  }
  return true;
}

struct Case {
  const char* what;
  RulePlan (*make)(const RuleList&);
  const char* expected;
  RulePick pick;
};

const LeadByteTable kLeads = ShiftJisLeadBytes();

const Case kCases[] = {
    {"target down", [](const RuleList& l) { return MovePlan(l, 0, kNoParent, 1); }, "B A(a1,a2) C(c1)", {1, -1}},
    {"target up", [](const RuleList& l) { return MovePlan(l, 2, kNoParent, -1); }, "A(a1,a2) C(c1) B", {1, -1}},
    {"child down", [](const RuleList& l) { return MovePlan(l, 0, 0, 1); }, "A(a2,a1) B C(c1)", {0, 1}},
    {"child up", [](const RuleList& l) { return MovePlan(l, 1, 0, -1); }, "A(a2,a1) B C(c1)", {0, 0}},
    {"copy target", [](const RuleList& l) { return CopyPlan(l, 0, kNoParent, "+", kLeads); }, "A(a1,a2) A+(a1,a2) B C(c1)",
     {1, -1}},
    {"copy child", [](const RuleList& l) { return CopyPlan(l, 1, 0, "+", kLeads); }, "A(a1,a2,a2+) B C(c1)", {0, 2}},
    {"add target", [](const RuleList& l) { return AddTargetPlan(l, Rule("D")); }, "A(a1,a2) B C(c1) D", {3, -1}},
    {"add child", [](const RuleList& l) { return AddChildPlan(l, 1, Rule("b1")); }, "A(a1,a2) B(b1) C(c1)", {1, 0}},
    {"add target with child", [](const RuleList& l) { return AddTargetWithChildPlan(l, Rule("F"), Rule("f1")); },
     "A(a1,a2) B C(c1) F(f1)", {3, 0}},
    {"edit keeps children", [](const RuleList&) { return EditPlan(0, kNoParent, Rule("Z")); }, "Z(a1,a2) B C(c1)", {0, -1}},
    {"delete last target", [](const RuleList& l) { return DeletePlan(l, 2, kNoParent); }, "A(a1,a2) B", {1, -1}},
    {"delete child", [](const RuleList& l) { return DeletePlan(l, 1, 0); }, "A(a1) B C(c1)", {0, 0}},
};

TEST(RulePlan, EachPlanGivesTheIntendedListAndSelection) {
  for (const Case& c : kCases) {
    RuleList list = Sample();
    const RulePlan plan = c.make(list);
    ASSERT_TRUE(plan.complete);
    EXPECT_TRUE(RunAll(list, plan)) << c.what;
    EXPECT_EQ(Describe(list), c.expected) << c.what;
    EXPECT_EQ(plan.pick.target, c.pick.target) << c.what;
    EXPECT_EQ(plan.pick.child, c.pick.child) << c.what;
  }
  // Past either end, or at nothing: no steps at all.
  const RuleList list = Sample();
  EXPECT_TRUE(MovePlan(list, 0, kNoParent, -1).steps.Empty());
  EXPECT_TRUE(MovePlan(list, 2, kNoParent, 1).steps.Empty());
  EXPECT_TRUE(MovePlan(list, 0, 1, 1).steps.Empty());  // B has no children
  EXPECT_TRUE(CopyPlan(list, 3, kNoParent, "", kLeads).steps.Empty());
  EXPECT_TRUE(DeletePlan(list, 0, 7).steps.Empty());
}

// A move or a copy inserts before it deletes, children copied before the old
// target goes: a refusal at any step, then the undo, gives the list back;
// and a plan cut short anywhere (no answer) has lost no record.
TEST(RulePlan, AFailureAtAnyStepLosesNothing) {
  for (const Case& c : kCases) {
    const RuleList original = Sample();
    const RulePlan plan = c.make(original);
    for (size_t failing = 0; failing <= plan.steps.Size(); ++failing) {
      RuleList list = Sample();
      for (size_t k = 0; k < failing; ++k) ASSERT_TRUE(ApplyStep(list, plan.steps[k])) << c.what;
      const std::string reached = " " + Describe(list) + " ";
      if (std::strncmp(c.what, "delete", 6) != 0 && std::strncmp(c.what, "edit", 4) != 0) {
        for (const char* name : {" A(", "a1", "a2", " B", " C(c1)"}) {
          EXPECT_NE(reached.find(name), std::string::npos) << c.what << " cut after step " << failing << ": " << reached;
        }
      }
      if (failing == 0 || failing == plan.steps.Size()) continue;
      ASSERT_TRUE(plan.hasUndo) << c.what << " has no undo for step " << failing;
      ASSERT_TRUE(ApplyStep(list, plan.undo)) << c.what;
      EXPECT_EQ(Describe(list), Describe(original)) << c.what << " failing at step " << failing;
    }
  }
}

TEST(RulePlan, CopyNamesGetTheSuffixOnlyWhenItFits) {
  TargetRecord unnamed = Rule("");
  AppendToName(unnamed, " copy", kLeads);
  EXPECT_STREQ(RuleName(unnamed), "");
  TargetRecord full = Rule(std::string(kMaxNameBytes - 2, 'x'));
  AppendToName(full, "abc", kLeads);
  EXPECT_EQ(std::strlen(RuleName(full)), kMaxNameBytes - 2);
  AppendToName(full, "ab", kLeads);
  EXPECT_EQ(std::strlen(RuleName(full)), kMaxNameBytes);
  // A name ending in a lone lead byte would swallow the suffix's first byte.
  TargetRecord broken = Rule("ab\x82");
  AppendToName(broken, "c", kLeads);
  EXPECT_STREQ(RuleName(broken), "ab\x82");
}

}  // namespace
