#pragma once
// Models and helpers shared by the settings tests, on the host and under Wine.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "settings/SettingsModel.h"
#include "settings/SettingsParse.h"
#include "settings/SettingsText.h"

// Settings and rules that use every match mode, action, size mode, anchor and
// offset kind, Japanese (code page 932) text, negative values and patterns
// full of quotes, spaces and INI punctuation. No rule can match a real
// window: each has one condition that names nothing on any desktop.
SettingsModel SampleModel();

// n targets, every fourth with two children.
SettingsModel ManyRules(size_t targets);

// A rule with the given conditions, nothing else set.
TargetRecord Rule(uint8_t classMatch, std::string_view classPattern, uint8_t titleMatch, std::string_view titlePattern);
void SetName(TargetRecord& record, std::string_view name);

// "" when equal in every byte, else the first difference in words.
std::string RecordDifference(const TargetRecord& expected, const TargetRecord& actual);
std::string ModelDifference(const SettingsModel& expected, const SettingsModel& actual);

// A stand-in for the profile API that reads an INI text the way it does:
// lines trimmed, names compared without case, the first of two equal
// sections wins, comment lines dropped, lines without '=' kept.
class FakeProfile {
 public:
  explicit FakeProfile(std::string_view text);
  FakeProfile(const FakeProfile&) = delete;
  FakeProfile& operator=(const FakeProfile&) = delete;
  const SectionReader& Reader() const { return reader_; }

 private:
  static bool Names(void* context, TextBuffer& names);
  static bool Lines(void* context, const char* section, TextBuffer& lines);
  std::vector<std::pair<std::string, std::string>> sections_;
  std::map<std::string, size_t> first_;  // lower-case name to its first section
  SectionReader reader_;
};

// The notes of a report on one line, for failure messages.
std::string Notes(const ParseReport& report);

// The whole file as FormatSettingsFile writes it.
std::string FormatText(const SettingsModel& model, const Charset& charset);

std::string_view ViewOf(const TextBuffer& text);
