#pragma once
// Writes the whole settings file as text, in memory, in one pass.
#include "settings/SettingsModel.h"
#include "settings/SettingsText.h"
#include "settings/Text.h"

constexpr int32_t kFormatVersion = 1;

// Section names: the general settings, target n as "n" (from 1) and child
// m of target n as "n.m".
constexpr char kSettingsSection[] = "Settings";

// CRLF line ends; strings in the code page that charset describes. Numbers
// out of range are written clamped and values outside an enumeration as its
// safe word, so that whatever the block holds, the file reads back without
// a fault. False when memory ran out (out then holds no usable file).
bool FormatSettingsFile(const SettingsModel& model, const Charset& charset, TextBuffer& out);

// One rule's keys, each line ending in CRLF (used for targets and children).
void AppendRuleKeys(TextBuffer& out, const TargetRecord& record, const Charset& charset);
