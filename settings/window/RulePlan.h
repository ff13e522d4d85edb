#pragma once
// Every change the settings window makes to the rule list, as the steps the
// program's protocol offers: insert, delete and overwrite one record. A
// move or a copy inserts first and deletes last, children copied before the
// old target goes, so a failure part-way loses nothing; the undo step takes
// out what the plan put in. No Windows types: the plans are tested on the
// host too.
#include <cstddef>
#include <cstdint>

#include "settings/SettingsModel.h"
#include "settings/Text.h"

using RuleList = Array<TargetRules>;

constexpr int32_t kNoParent = -1;  // the step addresses a target

struct RuleStep {
  enum Kind : uint8_t { kInsert, kDelete, kSet };
  Kind kind = kInsert;
  int32_t index = 0;
  int32_t parent = kNoParent;  // a target's index for a child rule
  TargetRecord record{};       // for kInsert and kSet
};

// Where the selection stands once the plan has run.
struct RulePick {
  int32_t target = -1;
  int32_t child = -1;
};

struct RulePlan {
  Array<RuleStep> steps;
  // Run when a step after the first fails: removes what the first step added.
  bool hasUndo = false;
  RuleStep undo;
  // The undo is run again until the program refuses it: an import takes
  // out every target it added, whatever step failed.
  bool undoRepeats = false;
  // A refusal from this step on is not undone: the steps from here take out
  // what the user asked to have replaced, and everything added stays.
  size_t undoUntil = SIZE_MAX;
  RulePick pick;
  bool complete = true;  // false when memory ran out while making it: run none of it
};

// Applies one step to a list as the program would; false (and no change)
// when the step does not address a record of the list or memory runs out.
bool ApplyStep(RuleList& list, const RuleStep& step);

RulePlan AddTargetPlan(const RuleList& list, const TargetRecord& record);
RulePlan AddChildPlan(const RuleList& list, int32_t target, const TargetRecord& record);
// A new target for an MDI frame together with its first child rule.
RulePlan AddTargetWithChildPlan(const RuleList& list, const TargetRecord& target, const TargetRecord& child);
RulePlan EditPlan(int32_t index, int32_t parent, const TargetRecord& record);
RulePlan DeletePlan(const RuleList& list, int32_t index, int32_t parent);
// The copy goes right after the original; its name gets suffix when that fits.
RulePlan CopyPlan(const RuleList& list, int32_t index, int32_t parent, const char* suffix, const LeadByteTable& leads);
// Moves a record one place up (-1) or down (+1); an empty plan when it
// cannot move that way.
RulePlan MovePlan(const RuleList& list, int32_t index, int32_t parent, int direction);

// The targets of a file (with their children) after the list's own, and
// with replace the list's own targets deleted once all of them are in.
RulePlan ImportPlan(const RuleList& list, const Array<TargetRules>& rules, bool replace);

// Appends suffix to a name that is not empty, when the whole suffix fits
// the name field; otherwise the name stays as it is.
void AppendToName(TargetRecord& record, const char* suffix, const LeadByteTable& leads);
