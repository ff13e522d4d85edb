#include "SampleSettings.h"

#include "settings/SettingsFormat.h"

#include <cstdint>
#include <cstring>

namespace {

void Copy(char* field, size_t size, std::string_view text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), text.size() < size - 1 ? text.size() : size - 1);
}

SizeSpec Size(uint8_t mode, int32_t value) {
  SizeSpec spec = {};
  spec.mode = mode;
  spec.value = value;
  return spec;
}

PositionSpec Position(uint8_t anchor, uint8_t kind, int32_t value) {
  PositionSpec spec = {};
  spec.anchor = anchor;
  spec.offsetKind = kind;
  spec.value = value;
  return spec;
}

std::string_view TrimAll(std::string_view s) {
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0x1A; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

TargetRecord Rule(uint8_t classMatch, std::string_view classPattern, uint8_t titleMatch, std::string_view titlePattern) {
  TargetRecord record = DefaultRule();
  record.classMatch = classMatch;
  Copy(record.classPattern, sizeof record.classPattern, classPattern);
  record.titleMatch = titleMatch;
  Copy(record.titlePattern, sizeof record.titlePattern, titlePattern);
  return record;
}

void SetName(TargetRecord& record, std::string_view name) { Copy(RuleName(record), kRuleNameSize, name); }

SettingsModel SampleModel() {
  SettingsModel model;
  model.general.monitorInterval = 1234;
  model.general.reapplyOnWorkAreaChange = 0;
  model.general.openSettingsAtStart = 1;
  model.general.monitoringEnabled = 0;

  // Japanese text, with 0x5C as the second byte of a character (表, ソ).
  TargetRules first;
  first.record = Rule(kMatchEquals, "PlenaraTest-NoSuchClass-1", kMatchAny, "left over");
  SetName(first.record, "\x83\x81\x83\x82\x92\xA0\x82\xF0\x89\x45\x94\xBC\x95\xAA\x82\xC9");  // メモ帳を右半分に
  first.record.sizeAction = kSizeSet;
  first.record.widthSpec = Size(kSizeAbsolute, 800);
  first.record.heightSpec = Size(kSizeExtentMinus, 40);
  first.record.positionAction = kPositionSet;
  first.record.xSpec = Position(kAnchorNear, kOffsetFlush, 0);
  first.record.ySpec = Position(kAnchorFar, kOffsetPixels, -15);
  first.record.activate = 1;

  TargetRecord child1 = Rule(kMatchBegins, "MDI", kMatchEnds, " - \x95\x5C\x8E\xA6 ");  // " - 表示 "
  SetName(child1, "\x83\x5C\x83\x74\x83\x67");  // ソフト
  child1.sizeAction = kSizeMaximize;
  child1.applyOnce = 0;
  TargetRecord child2 = Rule(kMatchContains, "\x83\x5C\x83\x74\x83\x67", kMatchEquals, "PlenaraTest no such title");
  child2.sizeAction = kSizeMinimize;
  child2.xSpec = Position(kAnchorKeep, kOffsetPercent, 7);  // kept although unused
  child2.close = 1;
  AddChild(first, child1);
  AddChild(first, child2);
  model.targets.Append(std::move(first));

  // Quotes, '=', ';', '[', ']', '%', leading and trailing spaces.
  TargetRules second;
  second.record = Rule(kMatchAny, "", kMatchContains, "  \"quoted\" = ; [x] %41 100% \"  ");
  SetName(second.record, " [Section] = \"name\"; ");
  second.record.classMatch = kMatchEquals;
  std::memcpy(second.record.classPattern, "PlenaraTest-NoSuchClass-2", 26);
  second.record.sizeAction = kSizeSet;
  second.record.widthSpec = Size(kSizePercent, 50);
  second.record.heightSpec = Size(kSizePercent, -25);
  second.record.positionAction = kPositionSet;
  second.record.xSpec = Position(kAnchorFar, kOffsetPercent, 10);
  second.record.ySpec = Position(kAnchorNear, kOffsetPercent, -5);
  second.record.enabled = 0;
  second.record.applyOnce = 0;
  second.record.close = 1;
  model.targets.Append(std::move(second));

  // Full-length fields, control characters, and bytes that are not
  // characters of code page 932 at all.
  std::string longClass(126, 'c');
  longClass += "\x94\x5C";  // 能: 128 bytes, ending on a whole character
  std::string longName;
  while (longName.size() + 2 <= kMaxNameBytes) longName += "\x90\xDD";  // 設
  longName += "x";  // 131 bytes
  TargetRules third;
  third.record = Rule(kMatchEquals, longClass, kMatchEquals, "\ttab\x01" "bell\r\nline");
  SetName(third.record, longName);
  third.record.widthSpec = Size(kSizePercent, 33);  // kept although the size action is none
  third.record.ySpec = Position(kAnchorFar, kOffsetFlush, -3);
  TargetRecord odd = Rule(kMatchBegins, "PlenaraTest\x80\xA0\xFD\xFE\xFF", kMatchEnds, "lone lead \x81");
  SetName(odd, "\x81\x20 not a pair");
  AddChild(third, odd);
  model.targets.Append(std::move(third));

  // Negative values, pixels everywhere.
  TargetRules fourth;
  fourth.record = Rule(kMatchBegins, "PlenaraTest-NoSuchClass-4", kMatchBegins, "%");
  fourth.record.sizeAction = kSizeSet;
  fourth.record.widthSpec = Size(kSizeAbsolute, -100000);
  fourth.record.heightSpec = Size(kSizeExtentMinus, -1);
  fourth.record.positionAction = kPositionSet;
  fourth.record.xSpec = Position(kAnchorNear, kOffsetPixels, -2000);
  fourth.record.ySpec = Position(kAnchorFar, kOffsetPixels, 100000);
  model.targets.Append(std::move(fourth));
  return model;
}

SettingsModel ManyRules(size_t targets) {
  SettingsModel model;
  for (size_t i = 0; i < targets; ++i) {
    const std::string number = std::to_string(i);
    TargetRules rules;
    rules.record = Rule(kMatchEquals, "PlenaraTest-Many-" + number, kMatchEnds, " - \x83\x81\x83\x82\x92\xA0 " + number);
    SetName(rules.record, "\x89\x45\x94\xBC\x95\xAA " + number);
    rules.record.sizeAction = kSizeSet;
    rules.record.widthSpec = Size(kSizePercent, 50);
    rules.record.heightSpec = Size(kSizeAbsolute, static_cast<int32_t>(i));
    rules.record.positionAction = kPositionSet;
    rules.record.xSpec = Position(kAnchorFar, kOffsetFlush, 0);
    if (i % 4 == 0) {
      AddChild(rules, Rule(kMatchContains, "child " + number, kMatchAny, ""));
      AddChild(rules, Rule(kMatchAny, "", kMatchBegins, "second child " + number));
    }
    model.targets.Append(std::move(rules));
  }
  return model;
}

std::string RecordDifference(const TargetRecord& e, const TargetRecord& a) {
  if (std::memcmp(&e, &a, sizeof e) == 0) return std::string();
  auto str = [](const char* field, size_t size) { return std::string(field, strnlen(field, size)); };
  if (e.titleMatch != a.titleMatch) return "titleMatch";
  if (str(e.titlePattern, kPatternSize) != str(a.titlePattern, kPatternSize))
    return "titlePattern '" + str(a.titlePattern, kPatternSize) + "'";
  if (e.classMatch != a.classMatch) return "classMatch";
  if (str(e.classPattern, kPatternSize) != str(a.classPattern, kPatternSize))
    return "classPattern '" + str(a.classPattern, kPatternSize) + "'";
  if (str(e.reserved260, kRuleNameSize) != str(a.reserved260, kRuleNameSize))
    return "name '" + str(a.reserved260, kRuleNameSize) + "'";
  if (e.sizeAction != a.sizeAction) return "sizeAction";
  if (std::memcmp(&e.widthSpec, &a.widthSpec, sizeof e.widthSpec)) return "widthSpec";
  if (std::memcmp(&e.heightSpec, &a.heightSpec, sizeof e.heightSpec)) return "heightSpec";
  if (e.positionAction != a.positionAction) return "positionAction";
  if (std::memcmp(&e.xSpec, &a.xSpec, sizeof e.xSpec)) return "xSpec";
  if (std::memcmp(&e.ySpec, &a.ySpec, sizeof e.ySpec)) return "ySpec";
  if (e.activate != a.activate) return "activate";
  if (e.close != a.close) return "close";
  if (e.enabled != a.enabled) return "enabled";
  if (e.applyOnce != a.applyOnce) return "applyOnce";
  return "bytes after a string's end";
}

std::string ModelDifference(const SettingsModel& e, const SettingsModel& a) {
  if (e.general.monitorInterval != a.general.monitorInterval) return "monitorInterval";
  if (e.general.reapplyOnWorkAreaChange != a.general.reapplyOnWorkAreaChange) return "reapplyOnWorkAreaChange";
  if (e.general.openSettingsAtStart != a.general.openSettingsAtStart) return "openSettingsAtStart";
  if (e.general.monitoringEnabled != a.general.monitoringEnabled) return "monitoringEnabled";
  if (e.targets.Size() != a.targets.Size()) {
    return "target count " + std::to_string(a.targets.Size()) + " instead of " + std::to_string(e.targets.Size());
  }
  for (size_t t = 0; t < e.targets.Size(); ++t) {
    const std::string where = "target " + std::to_string(t + 1);
    const std::string d = RecordDifference(e.targets[t].record, a.targets[t].record);
    if (!d.empty()) return where + ": " + d;
    if (e.targets[t].children.Size() != a.targets[t].children.Size()) return where + ": child count";
    for (size_t c = 0; c < e.targets[t].children.Size(); ++c) {
      const std::string dc = RecordDifference(e.targets[t].children[c], a.targets[t].children[c]);
      if (!dc.empty()) return where + " child " + std::to_string(c + 1) + ": " + dc;
    }
  }
  return std::string();
}

FakeProfile::FakeProfile(std::string_view text) {
  reader_.context = this;
  reader_.names = Names;
  reader_.lines = Lines;
  size_t current = SIZE_MAX;  // no section yet
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = TrimAll(text.substr(start, end - start));
    start = end + 1;
    if (line.empty()) continue;
    if (line.front() == '[') {
      const size_t close = line.rfind(']');
      if (close != std::string_view::npos) {
        sections_.emplace_back(std::string(TrimAll(line.substr(1, close - 1))), std::string());
        first_.emplace(Lower(sections_.back().first), sections_.size() - 1);
        current = sections_.size() - 1;
        continue;
      }
    }
    if (current == SIZE_MAX || line.front() == ';') continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      sections_[current].second += std::string(line) + '\0';
    } else {
      sections_[current].second += std::string(TrimAll(line.substr(0, equals))) + "=" +
                         std::string(TrimAll(line.substr(equals + 1))) + '\0';
    }
  }
}

bool FakeProfile::Names(void* context, TextBuffer& names) {
  const auto* self = static_cast<const FakeProfile*>(context);
  names.Clear();
  for (const auto& section : self->sections_) {
    names.Append(TextView(section.first.data(), section.first.size()));
    names.Append('\0');
  }
  return names.Ok();
}

bool FakeProfile::Lines(void* context, const char* section, TextBuffer& lines) {
  const auto* self = static_cast<const FakeProfile*>(context);
  lines.Clear();
  const auto found = self->first_.find(Lower(section));
  if (found != self->first_.end()) {
    const std::string& text = self->sections_[found->second].second;
    lines.Append(TextView(text.data(), text.size()));
  }
  return lines.Ok();
}

std::string Notes(const ParseReport& report) {
  std::string all;
  for (size_t i = 0; i < report.noteCount; ++i) all += std::string(report.notes[i]) + "; ";
  return all;
}

std::string FormatText(const SettingsModel& model, const Charset& charset) {
  TextBuffer out;
  FormatSettingsFile(model, charset, out);
  return std::string(out.Data(), out.Size());
}

std::string_view ViewOf(const TextBuffer& text) { return std::string_view(text.Data(), text.Size()); }
