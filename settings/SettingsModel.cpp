#include "settings/SettingsModel.h"

#include <cstring>

TargetRecord DefaultRule() {
  TargetRecord record;
  std::memset(&record, 0, sizeof record);
  record.enabled = 1;
  record.applyOnce = 1;
  return record;
}

bool AddTarget(SettingsModel& model, const TargetRecord& record) {
  TargetRules rules;
  rules.record = record;
  return model.targets.Append(static_cast<TargetRules&&>(rules));
}

bool AddChild(TargetRules& target, const TargetRecord& record) { return target.children.Append(record); }
