#pragma once
// What the settings file holds, apart from any Windows type: the general
// settings, and the targets with their child rules in list order.
#include <cstddef>
#include <cstdint>

#include "monitor/LeadBytes.h"
#include "settings/Text.h"
#include "shared/TargetRecord.h"

constexpr int32_t kDefaultInterval = 500;
constexpr int32_t kMinInterval = 50;
constexpr int32_t kMaxInterval = 3600000;  // one hour

// Values in pixels and in percent are clamped to these ranges on reading:
// wide enough for any desktop, narrow enough that the placement arithmetic
// never overflows.
constexpr int32_t kMinPixels = -100000;
constexpr int32_t kMaxPixels = 100000;
constexpr int32_t kMinPercent = -1000;
constexpr int32_t kMaxPercent = 1000;

constexpr size_t kMaxPatternBytes = kPatternSize - 1;  // 128
constexpr size_t kMaxNameBytes = kRuleNameSize - 1;    // 131
constexpr size_t kRuleNameOffset = offsetof(TargetRecord, reserved260);
static_assert(kRuleNameOffset == 260);

struct GeneralSettings {
  int32_t monitorInterval = kDefaultInterval;
  uint8_t reapplyOnWorkAreaChange = 1;
  uint8_t openSettingsAtStart = 0;  // the user's preference, not this start's request
  uint8_t monitoringEnabled = 1;    // the state at the last exit
};

struct TargetRules {
  TargetRecord record;
  Array<TargetRecord> children;
};

struct SettingsModel {
  GeneralSettings general;
  Array<TargetRules> targets;
};

// Appends a target (with no children) or a child of the last target;
// false when memory runs out.
bool AddTarget(SettingsModel& model, const TargetRecord& record);
bool AddChild(TargetRules& target, const TargetRecord& record);

// A rule as a new section without keys would make it: enabled, once only,
// matching anything and doing nothing.
TargetRecord DefaultRule();

// The rule's display name lives in the record's reserved bytes at 260.
inline char* RuleName(TargetRecord& record) { return record.reserved260; }
inline const char* RuleName(const TargetRecord& record) { return record.reserved260; }
