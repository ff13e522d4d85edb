#pragma once
// The rule editor: every field of one rule, checked as it is typed.
#include <windows.h>

#include "settings/window/RuleChannel.h"
#include "settings/window/RulePlan.h"

struct RuleEditorRequest {
  const RuleChannel* channel = nullptr;  // for help requests
  const RuleList* list = nullptr;        // the targets, for the window finder
  bool child = false;                    // a child rule of target `parent`
  bool adding = false;
  int32_t parent = kNoParent;
  TargetRecord record{};
};

// Where a new rule goes. The window finder can turn a new target into a
// child rule, of a target that matches the MDI frame or of a new one.
enum class Placement { kAsAsked, kChildOfTarget, kChildOfNewTarget };

struct RuleEditorResult {
  TargetRecord record{};
  Placement placement = Placement::kAsAsked;
  int32_t parent = kNoParent;    // kChildOfTarget
  TargetRecord newParent{};      // kChildOfNewTarget
};

// Shows the editor as a modal window of owner. True when the user
// confirmed it; false when cancelled or when owner was destroyed meanwhile.
bool EditRule(HWND owner, const RuleEditorRequest& request, RuleEditorResult& result);
