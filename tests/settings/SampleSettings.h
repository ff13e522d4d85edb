#pragma once
// Models and helpers shared by the settings tests, on the host and under Wine.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "settings/SettingsModel.h"
#include "settings/SettingsParse.h"
#include "settings/SettingsText.h"

// Every match mode, action, size mode, anchor and offset kind; Japanese
// (code page 932) text, negative values, patterns full of quotes and INI
// punctuation, full-length fields and bytes no character holds. Monitoring
// is off and no rule can match a real window.
SettingsModel SampleModel();

// n targets, every fourth with two children.
SettingsModel ManyRules(size_t targets);

TargetRecord Rule(uint8_t classMatch, std::string_view classPattern, uint8_t titleMatch, std::string_view titlePattern,
                  std::string_view name = "");

// "" when equal in every byte, else where the first difference is.
std::string ModelDifference(const SettingsModel& expected, const SettingsModel& actual);

// Reads an INI text the way the profile API does: lines trimmed, names
// compared without case, the first of two equal sections wins, comment
// lines dropped, lines without '=' kept.
class FakeProfile {
 public:
  explicit FakeProfile(std::string_view text);
  const SectionReader& Reader() const { return reader_; }

 private:
  std::vector<std::pair<std::string, std::string>> sections_;
  std::map<std::string, size_t> first_;  // lower-case name to its first section
  SectionReader reader_;
};

// The notes of a report on one line, for failure messages.
std::string Notes(const ParseReport& report);

// The whole file as FormatSettingsFile writes it.
std::string FormatText(const SettingsModel& model, const Charset& charset);
