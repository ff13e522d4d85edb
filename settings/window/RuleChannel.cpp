#include "settings/window/RuleChannel.h"

#include "app/Commands.h"

RuleChannel::RuleChannel(SharedBlock& block, DWORD timeoutMs) : block_(block), timeoutMs_(timeoutMs) {}

bool RuleChannel::HasProgram() const { return block_.mainWindow && IsWindow(HandleOf(block_.mainWindow)); }

bool RuleChannel::Settle(DWORD timeoutMs) {
  if (!unsettled_) return true;
  DWORD_PTR result = 0;
  if (SendMessageTimeoutA(HandleOf(block_.mainWindow), WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, timeoutMs,
                          &result)) {
    unsettled_ = false;
  }
  return !unsettled_;
}

Sent RuleChannel::Send(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(HandleOf(block_.mainWindow), message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                           timeoutMs_, &answer)) {
    unsettled_ = true;
    return Sent::kNoAnswer;
  }
  result = static_cast<LRESULT>(answer);
  return Sent::kDone;
}

Sent RuleChannel::GetRecord(int32_t index, int32_t parent, TargetRecord& record) {
  LRESULT result = 0;
  const Sent sent = Send(kMsgGetRecord, static_cast<WPARAM>(index), static_cast<LPARAM>(parent), result);
  if (sent != Sent::kDone) return sent;
  if (result != 0) return Sent::kRefused;
  record = block_.transferRecord;
  return Sent::kDone;
}

Sent RuleChannel::Step(const RuleStep& step) {
  if (!HasProgram()) return Sent::kRefused;
  // transferRecord is written only once no earlier exchange can still be
  // running in the program and reading or writing it.
  if (!Settle()) return Sent::kNoAnswer;
  UINT message = kMsgDeleteRecord;
  if (step.kind != RuleStep::kDelete) {
    block_.transferRecord = step.record;
    message = step.kind == RuleStep::kInsert ? kMsgInsertRecord : kMsgSetRecord;
  }
  LRESULT result = 0;
  const Sent sent = Send(message, static_cast<WPARAM>(step.index), static_cast<LPARAM>(step.parent), result);
  if (sent != Sent::kDone) return sent;
  return result == 0 ? Sent::kDone : Sent::kRefused;
}

Sent RuleChannel::ReadList(RuleList& list) {
  if (!HasProgram()) return Sent::kRefused;
  if (!Settle()) return Sent::kNoAnswer;
  RuleList read;
  const int32_t count = block_.NumOfTargets;
  for (int32_t i = 0; i < count; ++i) {
    TargetRules target;
    Sent sent = GetRecord(i, kNoParent, target.record);
    if (sent != Sent::kDone) return sent;
    LRESULT children = 0;
    sent = Send(kMsgGetChildCount, static_cast<WPARAM>(i), 0, children);
    if (sent != Sent::kDone) return sent;
    for (int32_t k = 0; k < static_cast<int32_t>(children); ++k) {
      TargetRecord child{};
      sent = GetRecord(k, i, child);
      if (sent != Sent::kDone) return sent;
      if (!target.children.Append(child)) return Sent::kRefused;
    }
    if (!read.Append(std::move(target))) return Sent::kRefused;
  }
  list = std::move(read);
  return Sent::kDone;
}

Sent RuleChannel::ApplySettings(const SettingsRecord& settings) {
  if (!HasProgram()) return Sent::kRefused;
  if (!Settle()) return Sent::kNoAnswer;
  block_.pendingSettings = settings;
  LRESULT result = 0;
  return Send(kMsgApplySettings, 0, 0, result);
}

void RuleChannel::PostCommand(WORD command) const {
  if (HasProgram()) PostMessageA(HandleOf(block_.mainWindow), WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

void RuleChannel::RequestHelp(uint32_t topic) const {
  if (HasProgram()) PostMessageA(HandleOf(block_.mainWindow), kMsgHelpRequest, kHelpRequestContext, topic);
}

namespace {

Sent RunSteps(RuleChannel& channel, const RulePlan& plan, RuleList& list, bool& stale) {
  for (size_t k = 0; k < plan.steps.Size(); ++k) {
    const Sent sent = channel.Step(plan.steps[k]);
    if (sent == Sent::kDone) {
      if (!ApplyStep(list, plan.steps[k])) stale = true;
      continue;
    }
    if (sent == Sent::kRefused && k > 0 && k < plan.undoUntil && plan.hasUndo) {
      do {
        const Sent undone = channel.Step(plan.undo);
        // A repeated undo ends when nothing it would take out is left.
        if (undone == Sent::kRefused && plan.undoRepeats) break;
        // The list is not what the window thinks: read it again.
        if (undone != Sent::kDone) return Sent::kNoAnswer;
        if (!ApplyStep(list, plan.undo)) stale = true;
      } while (plan.undoRepeats);
    }
    return sent;
  }
  return Sent::kDone;
}

}  // namespace

Sent RunPlan(RuleChannel& channel, const RulePlan& plan, RuleList& list) {
  if (!plan.complete) return Sent::kRefused;
  bool stale = false;
  const Sent sent = RunSteps(channel, plan, list, stale);
  // The window's copy could not follow (memory ran out): the program's list is the truth.
  if (stale) channel.ReadList(list);
  return sent;
}
