#pragma once
// The settings every settings test writes and reads back.
#include <string>
#include <string_view>

#include "settings/SettingsModel.h"
#include "settings/SettingsText.h"

// Every match mode, action, size mode, anchor and offset kind; Japanese text,
// quotes and INI punctuation, full-length fields, bytes no character holds.
// Monitoring is off and no rule can match a real window.
SettingsModel SampleModel();
TargetRecord Rule(uint8_t classMatch, std::string_view classPattern, uint8_t titleMatch, std::string_view titlePattern,
                  std::string_view name = "");
// "" when equal in every byte, else where the first difference is.
std::string ModelDifference(const SettingsModel& expected, const SettingsModel& actual);
std::string FormatText(const SettingsModel& model, const Charset& charset);
// Whether each line of lines (ended by LF or CR LF) stands whole in text, in the same order.
bool HasLines(const std::string& text, const std::string& lines);
