#pragma once
// The settings every settings test writes and reads back, and the helpers that compare them.
#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>

#include "settings/SettingsFormat.h"
#include "settings/SettingsModel.h"
#include "settings/SettingsText.h"

inline TargetRecord Rule(uint8_t classMatch, const std::string& classPattern, uint8_t titleMatch,
                         const std::string& titlePattern, const std::string& name = "") {
  TargetRecord record = DefaultRule();
  record.classMatch = classMatch;
  record.titleMatch = titleMatch;
  // strncpy fills the rest with NULs: records compare byte for byte.
  std::strncpy(record.classPattern, classPattern.c_str(), kMaxPatternBytes);
  std::strncpy(record.titlePattern, titlePattern.c_str(), kMaxPatternBytes);
  std::strncpy(RuleName(record), name.c_str(), kMaxNameBytes);
  return record;
}

inline void Place(TargetRecord& r, SizeSpec width, SizeSpec height, PositionSpec x, PositionSpec y) {
  r.sizeAction = kSizeSet;
  r.widthSpec = width;
  r.heightSpec = height;
  r.positionAction = kPositionSet;
  r.xSpec = x;
  r.ySpec = y;
}

// Every match mode, action, size mode, anchor and offset kind; Japanese text, quotes and INI punctuation,
// full-length fields, bytes no character holds. Monitoring is off and no rule can match a real window.
inline SettingsModel SampleModel() {
  SettingsModel model;
  model.general = {1234, 0, 1, 0};

  // Japanese, with 0x5C as the second byte of a character (表, ソ).
  TargetRecord rule = Rule(kMatchEquals, "PlenaraTest-NoSuchClass-1", kMatchAny, "left over",
                           "\x83\x81\x83\x82\x92\xA0\x82\xF0\x89\x45\x94\xBC\x95\xAA\x82\xC9");  // メモ帳を右半分に
  Place(rule, {kSizeAbsolute, {}, 800}, {kSizeExtentMinus, {}, 40}, {kAnchorNear, kOffsetFlush, {}, 0},
        {kAnchorFar, kOffsetPixels, {}, -15});
  rule.activate = 1;
  AddTarget(model, rule);
  rule = Rule(kMatchBegins, "MDI", kMatchEnds, " - \x95\x5C\x8E\xA6 ", "\x83\x5C\x83\x74\x83\x67");
  rule.sizeAction = kSizeMaximize;
  rule.applyOnce = 0;
  AddChild(model.targets[0], rule);
  rule = Rule(kMatchContains, "\x83\x5C\x83\x74\x83\x67", kMatchEquals, "PlenaraTest no such title");
  rule.sizeAction = kSizeMinimize;
  rule.xSpec = {kAnchorKeep, kOffsetPercent, {}, 7};  // kept although unused
  rule.close = 1;
  AddChild(model.targets[0], rule);

  // Quotes, '=', ';', '[', ']', '%', leading and trailing spaces.
  rule = Rule(kMatchEquals, "PlenaraTest-NoSuchClass-2", kMatchContains, "  \"quoted\" = ; [x] %41 100% \"  ",
              " [Section] = \"name\"; ");
  Place(rule, {kSizePercent, {}, 50}, {kSizePercent, {}, -25}, {kAnchorFar, kOffsetPercent, {}, 10},
        {kAnchorNear, kOffsetPercent, {}, -5});
  rule.enabled = 0;
  rule.applyOnce = 0;
  rule.close = 1;
  AddTarget(model, rule);

  // Full-length fields, control characters, bytes that are no character of code page 932, extreme values.
  std::string longName;
  while (longName.size() + 2 <= kMaxNameBytes) longName += "\x90\xDD";  // 設
  rule = Rule(kMatchEquals, std::string(126, 'c') + "\x94\x5C", kMatchEquals, "\ttab\x01" "bell\r\nline",
              longName + "x");  // 128 and 131 bytes
  rule.widthSpec = {kSizeAbsolute, {}, -100000};  // kept although the size action is none
  rule.ySpec = {kAnchorFar, kOffsetPixels, {}, 100000};
  AddTarget(model, rule);
  AddChild(model.targets[2], Rule(kMatchBegins, "PlenaraTest\x80\xA0\xFD\xFE\xFF", kMatchEnds, "lone lead \x81",
                                  "\x81\x20 not a pair"));
  return model;
}

// "" when equal in every byte, else where the first difference is.
inline std::string ModelDifference(const SettingsModel& expected, const SettingsModel& actual) {
  // Each model as one string of bytes: the settings, then every record with its children's count.
  auto flat = [](const SettingsModel& m) {
    const GeneralSettings& g = m.general;
    std::string bytes = std::to_string(g.monitorInterval) + char(g.reapplyOnWorkAreaChange) +
                        char(g.openSettingsAtStart) + char(g.monitoringEnabled) + char(m.targets.Size());
    auto add = [&](const TargetRecord& r) { bytes.append(reinterpret_cast<const char*>(&r), sizeof r); };
    for (const TargetRules& t : m.targets) {
      add(t.record);
      bytes += char(t.children.Size());
      for (const TargetRecord& c : t.children) add(c);
    }
    return bytes;
  };
  const std::string x = flat(expected), y = flat(actual);
  if (x == y) return std::string();
  return "differs at byte " + std::to_string(std::mismatch(x.begin(), x.end(), y.begin(), y.end()).first - x.begin());
}

inline std::string FormatText(const SettingsModel& model, const Charset& charset) {
  TextBuffer out;
  FormatSettingsFile(model, charset, out);
  return std::string(out.Data(), out.Size());
}

// Whether each line of lines (ended by LF or CR LF) stands whole in text, in the same order.
inline bool HasLines(const std::string& text, const std::string& lines) {
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
