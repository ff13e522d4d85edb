#include "monitor/Apply.h"

#include "monitor/Closing.h"
#include "monitor/Eligibility.h"
#include "monitor/Foreground.h"
#include "monitor/MatchText.h"
#include "monitor/Monitor.h"
#include "monitor/SystemLeadBytes.h"
#include "monitor/WindowState.h"
#include "monitor/WorkArea.h"

namespace {

enum class Reach : uint8_t { kUnknown, kYes, kNo };

// Moves and raisings are queued for the window's thread and every message is
// sent with a bound, so no window holds up a pass for long; still, before the
// first action on a window in a pass its thread is asked whether it answers
// at all, so that a hung window costs one bounded wait, not one per action. Asked only where an action is
// due, so a pass with nothing to do costs no extra call; the answer holds
// for the rest of the pass unless a later call on that thread times out.
bool Reachable(HWND window, Reach& reach, PassState& pass) {
  if (reach == Reach::kUnknown) {
    reach = WindowAnswers(window, pass) ? Reach::kYes : Reach::kNo;
  } else if (reach == Reach::kYes && KnownHung(window, pass)) {
    reach = Reach::kNo;
  }
  return reach == Reach::kYes;
}

bool Moves(const TargetRecord& record) { return record.sizeAction != kSizeNone || record.positionAction != kPositionNone; }

bool Eligible(uint8_t handled, const TargetRecord& record) {
  return IsEligible(handled, record, WorkAreaChanged(), Block()->activeSettings.reapplyOnWorkAreaChange);
}

void ReadClassName(HWND window, char* name) {
  if (GetClassNameA(window, name, kWindowTextSize) <= 0) name[0] = '\0';
}

// One eligible target on a top-level window. False when the window did not
// answer: it is left alone, and not marked, until the next pass.
bool ActOnWindow(HWND window, Box& box, TrackedWindow& entry, const TargetRecord& record, Reach& reach,
                 PassState& pass) {
  if (!IsZoomed(window)) {
    if (Moves(record) && !Reachable(window, reach, pass)) return false;
    PlaceWindow(window, WorkArea(), box, record);
    if (record.sizeAction == kSizeMaximize) {
      SendWithinTimeout(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0, pass);
    } else if (record.sizeAction == kSizeMinimize) {
      SendWithinTimeout(window, WM_SYSCOMMAND, SC_MINIMIZE, 0, pass);
    }
    entry.handled = 1;
  }
  if (record.activate) {
    if (!Reachable(window, reach, pass)) return false;
    ForceForeground(window, true);
    entry.handled = 1;
  }
  if (record.close) {
    if (!Reachable(window, reach, pass)) return false;
    SendClose(window);
    entry.handled = 1;
  }
  return true;
}

// One eligible child rule on an MDI child; the MDI messages go to its client.
bool ActOnChild(HWND child, HWND mdiClient, const Box& clientBox, Box& box, TrackedChild& entry,
                const TargetRecord& rule, Reach& reach, PassState& pass) {
  const WPARAM childParam = reinterpret_cast<WPARAM>(child);
  if (!IsZoomed(child)) {
    if (Moves(rule) && !Reachable(child, reach, pass)) return false;
    PlaceWindow(child, clientBox, box, rule);
    if (rule.sizeAction == kSizeMaximize) {
      SendWithinTimeout(mdiClient, WM_MDIMAXIMIZE, childParam, 0, pass);
    } else if (rule.sizeAction == kSizeMinimize) {
      SendWithinTimeout(child, WM_SYSCOMMAND, SC_MINIMIZE, 0, pass);
    }
    entry.handled = 1;
  }
  if (rule.activate) {
    if (!Reachable(child, reach, pass)) return false;
    SendWithinTimeout(mdiClient, WM_MDIACTIVATE, childParam, 0, pass);
    entry.handled = 1;
  }
  if (rule.close) {
    if (!Reachable(child, reach, pass)) return false;
    SendWithinTimeout(mdiClient, WM_MDIDESTROY, childParam, 0, pass);
    entry.handled = 1;
  }
  return true;
}

}  // namespace

void PlaceWindow(HWND window, const Box& reference, Box& box, const TargetRecord& record) {
  if (!Moves(record)) return;
  box = ComputePlacement(reference, box, record);
  // MoveWindow with repainting, but queued for the window's own thread: a
  // window that stops answering just after the probe, or one of the main
  // thread while that thread waits for the monitor to stop, cannot hold up
  // the pass.
  SetWindowPos(window, nullptr, box.x, box.y, box.width, box.height,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

void ApplyChildTargets(HWND mdiClient, const Box& clientBox, TrackedWindow& entry, const TargetEntry& target,
                       PassState& pass) {
  const TargetRecord* rules = ChildrenOf(&target);
  // Without child rules there is nothing to test, so nothing is read.
  if (target.NumOfChildren <= 0 || !rules) return;
  TrackedChild* children = PointerOf<TrackedChild>(entry.children);
  char className[kWindowTextSize];
  char title[kWindowTextSize];
  for (int32_t k = 0; k < entry.childCount; ++k) {
    TrackedChild& child = children[k];
    const HWND window = HandleOf(child.hwnd);
    if (!IsWindowShown(window)) continue;
    ReadClassName(window, className);
    ReadWindowTitle(window, title, kWindowTextSize);
    Box box = ScreenToClientBox(mdiClient, GetWindowBox(window));
    Reach reach = Reach::kUnknown;
    for (int32_t r = 0; r < target.NumOfChildren; ++r) {
      const TargetRecord& rule = rules[r];
      if (!MatchTarget(className, title, rule, SystemLeadBytes()) || !Eligible(child.handled, rule)) continue;
      if (!ActOnChild(window, mdiClient, clientBox, box, child, rule, reach, pass)) break;
    }
  }
}

void ApplyTargets() {
  SharedBlock* block = Block();
  TrackedWindow* list = PointerOf<TrackedWindow>(block->tracked);
  const TargetEntry* targets = TargetsOf(block);
  PassState pass = {};
  char className[kWindowTextSize];
  char title[kWindowTextSize];
  for (int32_t i = 0; i < block->trackedCount; ++i) {
    // Each window costs at most a bounded wait; a stop need not wait for them all.
    if (MonitorStopRequested()) return;
    TrackedWindow& entry = list[i];
    const HWND window = HandleOf(entry.hwnd);
    // A window still asking whether to close is in the middle of its own
    // question: it gets nothing more, its MDI children neither, until it answers.
    if (!IsWindowShown(window) || ClosePending(window)) continue;
    ReadClassName(window, className);
    ReadWindowTitle(window, title, kWindowTextSize);
    // Read once per pass and carried from rule to rule.
    Box box = GetWindowBox(window);
    const HWND mdiClient = HandleOf(entry.mdiClient);
    Box clientBox = {};
    if (entry.childCount > 0) clientBox = GetClientBox(mdiClient);
    Reach reach = Reach::kUnknown;
    for (int32_t t = 0; t < block->NumOfTargets; ++t) {
      const TargetRecord& record = targets[t].record;
      if (!MatchTarget(className, title, record, SystemLeadBytes())) continue;
      if (Eligible(entry.handled, record) && !ActOnWindow(window, box, entry, record, reach, pass)) break;
      // Also for a target that may not act itself: children that appear
      // later in a long-handled window are still placed.
      ApplyChildTargets(mdiClient, clientBox, entry, targets[t], pass);
    }
  }
}
