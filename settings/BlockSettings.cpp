#include "settings/BlockSettings.h"

#include <cstring>
#include <string>

#include "settings/CompanionState.h"
#include "settings/SettingsFormat.h"

namespace {

std::string IniPathOf(const SharedBlock& block) {
  const void* nul = std::memchr(block.iniPath, 0, sizeof block.iniPath);
  if (!nul) return std::string();  // a path without its end is no path
  return std::string(block.iniPath);
}

struct BuiltList {
  TargetEntry* targets = nullptr;
  int32_t count = 0;
};

// Every array is a zero-filled process-heap block of exactly its count, as
// the program's own rule list is, so the program frees it as its own.
bool BuildTargetList(const SettingsModel& model, BuiltList& list) {
  list = BuiltList{};
  const size_t count = model.targets.size();
  if (count == 0) return true;
  HANDLE heap = GetProcessHeap();
  auto* targets = static_cast<TargetEntry*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, count * sizeof(TargetEntry)));
  if (!targets) return false;
  bool complete = true;
  for (size_t i = 0; i < count; ++i) {
    const TargetRules& rules = model.targets[i];
    targets[i].record = rules.record;
    if (rules.children.empty()) continue;
    const size_t bytes = rules.children.size() * sizeof(TargetRecord);
    void* children = HeapAlloc(heap, HEAP_ZERO_MEMORY, bytes);
    if (!children) {
      complete = false;
      continue;
    }
    std::memcpy(children, rules.children.data(), bytes);
    targets[i].NumOfChildren = static_cast<int32_t>(rules.children.size());
    targets[i].children = PointerValue(children);
  }
  list.targets = targets;
  list.count = static_cast<int32_t>(count);
  return complete;
}

void FreeTargetList(TargetEntry* targets, int32_t count) {
  if (!targets) return;
  HANDLE heap = GetProcessHeap();
  for (int32_t i = 0; i < count; ++i) {
    if (targets[i].children) HeapFree(heap, 0, ChildrenOf(&targets[i]));
  }
  HeapFree(heap, 0, targets);
}

void CopyStamp(CompanionState& state, const std::string& suffix) {
  std::memset(state.damagedCopy, 0, sizeof state.damagedCopy);
  std::memcpy(state.damagedCopy, suffix.data(),
              suffix.size() < sizeof state.damagedCopy ? suffix.size() : sizeof state.damagedCopy - 1);
}

// Decides the outcome of a reading and keeps the copy of a damaged file.
CompanionState Outcome(const std::string& path, LoadedFile& loaded) {
  CompanionState state = {};
  state.signature = kCompanionSignature;
  std::string copy;
  switch (loaded.read) {
    case FileRead::kMissing:
      state.loadStatus = kLoadNoFile;
      return state;
    case FileRead::kFailed:
      // Nothing of it is in the block: before a save replaces it, it is set
      // aside, or the save does not happen.
      state.loadStatus = kLoadUnreadable;
      state.copyBeforeSave = 1;
      return state;
    case FileRead::kTooLarge:
      copy = KeepDamagedCopyOfFile(path);
      break;
    case FileRead::kRead:
      if (!loaded.report.damaged) {
        state.loadStatus = kLoadClean;
        return state;
      }
      copy = KeepDamagedCopy(path, loaded.bytes);
      break;
  }
  state.loadStatus = kLoadRepaired;
  state.copyBeforeSave = copy.empty() ? 1 : 0;
  CopyStamp(state, copy);
  return state;
}

}  // namespace

void ReadSettingIntoBlock(SharedBlock& block) {
  const std::string path = IniPathOf(block);
  if (path.empty() || block.monitoringEnabled) return;

  SettingsModel model;
  LoadedFile loaded = LoadSettingsFile(path, model);
  BuiltList list;
  const bool complete = BuildTargetList(model, list);
  CompanionState state;
  try {
    if (!complete) loaded.report.Note("memory", "not every rule could be held");
    state = Outcome(path, loaded);
  } catch (...) {
    FreeTargetList(list.targets, list.count);
    throw;
  }

  SettingsRecord settings;
  std::memset(&settings, 0, sizeof settings);
  settings.monitorInterval = model.general.monitorInterval;
  settings.reapplyOnWorkAreaChange = model.general.reapplyOnWorkAreaChange ? 1 : 0;
  OpenAtStartPreference(settings) = model.general.openSettingsAtStart ? 1 : 0;
  block.activeSettings = settings;
  block.pendingSettings = settings;

  TargetEntry* oldTargets = TargetsOf(&block);
  const int32_t oldCount = block.NumOfTargets;
  block.targets = PointerValue(list.targets);
  block.NumOfTargets = list.count;
  FreeTargetList(oldTargets, oldCount);

  StoreCompanionState(block, state);
  // The first start shows the settings once; the saved preference stays off.
  block.openSettingsAtStart = (model.general.openSettingsAtStart || state.loadStatus == kLoadNoFile) ? 1 : 0;
  // Last: the list is whole before anything may start a monitor on it.
  block.monitoringEnabled = model.general.monitoringEnabled ? 1 : 0;
}

SettingsModel SnapshotOfBlock(const SharedBlock& block) {
  SettingsModel model;
  model.general.monitorInterval = block.activeSettings.monitorInterval;
  model.general.reapplyOnWorkAreaChange = block.activeSettings.reapplyOnWorkAreaChange ? 1 : 0;
  model.general.openSettingsAtStart = OpenAtStartPreference(block.activeSettings) ? 1 : 0;
  model.general.monitoringEnabled = block.monitoringEnabled ? 1 : 0;
  const TargetEntry* targets = TargetsOf(&block);
  if (!targets || block.NumOfTargets <= 0) return model;
  model.targets.reserve(static_cast<size_t>(block.NumOfTargets));
  for (int32_t i = 0; i < block.NumOfTargets; ++i) {
    TargetRules rules{targets[i].record, {}};
    const TargetRecord* children = ChildrenOf(&targets[i]);
    if (children && targets[i].NumOfChildren > 0) rules.children.assign(children, children + targets[i].NumOfChildren);
    model.targets.push_back(std::move(rules));
  }
  return model;
}

bool WriteSettingFromBlock(SharedBlock& block, const FileSteps& steps) {
  const std::string path = IniPathOf(block);
  if (path.empty() || LoadCompanionState(block).signature != kCompanionSignature) return false;
  const std::string text = FormatSettingsFile(SnapshotOfBlock(block), SystemCharset().Get());
  SaveLock lock(path);
  if (!lock.Held()) return false;
  // Read under the lock: another save may have set the file aside already.
  CompanionState state = LoadCompanionState(block);
  const bool saved = ReplaceSettingsFile(path, text, state.copyBeforeSave != 0, steps);
  if (saved && state.copyBeforeSave) {
    state.copyBeforeSave = 0;
    StoreCompanionState(block, state);
  }
  return saved;
}
