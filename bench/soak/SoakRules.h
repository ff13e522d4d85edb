#pragma once
// The soak's rules: every match mode, once-only and every-scan, top-level
// and MDI child rules, every action, written against the windows of
// soak-windows.exe; some match nothing, some are switched off.
#include <vector>

#include "shared/TargetRecord.h"

constexpr int kSoakRuleKinds = 20;

struct SoakRule {
  TargetRecord record;
  std::vector<TargetRecord> children;
};

// Rule of kind (0 .. kSoakRuleKinds-1), named after serial.
SoakRule MakeSoakRule(int kind, int serial, const wchar_t* namePrefix);

// A child rule of kind (0 .. 3), named after serial.
TargetRecord MakeSoakChild(int kind, int serial);
