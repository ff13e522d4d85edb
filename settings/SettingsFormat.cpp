#include "settings/SettingsFormat.h"

#include <cstring>
#include <string_view>

namespace {

std::string_view BoundedString(const char* field, size_t size) {
  const void* nul = std::memchr(field, 0, size);
  return std::string_view(field, nul ? static_cast<const char*>(nul) - field : size);
}

void AppendKey(std::string& out, const char* key) {
  out += key;
  out += '=';
}

void AppendFlag(std::string& out, const char* key, uint8_t flag) {
  AppendKey(out, key);
  out += flag ? "yes" : "no";
  out += "\r\n";
}

void AppendMatch(std::string& out, const char* key, uint8_t mode, const char* pattern, const Charset& charset) {
  AppendKey(out, key);
  out += MatchWord(mode);
  out += ' ';
  AppendQuoted(out, BoundedString(pattern, kMaxPatternBytes), charset);
  out += "\r\n";
}

// The value is left out where the mode ignores it and it is 0.
void AppendSize(std::string& out, const char* key, const SizeSpec& spec) {
  AppendKey(out, key);
  const uint8_t mode = spec.mode <= kSizePercent ? spec.mode : uint8_t{kSizeKeep};
  out += SizeModeWord(mode);
  if (mode != kSizeKeep || spec.value != 0) {
    out += ' ';
    AppendNumber(out, spec.value);
  }
  out += "\r\n";
}

void AppendPosition(std::string& out, const char* key, const PositionSpec& spec) {
  AppendKey(out, key);
  const bool known = spec.anchor <= kAnchorFar && spec.offsetKind <= kOffsetPercent;
  const uint8_t anchor = known ? spec.anchor : uint8_t{kAnchorKeep};
  const uint8_t kind = known ? spec.offsetKind : uint8_t{kOffsetFlush};
  const int32_t value = known ? spec.value : 0;
  out += AnchorWord(anchor);
  if (anchor != kAnchorKeep || kind != kOffsetFlush || value != 0) {
    out += ' ';
    out += OffsetKindWord(kind);
    if (kind != kOffsetFlush || value != 0) {
      out += ' ';
      AppendNumber(out, value);
    }
  }
  out += "\r\n";
}

void AppendSectionHeader(std::string& out, const std::string& name) {
  out += "\r\n[";
  out += name;
  out += "]\r\n";
}

}  // namespace

std::string TargetSectionName(size_t targetIndex) { return std::to_string(targetIndex + 1); }

std::string ChildSectionName(size_t targetIndex, size_t childIndex) {
  return TargetSectionName(targetIndex) + "." + std::to_string(childIndex + 1);
}

void AppendRuleKeys(std::string& out, const TargetRecord& record, const Charset& charset) {
  AppendKey(out, "Name");
  AppendQuoted(out, BoundedString(RuleName(record), kMaxNameBytes), charset);
  out += "\r\n";
  AppendFlag(out, "Enabled", record.enabled);
  AppendFlag(out, "Once", record.applyOnce);
  AppendMatch(out, "Class", record.classMatch, record.classPattern, charset);
  AppendMatch(out, "Title", record.titleMatch, record.titlePattern, charset);
  AppendKey(out, "Size");
  out += SizeActionWord(record.sizeAction);
  out += "\r\n";
  AppendSize(out, "Width", record.widthSpec);
  AppendSize(out, "Height", record.heightSpec);
  AppendKey(out, "Position");
  out += PositionActionWord(record.positionAction);
  out += "\r\n";
  AppendPosition(out, "X", record.xSpec);
  AppendPosition(out, "Y", record.ySpec);
  AppendFlag(out, "Activate", record.activate);
  AppendFlag(out, "Close", record.close);
}

std::string FormatSettingsFile(const SettingsModel& model, const Charset& charset) {
  size_t rules = model.targets.size();
  for (const TargetRules& target : model.targets) rules += target.children.size();
  std::string out;
  out.reserve(512 + rules * 400);

  out += "; Plenara settings (code page 932). The help's page on the settings file describes every key.\r\n";
  AppendSectionHeader(out, kSettingsSection);
  AppendKey(out, "Version");
  AppendNumber(out, kFormatVersion);
  out += "\r\n";
  AppendKey(out, "Monitoring");
  out += model.general.monitoringEnabled ? "on" : "off";
  out += "\r\n";
  AppendKey(out, "Interval");
  AppendNumber(out, model.general.monitorInterval);
  out += "\r\n";
  AppendFlag(out, "ReapplyOnWorkAreaChange", model.general.reapplyOnWorkAreaChange);
  AppendFlag(out, "OpenSettingsAtStart", model.general.openSettingsAtStart);

  for (size_t t = 0; t < model.targets.size(); ++t) {
    const TargetRules& target = model.targets[t];
    AppendSectionHeader(out, TargetSectionName(t));
    AppendRuleKeys(out, target.record, charset);
    for (size_t c = 0; c < target.children.size(); ++c) {
      AppendSectionHeader(out, ChildSectionName(t, c));
      AppendRuleKeys(out, target.children[c], charset);
    }
  }
  return out;
}
