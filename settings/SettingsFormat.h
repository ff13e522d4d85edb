#pragma once
// Writes the whole settings file as text, in memory, in one pass.
#include <string>

#include "settings/SettingsModel.h"
#include "settings/SettingsText.h"

constexpr int32_t kFormatVersion = 1;

// Section names: the general settings, target n as "n" (from 1) and child
// m of target n as "n.m". The profile API finds a section by comparing its
// name with every name before it, so names that differ in their first
// character keep a list of thousands of rules quick to read.
constexpr char kSettingsSection[] = "Settings";
std::string TargetSectionName(size_t targetIndex);
std::string ChildSectionName(size_t targetIndex, size_t childIndex);

// CRLF line ends; strings in the code page that charset describes.
std::string FormatSettingsFile(const SettingsModel& model, const Charset& charset);

// One rule's keys, each line ending in CRLF (used for targets and children).
void AppendRuleKeys(std::string& out, const TargetRecord& record, const Charset& charset);
