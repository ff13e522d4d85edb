#include "BlockHelpers.h"

#include <algorithm>
#include <cstring>

#include "settings/BlockSettings.h"

TestBlock::TestBlock(const std::string& iniPath) : block_(new SharedBlock()) {
  std::memset(block_.get(), 0, sizeof(SharedBlock));
  std::strncpy(block_->iniPath, iniPath.c_str(), sizeof block_->iniPath - 1);
}

TestBlock::~TestBlock() { FreeBlockList(*block_); }

void TestBlock::Reset() {
  FreeBlockList(*block_);
  block_->monitoringEnabled = 0;
}

void FreeBlockList(SharedBlock& block) {
  TargetEntry* targets = TargetsOf(&block);
  for (int32_t i = 0; targets && i < block.NumOfTargets; ++i) {
    if (targets[i].children) HeapFree(GetProcessHeap(), 0, ChildrenOf(&targets[i]));
  }
  if (targets) HeapFree(GetProcessHeap(), 0, targets);
  block.targets = 0;
  block.NumOfTargets = 0;
}

SettingsModel ModelOfBlock(const SharedBlock& block) { return SnapshotOfBlock(block); }

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}
