#pragma once
// What the settings tests under Wine need to compare a block with the file.
#include <windows.h>

#include <string>
#include <vector>

#include "settings/SettingsFile.h"
#include "settings/SettingsModel.h"
#include "shared/SharedBlock.h"

SettingsModel ModelOfBlock(const SharedBlock& block);

// The whole file in the system's code page, as a save writes it.
std::string FormatSystem(const SettingsModel& model);

SettingsModel LoadFile(const std::string& path, LoadedFile& loaded);

// Names of the files in a folder, sorted.
std::vector<std::string> FilesIn(const std::string& folder);
