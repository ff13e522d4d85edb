#include "settings/window/RulePlan.h"

#include <cstring>

namespace {

bool InRange(int32_t index, size_t count) { return index >= 0 && static_cast<size_t>(index) < count; }

RuleStep Insert(int32_t index, int32_t parent, const TargetRecord& record) {
  RuleStep step;
  step.kind = RuleStep::kInsert;
  step.index = index;
  step.parent = parent;
  step.record = record;
  return step;
}

void Push(RulePlan& plan, const RuleStep& step) {
  if (!plan.steps.Append(step)) plan.complete = false;
}

void SetUndo(RulePlan& plan, const RuleStep& step) {
  plan.hasUndo = true;
  plan.undo = step;
}

RuleStep Delete(int32_t index, int32_t parent) {
  RuleStep step;
  step.kind = RuleStep::kDelete;
  step.index = index;
  step.parent = parent;
  return step;
}

// Whether the last byte of text is a lead byte with nothing after it.
bool EndsInLeadByte(const char* text, size_t length, const LeadByteTable& leads) {
  size_t i = 0;
  while (i < length) {
    if (IsLeadByte(leads, static_cast<uint8_t>(text[i]))) {
      if (i + 1 == length) return true;
      i += 2;
    } else {
      ++i;
    }
  }
  return false;
}

bool Addresses(const RuleList& list, int32_t index, int32_t parent) {
  if (parent < 0) return InRange(index, list.Size());
  return InRange(parent, list.Size()) && InRange(index, list[parent].children.Size());
}

const TargetRecord& RecordAt(const RuleList& list, int32_t index, int32_t parent) {
  return parent < 0 ? list[index].record : list[parent].children[index];
}

}  // namespace

bool ApplyStep(RuleList& list, const RuleStep& step) {
  if (step.parent >= 0 && !InRange(step.parent, list.Size())) return false;
  if (step.kind == RuleStep::kInsert) {
    if (step.parent < 0) {
      if (step.index < 0 || static_cast<size_t>(step.index) > list.Size()) return false;
      TargetRules target;
      target.record = step.record;
      return list.Insert(static_cast<size_t>(step.index), std::move(target));
    } else {
      auto& children = list[step.parent].children;
      if (step.index < 0 || static_cast<size_t>(step.index) > children.Size()) return false;
      return children.Insert(static_cast<size_t>(step.index), step.record);
    }
  }
  if (!Addresses(list, step.index, step.parent)) return false;
  if (step.kind == RuleStep::kDelete) {
    if (step.parent < 0) {
      list.Erase(static_cast<size_t>(step.index));
    } else {
      auto& children = list[step.parent].children;
      children.Erase(static_cast<size_t>(step.index));
    }
    return true;
  }
  if (step.parent < 0) {
    list[step.index].record = step.record;  // its children stay
  } else {
    list[step.parent].children[step.index] = step.record;
  }
  return true;
}

RulePlan AddTargetPlan(const RuleList& list, const TargetRecord& record) {
  RulePlan plan;
  const int32_t at = static_cast<int32_t>(list.Size());
  Push(plan, Insert(at, kNoParent, record));
  plan.pick = {at, -1};
  return plan;
}

RulePlan AddChildPlan(const RuleList& list, int32_t target, const TargetRecord& record) {
  RulePlan plan;
  if (!InRange(target, list.Size())) return plan;
  const int32_t at = static_cast<int32_t>(list[target].children.Size());
  Push(plan, Insert(at, target, record));
  plan.pick = {target, at};
  return plan;
}

RulePlan AddTargetWithChildPlan(const RuleList& list, const TargetRecord& target, const TargetRecord& child) {
  RulePlan plan;
  const int32_t at = static_cast<int32_t>(list.Size());
  Push(plan, Insert(at, kNoParent, target));
  Push(plan, Insert(0, at, child));
  SetUndo(plan, Delete(at, kNoParent));
  plan.pick = {at, 0};
  return plan;
}

RulePlan EditPlan(int32_t index, int32_t parent, const TargetRecord& record) {
  RulePlan plan;
  RuleStep step;
  step.kind = RuleStep::kSet;
  step.index = index;
  step.parent = parent;
  step.record = record;
  Push(plan, step);
  plan.pick = parent < 0 ? RulePick{index, -1} : RulePick{parent, index};
  return plan;
}

RulePlan DeletePlan(const RuleList& list, int32_t index, int32_t parent) {
  RulePlan plan;
  if (!Addresses(list, index, parent)) return plan;
  Push(plan, Delete(index, parent));
  if (parent < 0) {
    const int32_t left = static_cast<int32_t>(list.Size()) - 1;
    plan.pick = {index < left ? index : left - 1, -1};
  } else {
    const int32_t left = static_cast<int32_t>(list[parent].children.Size()) - 1;
    plan.pick = {parent, index < left ? index : left - 1};
  }
  return plan;
}

RulePlan CopyPlan(const RuleList& list, int32_t index, int32_t parent, const char* suffix, const LeadByteTable& leads) {
  RulePlan plan;
  if (!Addresses(list, index, parent)) return plan;
  TargetRecord copy = RecordAt(list, index, parent);
  AppendToName(copy, suffix, leads);
  const int32_t at = index + 1;
  Push(plan, Insert(at, parent, copy));
  if (parent < 0) {
    const auto& children = list[index].children;
    for (size_t k = 0; k < children.Size(); ++k) Push(plan, Insert(static_cast<int32_t>(k), at, children[k]));
    if (!children.Empty()) SetUndo(plan, Delete(at, kNoParent));
    plan.pick = {at, -1};
  } else {
    plan.pick = {parent, at};
  }
  return plan;
}

RulePlan MovePlan(const RuleList& list, int32_t index, int32_t parent, int direction) {
  RulePlan plan;
  if (!Addresses(list, index, parent) || (direction != -1 && direction != 1)) return plan;
  const size_t count = parent < 0 ? list.Size() : list[parent].children.Size();
  const int32_t to = index + direction;
  if (!InRange(to, count)) return plan;
  // The copy goes in first: above the record when moving up, below its
  // neighbour when moving down. Then the original, shifted or not, goes.
  const int32_t insertAt = direction < 0 ? to : index + 2;
  const int32_t oldAt = direction < 0 ? index + 1 : index;
  Push(plan, Insert(insertAt, parent, RecordAt(list, index, parent)));
  if (parent < 0) {
    const auto& children = list[index].children;
    for (size_t k = 0; k < children.Size(); ++k) {
      Push(plan, Insert(static_cast<int32_t>(k), insertAt, children[k]));
    }
  }
  Push(plan, Delete(oldAt, parent));
  SetUndo(plan, Delete(insertAt, parent));
  plan.pick = parent < 0 ? RulePick{to, -1} : RulePick{parent, to};
  return plan;
}

RulePlan ImportPlan(const RuleList& list, const Array<TargetRules>& rules, bool replace) {
  RulePlan plan;
  if (rules.Empty()) return plan;
  const int32_t count = static_cast<int32_t>(list.Size());
  for (size_t i = 0; i < rules.Size(); ++i) {
    const int32_t at = count + static_cast<int32_t>(i);
    Push(plan, Insert(at, kNoParent, rules[i].record));
    const auto& children = rules[i].children;
    for (size_t k = 0; k < children.Size(); ++k) Push(plan, Insert(static_cast<int32_t>(k), at, children[k]));
  }
  SetUndo(plan, Delete(count, kNoParent));
  plan.undoRepeats = true;
  plan.undoUntil = plan.steps.Size();
  if (replace) {
    for (int32_t i = 0; i < count; ++i) Push(plan, Delete(0, kNoParent));
  }
  plan.pick = {replace ? 0 : count, -1};
  return plan;
}

void AppendToName(TargetRecord& record, const char* suffix, const LeadByteTable& leads) {
  char* name = RuleName(record);
  const size_t length = strnlen(name, kRuleNameSize);
  if (length == 0 || length >= kRuleNameSize || !suffix) return;
  const size_t extra = std::strlen(suffix);
  if (length + extra > kMaxNameBytes) return;
  // A name that ends in half a double-byte character would swallow the
  // suffix's first byte; such a name is left alone.
  if (EndsInLeadByte(name, length, leads)) return;
  std::memcpy(name + length, suffix, extra);
  name[length + extra] = '\0';
}
