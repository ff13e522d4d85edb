#include "BlockHelpers.h"

#include <algorithm>
#include <cstring>

#include "SampleSettings.h"
#include "settings/BlockSettings.h"

TestBlock::TestBlock(const std::string& iniPath) : block_(new SharedBlock()) {
  std::memset(block_.get(), 0, sizeof(SharedBlock));
  std::strncpy(block_->iniPath, iniPath.c_str(), sizeof block_->iniPath - 1);
}

void TestBlock::Reset() {
  TargetEntry* targets = TargetsOf(block_.get());
  for (int32_t i = 0; targets && i < block_->NumOfTargets; ++i) {
    if (targets[i].children) HeapFree(GetProcessHeap(), 0, ChildrenOf(&targets[i]));
  }
  if (targets) HeapFree(GetProcessHeap(), 0, targets);
  block_->targets = 0;
  block_->NumOfTargets = 0;
  block_->monitoringEnabled = 0;
}

SettingsModel ModelOfBlock(const SharedBlock& block) {
  SettingsModel model;
  SnapshotOfBlock(block, model);
  return model;
}

std::string FormatSystem(const SettingsModel& model) {
  SystemCharset charset;
  return FormatText(model, charset.Get());
}

SettingsModel LoadFile(const std::string& path, LoadedFile& loaded) {
  SettingsModel model;
  LoadSettingsFile(path.c_str(), model, loaded);
  return model;
}

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
