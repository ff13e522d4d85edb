#pragma once
// A private shared block for tests of the settings module's own functions,
// and what a test needs to look at the list the module built in it.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "settings/SettingsModel.h"
#include "shared/SharedBlock.h"

// A zero-filled block whose iniPath names path; frees its rule list on scope exit.
class TestBlock {
 public:
  explicit TestBlock(const std::string& iniPath);
  ~TestBlock();
  TestBlock(const TestBlock&) = delete;
  TestBlock& operator=(const TestBlock&) = delete;
  SharedBlock& operator*() { return *block_; }
  SharedBlock* operator->() { return block_.get(); }
  // Frees the rule list and switches monitoring off: the state of a fresh start.
  void Reset();

 private:
  std::unique_ptr<SharedBlock> block_;
};

void FreeBlockList(SharedBlock& block);

// The block's list and settings as a model, to compare with what was written.
SettingsModel ModelOfBlock(const SharedBlock& block);

// Names of the files in a folder, sorted.
std::vector<std::string> FilesIn(const std::string& folder);
