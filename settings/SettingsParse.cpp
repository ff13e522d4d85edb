#include "settings/SettingsParse.h"

#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "settings/SettingsFormat.h"
#include "settings/SettingsText.h"

namespace {

constexpr size_t kMaxNotes = 50;

enum RuleKey {
  kKeyName,
  kKeyEnabled,
  kKeyOnce,
  kKeyClass,
  kKeyTitle,
  kKeySize,
  kKeyWidth,
  kKeyHeight,
  kKeyPosition,
  kKeyX,
  kKeyY,
  kKeyActivate,
  kKeyClose,
  kRuleKeyCount,
};
constexpr const char* kRuleKeys[kRuleKeyCount] = {"Name",     "Enabled", "Once", "Class",    "Title",
                                                  "Size",     "Width",   "Height", "Position", "X",
                                                  "Y",        "Activate", "Close"};

enum SettingsKey {
  kKeyVersion,
  kKeyMonitoring,
  kKeyInterval,
  kKeyReapply,
  kKeyOpenAtStart,
  kSettingsKeyCount,
};
constexpr const char* kSettingsKeys[kSettingsKeyCount] = {"Version", "Monitoring", "Interval", "ReapplyOnWorkAreaChange",
                                                          "OpenSettingsAtStart"};

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

template <size_t N>
int KeyIndex(const char* const (&keys)[N], std::string_view key) {
  for (size_t i = 0; i < N; ++i) {
    if (EqualsNoCase(key, keys[i])) return static_cast<int>(i);
  }
  return -1;
}

// Calls take(key index, value) once for each known key, first occurrence
// only; notes everything else. Returns the set of keys seen, as bits.
template <size_t N, class Take>
uint32_t ForEachKey(std::string_view lines, const char* const (&keys)[N], ParseReport& report, std::string_view where,
                    Take take) {
  uint32_t seen = 0;
  size_t start = 0;
  while (start < lines.size()) {
    size_t end = lines.find('\0', start);
    if (end == std::string_view::npos) end = lines.size();
    const std::string_view line = lines.substr(start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      report.Note(where, "a line without '='");
      continue;
    }
    const std::string_view key = Trim(line.substr(0, equals));
    const int index = KeyIndex(keys, key);
    if (index < 0) {
      report.Note(where, "unknown key " + std::string(key.substr(0, 40)));
      continue;
    }
    if (seen & (1u << index)) {
      report.Note(where, "second " + std::string(key) + " ignored");
      continue;
    }
    seen |= 1u << index;
    take(index, Trim(line.substr(equals + 1)));
  }
  return seen;
}

template <size_t N>
void NoteMissing(uint32_t seen, const char* const (&keys)[N], ParseReport& report, std::string_view where) {
  for (size_t i = 0; i < N; ++i) {
    if (!(seen & (1u << i))) report.Note(where, std::string("missing ") + keys[i]);
  }
}

void StoreString(std::string_view text, char* field, size_t fieldSize, const LeadTable& leads, ParseReport& report,
                 std::string_view where, const char* what) {
  const size_t length = FitLength(text, fieldSize - 1, leads);
  if (length < text.size()) report.Note(where, std::string(what) + " cut to fit");
  std::memset(field, 0, fieldSize);
  std::memcpy(field, text.data(), length);
}

// The leading letters of a value: its word. A quote may follow at once.
std::string_view TakeLetters(std::string_view& rest) {
  rest = Trim(rest);
  size_t end = 0;
  while (end < rest.size() && ((rest[end] >= 'a' && rest[end] <= 'z') || (rest[end] >= 'A' && rest[end] <= 'Z'))) ++end;
  const std::string_view word = rest.substr(0, end);
  rest = Trim(rest.substr(end));
  return word;
}

void ReadMatch(std::string_view value, uint8_t& mode, char* pattern, const LeadTable& leads, ParseReport& report,
               std::string_view where, const char* key) {
  const std::string_view word = TakeLetters(value);
  if (!ReadMatchWord(word, mode)) {
    mode = kMatchAny;
    report.Note(where, std::string(key) + ": unknown match mode, taken as any");
  }
  std::string text;
  if (!ReadQuoted(value, text)) report.Note(where, std::string(key) + ": pattern without its closing quote");
  StoreString(text, pattern, kPatternSize, leads, report, where, key);
}

void ReadFlag(std::string_view value, uint8_t safe, uint8_t& flag, ParseReport& report, std::string_view where,
              const char* key) {
  if (!ReadFlagWord(value, flag)) {
    flag = safe;
    report.Note(where, std::string(key) + ": neither yes nor no");
  }
}

// Reads an optional trailing number; required says whether its absence is
// worth a note.
void ReadValue(std::string_view rest, bool required, bool percent, int32_t& value, ParseReport& report,
               std::string_view where, const char* key) {
  value = 0;
  if (rest.empty()) {
    if (required) report.Note(where, std::string(key) + ": value missing");
    return;
  }
  const NumberRead read = percent ? ReadNumber(rest, kMinPercent, kMaxPercent, value)
                                  : ReadNumber(rest, kMinPixels, kMaxPixels, value);
  if (read == NumberRead::kBad) {
    value = 0;
    report.Note(where, std::string(key) + ": not a number");
  } else if (read == NumberRead::kClamped) {
    report.Note(where, std::string(key) + ": value out of range, clamped");
  }
}

void ReadSize(std::string_view value, SizeSpec& spec, ParseReport& report, std::string_view where, const char* key) {
  std::memset(&spec, 0, sizeof spec);
  const std::string_view word = TakeWord(value);
  if (!ReadSizeModeWord(word, spec.mode)) {
    spec.mode = kSizeKeep;
    report.Note(where, std::string(key) + ": unknown size mode, taken as keep");
    return;
  }
  ReadValue(value, spec.mode != kSizeKeep, spec.mode == kSizePercent, spec.value, report, where, key);
}

void ReadPosition(std::string_view value, PositionSpec& spec, ParseReport& report, std::string_view where,
                  const char* key) {
  std::memset(&spec, 0, sizeof spec);
  const std::string_view anchorWord = TakeWord(value);
  if (!ReadAnchorWord(anchorWord, spec.anchor)) {
    report.Note(where, std::string(key) + ": unknown anchor, taken as keep");
    return;
  }
  if (value.empty()) {
    if (spec.anchor != kAnchorKeep) report.Note(where, std::string(key) + ": offset kind missing, taken as flush");
    return;
  }
  const std::string_view kindWord = TakeWord(value);
  if (!ReadOffsetKindWord(kindWord, spec.offsetKind)) {
    spec.anchor = kAnchorKeep;
    spec.offsetKind = kOffsetFlush;
    report.Note(where, std::string(key) + ": unknown offset kind, position kept");
    return;
  }
  ReadValue(value, spec.offsetKind != kOffsetFlush, spec.offsetKind == kOffsetPercent, spec.value, report, where, key);
}

void ParseSettingsLines(std::string_view lines, GeneralSettings& general, ParseReport& report) {
  const std::string_view where = kSettingsSection;
  const GeneralSettings defaults;
  const uint32_t seen = ForEachKey(lines, kSettingsKeys, report, where, [&](int key, std::string_view value) {
    switch (key) {
      case kKeyVersion: {
        int32_t version = 0;
        if (ReadNumber(value, 1, 1000, version) != NumberRead::kExact || version != kFormatVersion) {
          report.Note(where, "Version: not a version this module writes");
        }
        break;
      }
      case kKeyMonitoring:
        ReadFlag(value, defaults.monitoringEnabled, general.monitoringEnabled, report, where, "Monitoring");
        break;
      case kKeyInterval: {
        const NumberRead read = ReadNumber(value, kMinInterval, kMaxInterval, general.monitorInterval);
        if (read == NumberRead::kBad) {
          general.monitorInterval = defaults.monitorInterval;
          report.Note(where, "Interval: not a number");
        } else if (read == NumberRead::kClamped) {
          report.Note(where, "Interval: out of range, clamped");
        }
        break;
      }
      case kKeyReapply:
        ReadFlag(value, defaults.reapplyOnWorkAreaChange, general.reapplyOnWorkAreaChange, report, where,
                 "ReapplyOnWorkAreaChange");
        break;
      case kKeyOpenAtStart:
        ReadFlag(value, defaults.openSettingsAtStart, general.openSettingsAtStart, report, where,
                 "OpenSettingsAtStart");
        break;
    }
  });
  NoteMissing(seen, kSettingsKeys, report, where);
}

enum class SectionKind { kSettings, kTarget, kChild, kUnknown };

// Counts the digits at the front of text (at most nine make a section number).
size_t Digits(std::string_view text) {
  size_t n = 0;
  while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
  return n;
}

// "<n>" or "<n>.<m>" with n and m of one to nine digits; parent receives "<n>".
SectionKind ClassifySection(std::string_view name, std::string_view& parent) {
  if (EqualsNoCase(name, kSettingsSection)) return SectionKind::kSettings;
  const size_t digits = Digits(name);
  if (digits == 0 || digits > 9) return SectionKind::kUnknown;
  if (digits == name.size()) return SectionKind::kTarget;
  if (name[digits] != '.') return SectionKind::kUnknown;
  const size_t childDigits = Digits(name.substr(digits + 1));
  if (childDigits == 0 || childDigits > 9 || digits + 1 + childDigits != name.size()) return SectionKind::kUnknown;
  parent = name.substr(0, digits);
  return SectionKind::kChild;
}

}  // namespace

void ParseReport::Note(std::string_view where, std::string_view what) {
  damaged = true;
  if (notes.size() < kMaxNotes) notes.push_back("[" + std::string(where.substr(0, 60)) + "] " + std::string(what));
}

bool ParseRuleLines(std::string_view lines, const LeadTable& leads, TargetRecord& record, ParseReport& report,
                    std::string_view where) {
  record = DefaultRule();
  const uint32_t seen = ForEachKey(lines, kRuleKeys, report, where, [&](int key, std::string_view value) {
    switch (key) {
      case kKeyName: {
        std::string text;
        if (!ReadQuoted(value, text)) report.Note(where, "Name without its closing quote");
        StoreString(text, RuleName(record), kRuleNameSize, leads, report, where, "Name");
        break;
      }
      case kKeyEnabled:
        ReadFlag(value, 0, record.enabled, report, where, "Enabled");
        break;
      case kKeyOnce:
        ReadFlag(value, 1, record.applyOnce, report, where, "Once");
        break;
      case kKeyClass:
        ReadMatch(value, record.classMatch, record.classPattern, leads, report, where, "Class");
        break;
      case kKeyTitle:
        ReadMatch(value, record.titleMatch, record.titlePattern, leads, report, where, "Title");
        break;
      case kKeySize:
        if (!ReadSizeActionWord(value, record.sizeAction)) {
          record.sizeAction = kSizeNone;
          report.Note(where, "Size: unknown action, taken as none");
        }
        break;
      case kKeyWidth:
        ReadSize(value, record.widthSpec, report, where, "Width");
        break;
      case kKeyHeight:
        ReadSize(value, record.heightSpec, report, where, "Height");
        break;
      case kKeyPosition:
        if (!ReadPositionActionWord(value, record.positionAction)) {
          record.positionAction = kPositionNone;
          report.Note(where, "Position: unknown action, taken as none");
        }
        break;
      case kKeyX:
        ReadPosition(value, record.xSpec, report, where, "X");
        break;
      case kKeyY:
        ReadPosition(value, record.ySpec, report, where, "Y");
        break;
      case kKeyActivate:
        ReadFlag(value, 0, record.activate, report, where, "Activate");
        break;
      case kKeyClose:
        ReadFlag(value, 0, record.close, report, where, "Close");
        break;
    }
  });
  if (seen == 0) {
    report.Note(where, "no rule in this section; skipped");
    return false;
  }
  NoteMissing(seen, kRuleKeys, report, where);
  return true;
}

void CheckRawText(std::string_view text, ParseReport& report) {
  if (text.find('\0') != std::string_view::npos) report.Note("file", "NUL bytes");
  bool inSection = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t' || line.front() == '\r' || line.front() == 0x1A)) {
      line.remove_prefix(1);
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r' || line.back() == 0x1A)) {
      line.remove_suffix(1);
    }
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[' && line.find(']') != std::string_view::npos) {
      inSection = true;
      continue;
    }
    if (!inSection) {
      report.Note("file", "text before the first section");
      inSection = true;  // one note is enough
    } else if (line.front() == '=') {
      report.Note("file", "a line without a key");
    }
  }
}

bool ParseSettingsFile(SectionReader& reader, const LeadTable& leads, SettingsModel& model, ParseReport& report) {
  model = SettingsModel{};
  std::vector<std::string> settings, targets, children;
  std::unordered_set<std::string> seen;
  for (std::string& name : reader.Names()) {
    if (!seen.insert(Lower(name)).second) {
      report.Note(name, "the same section again; only the first one is read");
      continue;
    }
    std::string_view parent;
    switch (ClassifySection(name, parent)) {
      case SectionKind::kSettings:
        settings.push_back(std::move(name));
        break;
      case SectionKind::kTarget:
        targets.push_back(std::move(name));
        break;
      case SectionKind::kChild:
        children.push_back(std::move(name));
        break;
      case SectionKind::kUnknown:
        report.Note(name, "unknown section; skipped");
        break;
    }
  }

  std::string lines;
  bool understood = false;
  if (settings.empty()) {
    report.Note(kSettingsSection, "missing; defaults used");
  } else if (reader.Lines(settings.front(), lines)) {
    ParseSettingsLines(lines, model.general, report);
    understood = true;
  } else {
    report.Note(kSettingsSection, "could not be read");
  }

  std::unordered_map<std::string, size_t> targetIndex;
  model.targets.reserve(targets.size());
  for (const std::string& name : targets) {
    TargetRecord record;
    if (!reader.Lines(name, lines)) {
      report.Note(name, "could not be read");
      continue;
    }
    if (!ParseRuleLines(lines, leads, record, report, name)) continue;
    targetIndex.emplace(Lower(name), model.targets.size());
    model.targets.push_back(TargetRules{record, {}});
  }

  // A child belongs to the target its name begins with, wherever its
  // section stands; children keep the order of their sections.
  for (const std::string& name : children) {
    std::string_view parent;
    ClassifySection(name, parent);
    const auto found = targetIndex.find(Lower(parent));
    if (found == targetIndex.end()) {
      report.Note(name, "no target of that name; skipped");
      continue;
    }
    TargetRecord record;
    if (!reader.Lines(name, lines)) {
      report.Note(name, "could not be read");
      continue;
    }
    if (!ParseRuleLines(lines, leads, record, report, name)) continue;
    model.targets[found->second].children.push_back(record);
  }

  understood = understood || !model.targets.empty();
  if (!understood) {
    model = SettingsModel{};
    report.Note("file", "nothing could be understood; defaults used");
  }
  return understood;
}
