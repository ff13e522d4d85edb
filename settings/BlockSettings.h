#pragma once
// The settings between the shared block and the settings file: what
// ReadSetting and WriteSetting do once they hold the block.
#include "settings/SettingsFile.h"
#include "settings/SettingsModel.h"
#include "shared/SharedBlock.h"

// Fills the block from the settings file at its iniPath: both settings
// records, the rule list on the process heap, the start request and, last,
// monitoringEnabled. Runs only while monitoring is off (at the program's
// start), since it replaces the rule list directly.
void ReadSettingIntoBlock(SharedBlock& block);

// Saves the block's state to its settings file; false when nothing was
// written. Writes nothing into a block that ReadSettingIntoBlock never
// filled, so a missing module at start cannot cost the user the file.
bool WriteSettingFromBlock(SharedBlock& block, const FileSteps& steps = FileSteps{});

// The block's state as the file holds it; false when memory ran out.
bool SnapshotOfBlock(const SharedBlock& block, SettingsModel& model);
