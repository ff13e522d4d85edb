#pragma once
// The settings window's only way to the rule list and the settings: the
// program's messages WM_USER+0 ... WM_USER+5 to its main window, each sent
// with a bounded time-out so that the window never hangs on the program
// (at shutdown the program waits for this window's thread and answers
// nothing). A time-out leaves it unknown whether the change was made; the
// channel then refuses every further exchange until the program has
// answered a harmless message, which it can only do after the late one.
#include <windows.h>

#include "settings/window/RulePlan.h"
#include "shared/SharedBlock.h"

constexpr DWORD kProtocolTimeoutMs = 3000;

enum class Sent {
  kDone,      // the program answered and did it
  kRefused,   // the program answered that it could not
  kNoAnswer,  // no answer in time: done or not, nobody knows yet
};

class RuleChannel {
 public:
  explicit RuleChannel(SharedBlock& block, DWORD timeoutMs = kProtocolTimeoutMs);

  // Whether the program's main window is there to talk to.
  bool HasProgram() const;

  Sent Step(const RuleStep& step);
  Sent ReadList(RuleList& list);
  // Takes settings into force: pendingSettings, then WM_USER+5.
  Sent ApplySettings(const SettingsRecord& settings);

  // True while an earlier exchange is still without an answer.
  bool Unsettled() const { return unsettled_; }
  // Waits (bounded) for the program to catch up; true when it has.
  bool Settle() { return Settle(timeoutMs_); }
  bool Settle(DWORD timeoutMs);

  // Commands and the help request go by post: the window never waits for them.
  void PostCommand(WORD command) const;
  void RequestHelp(uint32_t topic) const;

 private:
  Sent Send(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  Sent GetRecord(int32_t index, int32_t parent, TargetRecord& record);

  SharedBlock& block_;
  DWORD timeoutMs_;
  bool unsettled_ = false;
};

// Runs a plan step by step, keeping the window's copy of the list in step
// with the program's. On a refusal after the first step the plan's undo
// runs, so the list is as before.
Sent RunPlan(RuleChannel& channel, const RulePlan& plan, RuleList& list);
