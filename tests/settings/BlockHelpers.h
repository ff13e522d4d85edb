#pragma once
// A private shared block for tests of the settings module's own functions,
// and what a test needs to compare it with the file.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "settings/SettingsFile.h"
#include "settings/SettingsModel.h"
#include "shared/SharedBlock.h"

// A zero-filled block whose iniPath names path; frees its rule list on scope exit.
class TestBlock {
 public:
  explicit TestBlock(const std::string& iniPath);
  ~TestBlock() { Reset(); }
  SharedBlock& operator*() { return *block_; }
  SharedBlock* operator->() { return block_.get(); }
  // Frees the rule list and switches monitoring off: the state of a fresh start.
  void Reset();

 private:
  std::unique_ptr<SharedBlock> block_;
};

SettingsModel ModelOfBlock(const SharedBlock& block);

// The whole file in the system's code page, as a save writes it.
std::string FormatSystem(const SettingsModel& model);

SettingsModel LoadFile(const std::string& path, LoadedFile& loaded);

// Names of the files in a folder, sorted.
std::vector<std::string> FilesIn(const std::string& folder);
