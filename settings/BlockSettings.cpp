#include "settings/BlockSettings.h"

#include <cstring>

#include "settings/CompanionState.h"
#include "settings/SettingsFormat.h"

namespace {

// The block's iniPath, or null when it holds none (or one without its end).
const char* IniPathOf(const SharedBlock& block) {
  if (!std::memchr(block.iniPath, 0, sizeof block.iniPath) || !block.iniPath[0]) return nullptr;
  return block.iniPath;
}

struct BuiltList {
  TargetEntry* targets = nullptr;
  int32_t count = 0;
};

// The list is built here, straight on the process heap, rather than through
// the main window's WM_USER+2: one exactly sized array instead of thousands
// of reallocations, no message box of a failed insertion inside WM_CREATE,
// and the list appears whole or not at all. Every array is a zero-filled
// process-heap block of exactly its count, as the program's own rule list
// is, so the program frees it as its own.
bool BuildTargetList(const SettingsModel& model, BuiltList& list) {
  list = BuiltList{};
  const size_t count = model.targets.Size();
  if (count == 0) return true;
  HANDLE heap = GetProcessHeap();
  auto* targets = static_cast<TargetEntry*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, count * sizeof(TargetEntry)));
  if (!targets) return false;
  bool complete = true;
  for (size_t i = 0; i < count; ++i) {
    const TargetRules& rules = model.targets[i];
    targets[i].record = rules.record;
    if (rules.children.Empty()) continue;
    const size_t bytes = rules.children.Size() * sizeof(TargetRecord);
    void* children = HeapAlloc(heap, HEAP_ZERO_MEMORY, bytes);
    if (!children) {
      complete = false;
      continue;
    }
    std::memcpy(children, rules.children.Data(), bytes);
    targets[i].NumOfChildren = static_cast<int32_t>(rules.children.Size());
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

// Decides the outcome of a reading and keeps the copy of a damaged file.
CompanionState Outcome(const char* path, const LoadedFile& loaded) {
  CompanionState state = {};
  state.signature = kCompanionSignature;
  char suffix[kCopySuffixSize] = {};
  bool copied = false;
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
      copied = KeepDamagedCopyOfFile(path, suffix);
      break;
    case FileRead::kRead:
      if (!loaded.report.damaged) {
        state.loadStatus = kLoadClean;
        return state;
      }
      copied = KeepDamagedCopy(path, loaded.bytes.View(), suffix);
      break;
  }
  state.loadStatus = kLoadRepaired;
  state.copyBeforeSave = copied ? 0 : 1;
  static_assert(sizeof suffix <= sizeof state.damagedCopy);
  std::memcpy(state.damagedCopy, suffix, sizeof suffix);
  return state;
}

}  // namespace

void ReadSettingIntoBlock(SharedBlock& block) {
  const char* path = IniPathOf(block);
  if (!path || block.monitoringEnabled) return;

  SettingsModel model;
  LoadedFile loaded;
  LoadSettingsFile(path, model, loaded);
  BuiltList list;
  if (!BuildTargetList(model, list)) loaded.report.Note("memory", "not every rule could be held");
  const CompanionState state = Outcome(path, loaded);

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

bool SnapshotOfBlock(const SharedBlock& block, SettingsModel& model) {
  model = SettingsModel{};
  model.general.monitorInterval = block.activeSettings.monitorInterval;
  model.general.reapplyOnWorkAreaChange = block.activeSettings.reapplyOnWorkAreaChange ? 1 : 0;
  model.general.openSettingsAtStart = OpenAtStartPreference(block.activeSettings) ? 1 : 0;
  model.general.monitoringEnabled = block.monitoringEnabled ? 1 : 0;
  const TargetEntry* targets = TargetsOf(&block);
  if (!targets || block.NumOfTargets <= 0) return true;
  if (!model.targets.Reserve(static_cast<size_t>(block.NumOfTargets))) return false;
  for (int32_t i = 0; i < block.NumOfTargets; ++i) {
    if (!AddTarget(model, targets[i].record)) return false;
    const TargetRecord* children = ChildrenOf(&targets[i]);
    if (!children || targets[i].NumOfChildren <= 0) continue;
    TargetRules& rules = model.targets[model.targets.Size() - 1];
    if (!rules.children.Reserve(static_cast<size_t>(targets[i].NumOfChildren))) return false;
    for (int32_t c = 0; c < targets[i].NumOfChildren; ++c) AddChild(rules, children[c]);
  }
  return true;
}

bool WriteSettingFromBlock(SharedBlock& block, const FileSteps& steps) {
  const char* path = IniPathOf(block);
  if (!path || LoadCompanionState(block).signature != kCompanionSignature) return false;
  SaveLock lock(path);
  if (!lock.Held()) return false;
  // The state as it is once the lock is ours: a save that waited for another
  // one writes what came after it, never what came before.
  SettingsModel model;
  TextBuffer text;
  SystemCharset charset;
  if (!SnapshotOfBlock(block, model) || !FormatSettingsFile(model, charset.Get(), text)) return false;
  // Read under the lock: another save may have set the file aside already.
  CompanionState state = LoadCompanionState(block);
  const bool saved = ReplaceSettingsFile(path, text.View(), state.copyBeforeSave != 0, steps);
  if (saved && state.copyBeforeSave) {
    state.copyBeforeSave = 0;
    StoreCompanionState(block, state);
  }
  return saved;
}
