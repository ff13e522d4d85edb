#include "settings/SettingsParse.h"

#include <cstdlib>
#include <cstring>

#include "settings/SettingsFormat.h"
#include "settings/SettingsText.h"

namespace {

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
constexpr const char* kRuleKeys[kRuleKeyCount] = {"Name", "Enabled", "Once",     "Class", "Title",
                                                  "Size", "Width",   "Height",   "Position", "X",
                                                  "Y",    "Activate", "Close"};

enum SettingsKey {
  kKeyVersion,
  kKeyMonitoring,
  kKeyInterval,
  kKeyReapply,
  kKeyOpenAtStart,
  kSettingsKeyCount,
};
constexpr const char* kSettingsKeys[kSettingsKeyCount] = {"Version", "Monitoring", "Interval",
                                                          "ReapplyOnWorkAreaChange", "OpenSettingsAtStart"};

// What the readers of one section share.
struct Section {
  TextView where;
  const LeadByteTable& leads;
  ParseReport& report;
};

template <size_t N>
int KeyIndex(const char* const (&keys)[N], TextView key) {
  for (size_t i = 0; i < N; ++i) {
    if (EqualsNoCase(key, keys[i])) return static_cast<int>(i);
  }
  return -1;
}

// Calls take(key index, value) once for each known key, first occurrence
// only; notes everything else. Returns the set of keys seen, as bits.
template <size_t N, class Take>
uint32_t ForEachKey(TextView lines, const char* const (&keys)[N], Section& s, Take take) {
  uint32_t seen = 0;
  size_t start = 0;
  while (start < lines.size) {
    size_t end = lines.Find('\0', start);
    if (end == kNoPos) end = lines.size;
    const TextView line = Trim(lines.Sub(start, end - start));
    start = end + 1;
    // A reader may hand over comment lines too.
    if (line.Empty() || line.Front() == ';') continue;
    const size_t equals = line.Find('=');
    if (equals == kNoPos) {
      s.report.Note(s.where, "a line without '='");
      continue;
    }
    const TextView key = Trim(line.Sub(0, equals));
    const int index = KeyIndex(keys, key);
    if (index < 0) {
      s.report.Note(s.where, "unknown key", key.Sub(0, 40));
      continue;
    }
    if (seen & (1u << index)) {
      s.report.Note(s.where, "the second one ignored:", key);
      continue;
    }
    seen |= 1u << index;
    take(index, Trim(line.Sub(equals + 1)));
  }
  return seen;
}

template <size_t N>
void NoteMissing(uint32_t seen, const char* const (&keys)[N], Section& s) {
  for (size_t i = 0; i < N; ++i) {
    if (!(seen & (1u << i))) s.report.Note(s.where, "missing", keys[i]);
  }
}

// Reads a quoted value into a zero-filled field of fieldSize bytes.
void ReadString(TextView value, char* field, size_t fieldSize, Section& s, const char* key) {
  std::memset(field, 0, fieldSize);
  TextBuffer text;
  if (!text.Resize(Trim(value).size)) {
    s.report.Note(s.where, key, "could not be held in memory");
    return;
  }
  bool closed = true;
  const size_t length = ReadQuoted(value, text.Data(), closed);
  if (!closed) s.report.Note(s.where, key, "without its closing quote");
  const size_t fit = WholeCharsLength(text.Data(), length, fieldSize - 1, s.leads);
  if (fit < length) s.report.Note(s.where, key, "cut to fit");
  std::memcpy(field, text.Data(), fit);
}

// The leading letters of a value: its word. A quote may follow at once.
TextView TakeLetters(TextView& rest) {
  rest = Trim(rest);
  size_t end = 0;
  while (end < rest.size && ((rest[end] >= 'a' && rest[end] <= 'z') || (rest[end] >= 'A' && rest[end] <= 'Z'))) ++end;
  const TextView word = rest.Sub(0, end);
  rest = Trim(rest.Sub(end));
  return word;
}

void ReadMatch(TextView value, uint8_t& mode, char* pattern, Section& s, const char* key) {
  const TextView word = TakeLetters(value);
  if (!ReadMatchWord(word, mode)) {
    mode = kMatchAny;
    s.report.Note(s.where, key, "unknown match mode, taken as any");
  }
  ReadString(value, pattern, kPatternSize, s, key);
}

void ReadFlag(TextView value, uint8_t safe, uint8_t& flag, Section& s, const char* key) {
  if (!ReadFlagWord(value, flag)) {
    flag = safe;
    s.report.Note(s.where, key, "neither yes nor no");
  }
}

// Reads an optional trailing number; required says whether its absence is
// worth a note.
void ReadValue(TextView rest, bool required, bool percent, int32_t& value, Section& s, const char* key) {
  value = 0;
  if (rest.Empty()) {
    if (required) s.report.Note(s.where, key, "value missing");
    return;
  }
  const NumberRead read = percent ? ReadNumber(rest, kMinPercent, kMaxPercent, value)
                                  : ReadNumber(rest, kMinPixels, kMaxPixels, value);
  if (read == NumberRead::kBad) {
    value = 0;
    s.report.Note(s.where, key, "not a number");
  } else if (read == NumberRead::kClamped) {
    s.report.Note(s.where, key, "value out of range, clamped");
  }
}

void ReadSize(TextView value, SizeSpec& spec, Section& s, const char* key) {
  std::memset(&spec, 0, sizeof spec);
  const TextView word = TakeWord(value);
  if (!ReadSizeModeWord(word, spec.mode)) {
    spec.mode = kSizeKeep;
    s.report.Note(s.where, key, "unknown size mode, taken as keep");
    return;
  }
  ReadValue(value, spec.mode != kSizeKeep, spec.mode == kSizePercent, spec.value, s, key);
}

void ReadPosition(TextView value, PositionSpec& spec, Section& s, const char* key) {
  std::memset(&spec, 0, sizeof spec);
  const TextView anchorWord = TakeWord(value);
  if (!ReadAnchorWord(anchorWord, spec.anchor)) {
    s.report.Note(s.where, key, "unknown anchor, taken as keep");
    return;
  }
  if (value.Empty()) {
    if (spec.anchor != kAnchorKeep) s.report.Note(s.where, key, "offset kind missing, taken as flush");
    return;
  }
  const TextView kindWord = TakeWord(value);
  if (!ReadOffsetKindWord(kindWord, spec.offsetKind)) {
    spec.anchor = kAnchorKeep;
    spec.offsetKind = kOffsetFlush;
    s.report.Note(s.where, key, "unknown offset kind, position kept");
    return;
  }
  ReadValue(value, spec.offsetKind != kOffsetFlush, spec.offsetKind == kOffsetPercent, spec.value, s, key);
}

void ParseSettingsLines(TextView lines, GeneralSettings& general, Section& s) {
  const GeneralSettings defaults;
  const uint32_t seen = ForEachKey(lines, kSettingsKeys, s, [&](int key, TextView value) {
    switch (key) {
      case kKeyVersion: {
        int32_t version = 0;
        if (ReadNumber(value, 1, 1000, version) != NumberRead::kExact || version != kFormatVersion) {
          s.report.Note(s.where, "Version", "not a version this module writes");
        }
        break;
      }
      case kKeyMonitoring:
        ReadFlag(value, defaults.monitoringEnabled, general.monitoringEnabled, s, "Monitoring");
        break;
      case kKeyInterval: {
        const NumberRead read = ReadNumber(value, kMinInterval, kMaxInterval, general.monitorInterval);
        if (read == NumberRead::kBad) {
          general.monitorInterval = defaults.monitorInterval;
          s.report.Note(s.where, "Interval", "not a number");
        } else if (read == NumberRead::kClamped) {
          s.report.Note(s.where, "Interval", "out of range, clamped");
        }
        break;
      }
      case kKeyReapply:
        ReadFlag(value, defaults.reapplyOnWorkAreaChange, general.reapplyOnWorkAreaChange, s,
                 "ReapplyOnWorkAreaChange");
        break;
      case kKeyOpenAtStart:
        ReadFlag(value, defaults.openSettingsAtStart, general.openSettingsAtStart, s, "OpenSettingsAtStart");
        break;
    }
  });
  NoteMissing(seen, kSettingsKeys, s);
}

enum class SectionKind : uint8_t { kSettings, kTarget, kChild, kUnknown, kDuplicate };

size_t Digits(TextView text) {
  size_t n = 0;
  while (n < text.size && text[n] >= '0' && text[n] <= '9') ++n;
  return n;
}

// "<n>" or "<n>.<m>" with n and m of one to nine digits; parent receives "<n>".
SectionKind ClassifySection(TextView name, TextView& parent) {
  if (EqualsNoCase(name, kSettingsSection)) return SectionKind::kSettings;
  const size_t digits = Digits(name);
  if (digits == 0 || digits > 9) return SectionKind::kUnknown;
  if (digits == name.size) return SectionKind::kTarget;
  if (name[digits] != '.') return SectionKind::kUnknown;
  const size_t childDigits = Digits(name.Sub(digits + 1));
  if (childDigits == 0 || childDigits > 9 || digits + 1 + childDigits != name.size) return SectionKind::kUnknown;
  parent = name.Sub(0, digits);
  return SectionKind::kChild;
}

struct NamedSection {
  TextView name;
  size_t order;  // position in the file, or the target's index in the model
  SectionKind kind;
};

int CompareNamed(const void* a, const void* b) {
  const auto* x = static_cast<const NamedSection*>(a);
  const auto* y = static_cast<const NamedSection*>(b);
  const int byName = CompareNoCase(x->name, y->name);
  if (byName) return byName;
  return x->order < y->order ? -1 : (x->order > y->order ? 1 : 0);
}

// Section names in file order, the second and later of equal names marked.
bool ListSections(TextView all, Array<NamedSection>& sections, ParseReport& report) {
  for (size_t start = 0; start < all.size;) {
    size_t end = all.Find('\0', start);
    if (end == kNoPos) end = all.size;
    if (end > start) {
      TextView parent;
      const TextView name = all.Sub(start, end - start);
      if (!sections.Append(NamedSection{name, sections.Size(), ClassifySection(name, parent)})) return false;
    }
    start = end + 1;
  }
  Array<NamedSection> sorted;
  if (!sorted.Reserve(sections.Size())) return false;
  for (const NamedSection& section : sections) sorted.Append(NamedSection(section));
  if (sorted.Size() > 1) std::qsort(sorted.Data(), sorted.Size(), sizeof(NamedSection), CompareNamed);
  for (size_t i = 1; i < sorted.Size(); ++i) {
    if (EqualsNoCase(sorted[i].name, sorted[i - 1].name)) {
      sections[sorted[i].order].kind = SectionKind::kDuplicate;
      report.Note(sorted[i].name, "the same section again; only the first one is read");
    }
  }
  return true;
}

bool ReadLines(const SectionReader& reader, const NamedSection& section, TextBuffer& nameText, TextBuffer& lines,
               ParseReport& report) {
  const TextView name = section.name;
  nameText.Clear();
  nameText.Append(name);
  if (nameText.Ok() && reader.lines(reader.context, nameText.CString(), section.order, lines)) return true;
  report.Note(name, "could not be read");
  return false;
}

// The spaces the profile API trims: ASCII white space and the DOS end-of-file
// mark (not the ideographic space).
bool IsSpace(char c) {
  const auto b = static_cast<uint8_t>(c);
  return (b >= 0x09 && b <= 0x0D) || b == 0x20 || b == 0x1A;
}

TextView TrimSpaces(TextView text) {
  while (!text.Empty() && IsSpace(text.Front())) text.DropFront(1);
  while (!text.Empty() && IsSpace(text.Back())) text.DropBack(1);
  return text;
}

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

bool SectionIndex::Build(TextView text, const LeadByteTable& leads, ParseReport& report) {
  names_.Clear();
  lines_.Clear();
  sections_.Clear();
  bool inNamed = false;   // lines go to the last section listed
  bool anyKey = false;    // the section holds a key line already
  bool lastKeyEmpty = false;
  bool loneLead = false;
  size_t start = 0;
  while (start < text.size) {
    size_t end = start;
    while (end < text.size && !IsLineEnd(text[end])) ++end;
    const TextView line = text.Sub(start, end - start);
    start = end + 1;
    // One walk over the line's characters finds its ends without spaces, the
    // first '=' with the ends of the key before it and the value after it,
    // and the last ']'; it steps over second bytes, some of which are ']'.
    size_t first = kNoPos, last = 0, equals = kNoPos, keyEnd = 0, valueFirst = kNoPos, close = kNoPos;
    for (size_t i = 0; i < line.size;) {
      const bool lead = IsLeadByte(leads, static_cast<uint8_t>(line[i]));
      const size_t width = lead && i + 1 < line.size ? 2 : 1;
      if (lead && width == 1) loneLead = true;
      if (width == 2 || !IsSpace(line[i])) {
        if (first == kNoPos) first = i;
        last = i + width;
        if (equals != kNoPos) {
          if (valueFirst == kNoPos) valueFirst = i;
        } else if (line[i] == '=') {
          equals = i;
        } else {
          keyEnd = i + width;
        }
        if (line[i] == ']') close = i;
      }
      i += width;
    }
    if (first == kNoPos) continue;
    if (line[first] == '[' && close != kNoPos) {
      const TextView name = TrimSpaces(line.Sub(first + 1, close - first - 1));
      inNamed = !name.Empty();
      anyKey = false;
      if (inNamed) {
        names_.Append(name);
        names_.Append('\0');
        if (!sections_.Append(Span{lines_.Size(), 0})) return false;
      }
      continue;
    }
    if (!inNamed) continue;
    // A line that begins with '=' is dropped right after another such line.
    const bool emptyKey = equals == first;
    const bool dropped = emptyKey && anyKey && lastKeyEmpty;
    if (!dropped) {
      anyKey = true;
      lastKeyEmpty = emptyKey;
    }
    if (dropped || line[first] == ';') continue;
    if (equals == kNoPos) {
      lines_.Append(line.Sub(first, last - first));
    } else {
      lines_.Append(line.Sub(first, (emptyKey ? first : keyEnd) - first));
      lines_.Append('=');
      if (valueFirst != kNoPos) lines_.Append(line.Sub(valueFirst, last - valueFirst));
    }
    lines_.Append('\0');
    sections_[sections_.Size() - 1].size = lines_.Size() - sections_[sections_.Size() - 1].start;
  }
  if (loneLead) report.Note("file", "a lead byte alone at the end of a line");
  return names_.Ok() && lines_.Ok();
}

SectionReader SectionIndex::Reader() {
  SectionReader reader;
  reader.context = this;
  reader.names = Names;
  reader.lines = Lines;
  return reader;
}

bool SectionIndex::Names(void* context, TextBuffer& names) {
  const auto& index = *static_cast<const SectionIndex*>(context);
  names.Clear();
  names.Append(index.names_.View());
  return names.Ok();
}

bool SectionIndex::Lines(void* context, const char*, size_t index, TextBuffer& lines) {
  const auto& self = *static_cast<const SectionIndex*>(context);
  if (index >= self.sections_.Size()) return false;
  const Span span = self.sections_[index];
  lines.Clear();
  lines.Append(self.lines_.View().Sub(span.start, span.size));
  return lines.Ok();
}

bool ParseSettingsText(TextView text, const LeadByteTable& leads, SettingsModel& model, ParseReport& report) {
  SectionIndex index;
  if (!index.Build(text, leads, report)) {
    model = SettingsModel{};
    report.Note("file", "could not be held in memory; defaults used");
    return false;
  }
  return ParseSettingsFile(index.Reader(), leads, model, report);
}

void ParseReport::Note(TextView where, TextView what, TextView detail) {
  damaged = true;
  if (noteCount >= kMaxNotes) return;
  TextBuffer note;
  note.Append('[');
  note.Append(where.Sub(0, 40));
  note.Append("] ");
  note.Append(what);
  if (!detail.Empty()) {
    note.Append(' ');
    note.Append(detail.Sub(0, 40));
  }
  const size_t length = note.Size() < kNoteSize - 1 ? note.Size() : kNoteSize - 1;
  std::memcpy(notes[noteCount], note.Data(), length);
  notes[noteCount][length] = '\0';
  ++noteCount;
}

bool ParseRuleLines(TextView lines, const LeadByteTable& leads, TargetRecord& record, ParseReport& report,
                    TextView where) {
  record = DefaultRule();
  Section s{where, leads, report};
  const uint32_t seen = ForEachKey(lines, kRuleKeys, s, [&](int key, TextView value) {
    switch (key) {
      case kKeyName:
        ReadString(value, RuleName(record), kRuleNameSize, s, "Name");
        break;
      case kKeyEnabled:
        ReadFlag(value, 0, record.enabled, s, "Enabled");
        break;
      case kKeyOnce:
        ReadFlag(value, 1, record.applyOnce, s, "Once");
        break;
      case kKeyClass:
        ReadMatch(value, record.classMatch, record.classPattern, s, "Class");
        break;
      case kKeyTitle:
        ReadMatch(value, record.titleMatch, record.titlePattern, s, "Title");
        break;
      case kKeySize:
        if (!ReadSizeActionWord(value, record.sizeAction)) {
          record.sizeAction = kSizeNone;
          s.report.Note(where, "Size", "unknown action, taken as none");
        }
        break;
      case kKeyWidth:
        ReadSize(value, record.widthSpec, s, "Width");
        break;
      case kKeyHeight:
        ReadSize(value, record.heightSpec, s, "Height");
        break;
      case kKeyPosition:
        if (!ReadPositionActionWord(value, record.positionAction)) {
          record.positionAction = kPositionNone;
          s.report.Note(where, "Position", "unknown action, taken as none");
        }
        break;
      case kKeyX:
        ReadPosition(value, record.xSpec, s, "X");
        break;
      case kKeyY:
        ReadPosition(value, record.ySpec, s, "Y");
        break;
      case kKeyActivate:
        ReadFlag(value, 0, record.activate, s, "Activate");
        break;
      case kKeyClose:
        ReadFlag(value, 0, record.close, s, "Close");
        break;
    }
  });
  if (seen == 0) {
    report.Note(where, "no rule in this section; skipped");
    return false;
  }
  NoteMissing(seen, kRuleKeys, s);
  return true;
}

void CheckRawText(TextView text, ParseReport& report) {
  if (text.Find('\0') != kNoPos) report.Note("file", "NUL bytes");
  bool inSection = false;
  size_t start = 0;
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == 0x1A; };
  while (start < text.size) {
    size_t end = text.Find('\n', start);
    if (end == kNoPos) end = text.size;
    TextView line = text.Sub(start, end - start);
    start = end + 1;
    while (!line.Empty() && blank(line.Front())) line.DropFront(1);
    while (!line.Empty() && blank(line.Back())) line.DropBack(1);
    if (line.Empty() || line.Front() == ';') continue;
    if (line.Front() == '[' && line.Find(']') != kNoPos) {
      inSection = true;
      continue;
    }
    if (!inSection) {
      report.Note("file", "text before the first section");
      inSection = true;  // one note is enough
    } else if (line.Front() == '=') {
      report.Note("file", "a line without a key");
    }
  }
}

bool ParseSettingsFile(const SectionReader& reader, const LeadByteTable& leads, SettingsModel& model,
                       ParseReport& report) {
  model = SettingsModel{};
  TextBuffer all, lines, nameText;
  Array<NamedSection> sections;
  if (!reader.names(reader.context, all) || !all.Ok() || !ListSections(all.View(), sections, report)) {
    report.Note("file", "the sections could not be listed");
    return false;
  }

  bool understood = false;
  bool settingsSeen = false;
  Array<NamedSection> targetNames;  // by name, for the children
  for (const NamedSection& section : sections) {
    switch (section.kind) {
      case SectionKind::kSettings: {
        if (settingsSeen) break;
        settingsSeen = true;
        if (!ReadLines(reader, section, nameText, lines, report)) break;
        Section s{kSettingsSection, leads, report};
        ParseSettingsLines(lines.View(), model.general, s);
        understood = true;
        break;
      }
      case SectionKind::kTarget: {
        TargetRecord record;
        if (!ReadLines(reader, section, nameText, lines, report)) break;
        if (!ParseRuleLines(lines.View(), leads, record, report, section.name)) break;
        if (!AddTarget(model, record) ||
            !targetNames.Append(NamedSection{section.name, model.targets.Size() - 1, SectionKind::kTarget})) {
          report.Note(section.name, "could not be held in memory");
        }
        break;
      }
      case SectionKind::kUnknown:
        report.Note(section.name, "unknown section; skipped");
        break;
      default:
        break;
    }
  }
  if (!settingsSeen) report.Note(kSettingsSection, "missing; defaults used");

  // A child belongs to the target its name begins with, wherever its
  // section stands; children keep the order of their sections.
  if (targetNames.Size() > 1) std::qsort(targetNames.Data(), targetNames.Size(), sizeof(NamedSection), CompareNamed);
  for (const NamedSection& section : sections) {
    if (section.kind != SectionKind::kChild) continue;
    TextView parent;
    ClassifySection(section.name, parent);
    const NamedSection key{parent, 0, SectionKind::kTarget};
    // Equal names compare by order, so search for the one name alone.
    size_t low = 0, high = targetNames.Size();
    while (low < high) {
      const size_t mid = (low + high) / 2;
      if (CompareNoCase(targetNames[mid].name, key.name) < 0) {
        low = mid + 1;
      } else {
        high = mid;
      }
    }
    if (low == targetNames.Size() || !EqualsNoCase(targetNames[low].name, parent)) {
      report.Note(section.name, "no target of that name; skipped");
      continue;
    }
    TargetRecord record;
    if (!ReadLines(reader, section, nameText, lines, report)) continue;
    if (!ParseRuleLines(lines.View(), leads, record, report, section.name)) continue;
    if (!AddChild(model.targets[targetNames[low].order], record)) {
      report.Note(section.name, "could not be held in memory");
    }
  }

  understood = understood || !model.targets.Empty();
  if (!understood) {
    model = SettingsModel{};
    report.Note("file", "nothing could be understood; defaults used");
  }
  return understood;
}
