#include "settings/SettingsFormat.h"

#include <cstring>

namespace {

TextView BoundedString(const char* field, size_t size) {
  const void* nul = std::memchr(field, 0, size);
  return TextView(field, nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : size);
}

int32_t Clamp(int32_t value, int32_t low, int32_t high) { return value < low ? low : value > high ? high : value; }

// Values are written within the ranges that reading accepts, so that a
// saved file always reads back as written.
int32_t ClampValue(int32_t value, bool percent) {
  return percent ? Clamp(value, kMinPercent, kMaxPercent) : Clamp(value, kMinPixels, kMaxPixels);
}

void AppendKey(TextBuffer& out, const char* key) {
  out.Append(key);
  out.Append('=');
}

void AppendLine(TextBuffer& out, const char* key, const char* word) {
  AppendKey(out, key);
  out.Append(word);
  out.Append("\r\n");
}

void AppendFlag(TextBuffer& out, const char* key, uint8_t flag) { AppendLine(out, key, flag ? "yes" : "no"); }

void AppendMatch(TextBuffer& out, const char* key, uint8_t mode, const char* pattern, const Charset& charset) {
  AppendKey(out, key);
  out.Append(MatchWord(mode));
  out.Append(' ');
  AppendQuoted(out, BoundedString(pattern, kMaxPatternBytes), charset);
  out.Append("\r\n");
}

// The value is left out where the mode ignores it and it is 0.
void AppendSize(TextBuffer& out, const char* key, const SizeSpec& spec) {
  AppendKey(out, key);
  const uint8_t mode = spec.mode <= kSizePercent ? spec.mode : uint8_t{kSizeKeep};
  const int32_t value = ClampValue(spec.value, mode == kSizePercent);
  out.Append(SizeModeWord(mode));
  if (mode != kSizeKeep || value != 0) {
    out.Append(' ');
    out.AppendNumber(value);
  }
  out.Append("\r\n");
}

void AppendPosition(TextBuffer& out, const char* key, const PositionSpec& spec) {
  AppendKey(out, key);
  const bool known = spec.anchor <= kAnchorFar && spec.offsetKind <= kOffsetPercent;
  const uint8_t anchor = known ? spec.anchor : uint8_t{kAnchorKeep};
  const uint8_t kind = known ? spec.offsetKind : uint8_t{kOffsetFlush};
  const int32_t value = known ? ClampValue(spec.value, kind == kOffsetPercent) : 0;
  out.Append(AnchorWord(anchor));
  if (anchor != kAnchorKeep || kind != kOffsetFlush || value != 0) {
    out.Append(' ');
    out.Append(OffsetKindWord(kind));
    if (kind != kOffsetFlush || value != 0) {
      out.Append(' ');
      out.AppendNumber(value);
    }
  }
  out.Append("\r\n");
}

void AppendSectionHeader(TextBuffer& out, size_t target, size_t child) {
  out.Append("\r\n[");
  out.AppendNumber(static_cast<int64_t>(target + 1));
  if (child != kNoPos) {
    out.Append('.');
    out.AppendNumber(static_cast<int64_t>(child + 1));
  }
  out.Append("]\r\n");
}

}  // namespace

void AppendRuleKeys(TextBuffer& out, const TargetRecord& record, const Charset& charset) {
  AppendKey(out, "Name");
  AppendQuoted(out, BoundedString(RuleName(record), kMaxNameBytes), charset);
  out.Append("\r\n");
  AppendFlag(out, "Enabled", record.enabled);
  AppendFlag(out, "Once", record.applyOnce);
  AppendMatch(out, "Class", record.classMatch, record.classPattern, charset);
  AppendMatch(out, "Title", record.titleMatch, record.titlePattern, charset);
  AppendLine(out, "Size", SizeActionWord(record.sizeAction));
  AppendSize(out, "Width", record.widthSpec);
  AppendSize(out, "Height", record.heightSpec);
  AppendLine(out, "Position", PositionActionWord(record.positionAction));
  AppendPosition(out, "X", record.xSpec);
  AppendPosition(out, "Y", record.ySpec);
  AppendFlag(out, "Activate", record.activate);
  AppendFlag(out, "Close", record.close);
}

bool FormatSettingsFile(const SettingsModel& model, const Charset& charset, TextBuffer& out) {
  size_t rules = model.targets.Size();
  for (const TargetRules& target : model.targets) rules += target.children.Size();
  out.Clear();
  out.Reserve(512 + rules * 400);

  out.Append("; Plenara settings (code page 932). The help's page on the settings file describes every key.\r\n");
  out.Append("\r\n[");
  out.Append(kSettingsSection);
  out.Append("]\r\n");
  AppendKey(out, "Version");
  out.AppendNumber(kFormatVersion);
  out.Append("\r\n");
  AppendLine(out, "Monitoring", model.general.monitoringEnabled ? "on" : "off");
  AppendKey(out, "Interval");
  out.AppendNumber(Clamp(model.general.monitorInterval, kMinInterval, kMaxInterval));
  out.Append("\r\n");
  AppendFlag(out, "ReapplyOnWorkAreaChange", model.general.reapplyOnWorkAreaChange);
  AppendFlag(out, "OpenSettingsAtStart", model.general.openSettingsAtStart);

  for (size_t t = 0; t < model.targets.Size(); ++t) {
    const TargetRules& target = model.targets[t];
    AppendSectionHeader(out, t, kNoPos);
    AppendRuleKeys(out, target.record, charset);
    for (size_t c = 0; c < target.children.Size(); ++c) {
      AppendSectionHeader(out, t, c);
      AppendRuleKeys(out, target.children[c], charset);
    }
  }
  return out.Ok();
}
