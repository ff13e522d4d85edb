#include "settings/SettingsModel.h"

#include <cstring>

TargetRecord DefaultRule() {
  TargetRecord record;
  std::memset(&record, 0, sizeof record);
  record.enabled = 1;
  record.applyOnce = 1;
  return record;
}

LeadTable ShiftJisLeads() {
  LeadTable table;
  for (int b = 0x81; b <= 0x9F; ++b) table.lead[b] = true;
  for (int b = 0xE0; b <= 0xFC; ++b) table.lead[b] = true;
  return table;
}

bool AddTarget(SettingsModel& model, const TargetRecord& record) {
  TargetRules rules;
  rules.record = record;
  return model.targets.Append(static_cast<TargetRules&&>(rules));
}

bool AddChild(TargetRules& target, const TargetRecord& record) { return target.children.Append(record); }
