#include "SampleSettings.h"

#include <cstring>

#include "settings/SettingsFormat.h"

namespace {

void Copy(char* field, size_t size, std::string_view text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), text.size() < size - 1 ? text.size() : size - 1);
}

void SetSize(TargetRecord& r, SizeSpec width, SizeSpec height) {
  r.sizeAction = kSizeSet;
  r.widthSpec = width;
  r.heightSpec = height;
}

void SetPosition(TargetRecord& r, PositionSpec x, PositionSpec y) {
  r.positionAction = kPositionSet;
  r.xSpec = x;
  r.ySpec = y;
}

std::string_view Trim(std::string_view s) {
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0x1A; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return out;
}

}  // namespace

TargetRecord Rule(uint8_t classMatch, std::string_view classPattern, uint8_t titleMatch, std::string_view titlePattern,
                  std::string_view name) {
  TargetRecord record = DefaultRule();
  record.classMatch = classMatch;
  Copy(record.classPattern, sizeof record.classPattern, classPattern);
  record.titleMatch = titleMatch;
  Copy(record.titlePattern, sizeof record.titlePattern, titlePattern);
  Copy(RuleName(record), kRuleNameSize, name);
  return record;
}

SettingsModel SampleModel() {
  SettingsModel model;
  model.general = {1234, 0, 1, 0};

  // Japanese, with 0x5C as the second byte of a character (表, ソ).
  TargetRules first;
  first.record = Rule(kMatchEquals, "PlenaraTest-NoSuchClass-1", kMatchAny, "left over",
                      "\x83\x81\x83\x82\x92\xA0\x82\xF0\x89\x45\x94\xBC\x95\xAA\x82\xC9");  // メモ帳を右半分に
  SetSize(first.record, {kSizeAbsolute, {}, 800}, {kSizeExtentMinus, {}, 40});
  SetPosition(first.record, {kAnchorNear, kOffsetFlush, {}, 0}, {kAnchorFar, kOffsetPixels, {}, -15});
  first.record.activate = 1;
  TargetRecord child = Rule(kMatchBegins, "MDI", kMatchEnds, " - \x95\x5C\x8E\xA6 ", "\x83\x5C\x83\x74\x83\x67");
  child.sizeAction = kSizeMaximize;
  child.applyOnce = 0;
  AddChild(first, child);
  child = Rule(kMatchContains, "\x83\x5C\x83\x74\x83\x67", kMatchEquals, "PlenaraTest no such title");
  child.sizeAction = kSizeMinimize;
  child.xSpec = {kAnchorKeep, kOffsetPercent, {}, 7};  // kept although unused
  child.close = 1;
  AddChild(first, child);
  model.targets.Append(std::move(first));

  // Quotes, '=', ';', '[', ']', '%', leading and trailing spaces.
  TargetRules second;
  second.record = Rule(kMatchEquals, "PlenaraTest-NoSuchClass-2", kMatchContains, "  \"quoted\" = ; [x] %41 100% \"  ",
                       " [Section] = \"name\"; ");
  SetSize(second.record, {kSizePercent, {}, 50}, {kSizePercent, {}, -25});
  SetPosition(second.record, {kAnchorFar, kOffsetPercent, {}, 10}, {kAnchorNear, kOffsetPercent, {}, -5});
  second.record.enabled = 0;
  second.record.applyOnce = 0;
  second.record.close = 1;
  model.targets.Append(std::move(second));

  // Full-length fields, control characters, bytes that are no character of
  // code page 932, extreme values.
  std::string longName;
  while (longName.size() + 2 <= kMaxNameBytes) longName += "\x90\xDD";  // 設
  TargetRules third;
  third.record = Rule(kMatchEquals, std::string(126, 'c') + "\x94\x5C", kMatchEquals, "\ttab\x01" "bell\r\nline",
                      longName + "x");  // 128 and 131 bytes
  third.record.widthSpec = {kSizeAbsolute, {}, -100000};  // kept although the size action is none
  third.record.ySpec = {kAnchorFar, kOffsetPixels, {}, 100000};
  AddChild(third, Rule(kMatchBegins, "PlenaraTest\x80\xA0\xFD\xFE\xFF", kMatchEnds, "lone lead \x81", "\x81\x20 not a pair"));
  model.targets.Append(std::move(third));
  return model;
}

SettingsModel ManyRules(size_t targets) {
  SettingsModel model;
  for (size_t i = 0; i < targets; ++i) {
    const std::string n = std::to_string(i);
    TargetRules rules;
    rules.record = Rule(kMatchEquals, "PlenaraTest-Many-" + n, kMatchEnds, " - \x83\x81\x83\x82\x92\xA0 " + n,
                        "\x89\x45\x94\xBC\x95\xAA " + n);
    SetSize(rules.record, {kSizePercent, {}, 50}, {kSizeAbsolute, {}, static_cast<int32_t>(i)});
    if (i % 4 == 0) {
      AddChild(rules, Rule(kMatchContains, "child " + n, kMatchAny, ""));
      AddChild(rules, Rule(kMatchAny, "", kMatchBegins, "second child " + n));
    }
    model.targets.Append(std::move(rules));
  }
  return model;
}

std::string ModelDifference(const SettingsModel& e, const SettingsModel& a) {
  const GeneralSettings& g = e.general;
  const GeneralSettings& h = a.general;
  if (g.monitorInterval != h.monitorInterval || g.reapplyOnWorkAreaChange != h.reapplyOnWorkAreaChange ||
      g.openSettingsAtStart != h.openSettingsAtStart || g.monitoringEnabled != h.monitoringEnabled) {
    return "general settings";
  }
  if (e.targets.Size() != a.targets.Size()) return "target count " + std::to_string(a.targets.Size());
  auto same = [](const TargetRecord& x, const TargetRecord& y) { return std::memcmp(&x, &y, sizeof x) == 0; };
  for (size_t t = 0; t < e.targets.Size(); ++t) {
    const std::string where = "target " + std::to_string(t + 1);
    if (!same(e.targets[t].record, a.targets[t].record)) return where;
    if (e.targets[t].children.Size() != a.targets[t].children.Size()) return where + " child count";
    for (size_t c = 0; c < e.targets[t].children.Size(); ++c) {
      if (!same(e.targets[t].children[c], a.targets[t].children[c])) return where + " child " + std::to_string(c + 1);
    }
  }
  return std::string();
}

FakeProfile::FakeProfile(std::string_view text) {
  reader_.context = this;
  reader_.names = [](void* context, TextBuffer& names) {
    names.Clear();
    for (const auto& section : static_cast<FakeProfile*>(context)->sections_) {
      names.Append(TextView(section.first.data(), section.first.size()));
      names.Append('\0');
    }
    return names.Ok();
  };
  reader_.lines = [](void* context, const char* section, TextBuffer& lines) {
    const auto* self = static_cast<FakeProfile*>(context);
    lines.Clear();
    const auto found = self->first_.find(Lower(section));
    if (found != self->first_.end()) {
      const std::string& body = self->sections_[found->second].second;
      lines.Append(TextView(body.data(), body.size()));
    }
    return lines.Ok();
  };
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty()) continue;
    const size_t close = line.rfind(']');
    if (line.front() == '[' && close != std::string_view::npos) {
      sections_.emplace_back(std::string(Trim(line.substr(1, close - 1))), std::string());
      first_.emplace(Lower(sections_.back().first), sections_.size() - 1);
      continue;
    }
    if (sections_.empty() || line.front() == ';') continue;
    const size_t equals = line.find('=');
    std::string& body = sections_.back().second;
    if (equals == std::string_view::npos) {
      body += std::string(line) + '\0';
    } else {
      body += std::string(Trim(line.substr(0, equals))) + "=" + std::string(Trim(line.substr(equals + 1))) + '\0';
    }
  }
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
