#include "SampleSettings.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "settings/SettingsFormat.h"

namespace {

void Copy(char* field, size_t size, std::string_view text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

void Place(TargetRecord& r, SizeSpec width, SizeSpec height, PositionSpec x, PositionSpec y) {
  r.sizeAction = kSizeSet;
  r.widthSpec = width;
  r.heightSpec = height;
  r.positionAction = kPositionSet;
  r.xSpec = x;
  r.ySpec = y;
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
  Place(first.record, {kSizeAbsolute, {}, 800}, {kSizeExtentMinus, {}, 40}, {kAnchorNear, kOffsetFlush, {}, 0},
        {kAnchorFar, kOffsetPixels, {}, -15});
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
  Place(second.record, {kSizePercent, {}, 50}, {kSizePercent, {}, -25}, {kAnchorFar, kOffsetPercent, {}, 10},
        {kAnchorNear, kOffsetPercent, {}, -5});
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

std::string ModelDifference(const SettingsModel& e, const SettingsModel& a) {
  // Each model as one string of bytes: the settings, then every record with its children's count.
  auto flat = [](const SettingsModel& m) {
    const GeneralSettings& g = m.general;
    std::string bytes = std::to_string(g.monitorInterval) + char(g.reapplyOnWorkAreaChange) + char(g.openSettingsAtStart) +
                        char(g.monitoringEnabled) + char(m.targets.Size());
    auto add = [&](const TargetRecord& r) { bytes.append(reinterpret_cast<const char*>(&r), sizeof r); };
    for (const TargetRules& t : m.targets) {
      add(t.record);
      bytes += char(t.children.Size());
      for (const TargetRecord& c : t.children) add(c);
    }
    return bytes;
  };
  const std::string x = flat(e), y = flat(a);
  if (x == y) return std::string();
  const size_t at = std::mismatch(x.begin(), x.end(), y.begin(), y.end()).first - x.begin();
  return "differs at byte " + std::to_string(at);
}

std::string FormatText(const SettingsModel& model, const Charset& charset) {
  TextBuffer out;
  FormatSettingsFile(model, charset, out);
  return std::string(out.Data(), out.Size());
}

bool HasLines(const std::string& text, const std::string& lines) {
  const std::string padded = "\n" + text;
  size_t at = 0;
  std::istringstream in(lines);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    at = padded.find("\n" + line + "\r\n", at);
    if (at == std::string::npos) return false;
    at += line.size() + 2;
  }
  return true;
}
