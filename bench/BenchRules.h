#pragma once
// The rule lists the scan benchmark runs with, written against the window mix
// of BenchWindows.h.
#include <vector>

#include "shared/TargetRecord.h"

enum class RuleVariant {
  // Once-only rules of every match mode, most naming windows that are not
  // there, some matching a kind of the mix, the last matching every window:
  // after the first scan every window is handled and no rule acts again.
  kHandled,
  // The same, but the first tenth of the rules (at least one) act at every
  // scan, with no action, on the tenth of the windows of one kind: they are
  // matched and marked again at every scan and never moved.
  kEveryScan,
};

std::vector<TargetRecord> BenchRules(int count, RuleVariant variant);

// Once-only rules with a size and a place, of several match modes, none of
// which matches a window of the mix: the idle run's rule list.
std::vector<TargetRecord> UnmatchedRules(int count);

// The once-only rule of the latency run: windows of class PlenaraBenchLate
// go to (kLateX, kLateY) with size kLateWidth x kLateHeight.
TargetRecord LateRule();
