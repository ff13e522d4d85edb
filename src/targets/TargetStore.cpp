#include "targets/TargetStore.h"

#include <cstring>

#include "app/Commands.h"
#include "app/Monitoring.h"
#include "shared/SharedBlock.h"

namespace {

int g_failGrowths = 0;

// Every array is a zero-filled process-heap block of exactly its count.
void* GrowArray(uint32_t address, size_t bytes) {
  if (g_failGrowths > 0) {
    --g_failGrowths;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  void* old = PointerOf<void>(address);
  SetLastError(ERROR_SUCCESS);
  void* grown = old ? HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, old, bytes)
                    : HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes);
  // The heap does not always say why; the report needs a reason.
  if (!grown && GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return grown;
}

// A failed shrink keeps the old, larger block: it still holds the count.
uint32_t ShrinkArray(uint32_t address, size_t bytes) {
  void* old = PointerOf<void>(address);
  void* shrunk = old ? HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, old, bytes)
                     : HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes);
  return shrunk ? PointerValue(shrunk) : address;
}

int32_t ParentOf(LPARAM parent) { return static_cast<int32_t>(parent); }

bool IsTargetIndex(WPARAM index) {
  const int32_t count = Block()->NumOfTargets;
  return count > 0 && index < static_cast<WPARAM>(count);
}

// The record addressed by index and parent, or null when either is out of range.
TargetRecord* AddressedRecord(WPARAM index, LPARAM parent) {
  SharedBlock* block = Block();
  const int32_t p = ParentOf(parent);
  if (p < 0) return IsTargetIndex(index) ? &TargetsOf(block)[index].record : nullptr;
  if (!IsTargetIndex(static_cast<WPARAM>(p))) return nullptr;
  TargetEntry& entry = TargetsOf(block)[p];
  if (entry.NumOfChildren <= 0 || index >= static_cast<WPARAM>(entry.NumOfChildren)) return nullptr;
  return &ChildrenOf(&entry)[index];
}

void ReportFailedGrowth(const char* format, int32_t first, int32_t second, bool twoNumbers) {
  char* systemText = nullptr;
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, GetLastError(),
                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&systemText), 0, nullptr);
  const char* reason = systemText ? systemText : "";
  char text[4096];
  if (twoNumbers) {
    wsprintfA(text, format, first, second, reason);
  } else {
    wsprintfA(text, format, first, reason);
  }
  if (systemText) LocalFree(systemText);
  MessageBoxA(nullptr, text, nullptr, MB_OK);
}

LRESULT InsertTarget(uint32_t index) {
  SharedBlock* block = Block();
  const int32_t count = block->NumOfTargets;
  void* grown = GrowArray(block->targets, (count + 1) * sizeof(TargetEntry));
  if (!grown) {
    ReportFailedGrowth("NumOfTargets: %d, %s", count, 0, false);
    return -1;
  }
  block->targets = PointerValue(grown);
  TargetEntry* targets = TargetsOf(block);
  std::memmove(&targets[index + 1], &targets[index], (count - index) * sizeof(TargetEntry));
  std::memset(&targets[index], 0, sizeof(TargetEntry));
  targets[index].record = block->transferRecord;
  block->NumOfTargets = count + 1;
  return 0;
}

LRESULT InsertChild(uint32_t index, int32_t parent) {
  SharedBlock* block = Block();
  TargetEntry& entry = TargetsOf(block)[parent];
  const int32_t count = entry.NumOfChildren;
  void* grown = GrowArray(entry.children, (count + 1) * sizeof(TargetRecord));
  if (!grown) {
    ReportFailedGrowth("ParentNumber: %d, NumOfChildren: %d, %s", parent, count, true);
    return -1;
  }
  entry.children = PointerValue(grown);
  TargetRecord* children = ChildrenOf(&entry);
  std::memmove(&children[index + 1], &children[index], (count - index) * sizeof(TargetRecord));
  children[index] = block->transferRecord;
  entry.NumOfChildren = count + 1;
  return 0;
}

void DeleteTarget(uint32_t index) {
  SharedBlock* block = Block();
  TargetEntry* targets = TargetsOf(block);
  if (targets[index].children) HeapFree(GetProcessHeap(), 0, ChildrenOf(&targets[index]));
  const int32_t count = --block->NumOfTargets;
  std::memmove(&targets[index], &targets[index + 1], (count - index) * sizeof(TargetEntry));
  block->targets = ShrinkArray(block->targets, count * sizeof(TargetEntry));
}

void DeleteChild(uint32_t index, int32_t parent) {
  TargetEntry& entry = TargetsOf(Block())[parent];
  TargetRecord* children = ChildrenOf(&entry);
  const int32_t count = --entry.NumOfChildren;
  std::memmove(&children[index], &children[index + 1], (count - index) * sizeof(TargetRecord));
  entry.children = ShrinkArray(entry.children, count * sizeof(TargetRecord));
}

}  // namespace

void FailNextRuleGrowths(int count) { g_failGrowths = count; }

LRESULT GetRecord(WPARAM index, LPARAM parent) {
  const TargetRecord* record = AddressedRecord(index, parent);
  if (!record) return -1;
  Block()->transferRecord = *record;
  return 0;
}

LRESULT GetChildCount(WPARAM index, LPARAM) {
  if (!IsTargetIndex(index)) return 0;
  return TargetsOf(Block())[index].NumOfChildren;
}

LRESULT InsertRecord(WPARAM index, LPARAM parent) {
  SharedBlock* block = Block();
  const int32_t p = ParentOf(parent);
  if (p >= 0 && !IsTargetIndex(static_cast<WPARAM>(p))) return -1;
  const int32_t count = p < 0 ? block->NumOfTargets : TargetsOf(block)[p].NumOfChildren;
  if (index > static_cast<WPARAM>(count)) return -1;
  SuspendMonitor();
  const LRESULT result = p < 0 ? InsertTarget(static_cast<uint32_t>(index)) : InsertChild(static_cast<uint32_t>(index), p);
  ResumeMonitor();
  return result;
}

LRESULT DeleteRecord(WPARAM index, LPARAM parent) {
  if (!AddressedRecord(index, parent)) return -1;
  SuspendMonitor();
  const int32_t p = ParentOf(parent);
  if (p < 0) {
    DeleteTarget(static_cast<uint32_t>(index));
  } else {
    DeleteChild(static_cast<uint32_t>(index), p);
  }
  ResumeMonitor();
  return 0;
}

LRESULT SetRecord(WPARAM index, LPARAM parent) {
  TargetRecord* record = AddressedRecord(index, parent);
  if (!record) return -1;
  SuspendMonitor();
  *record = Block()->transferRecord;
  ResumeMonitor();
  return 0;
}

LRESULT ApplySettings(WPARAM, LPARAM) {
  SharedBlock* block = Block();
  SuspendMonitor();
  block->activeSettings = block->pendingSettings;
  if (HWND property = HandleOf(block->propertyWindow)) PostMessageA(property, kMsgStateChanged, 0, 0);
  ResumeMonitor();
  return 0;
}

void FreeTargets() {
  SharedBlock* block = Block();
  TargetEntry* targets = TargetsOf(block);
  for (int32_t i = 0; i < block->NumOfTargets; ++i) {
    if (targets[i].children) HeapFree(GetProcessHeap(), 0, ChildrenOf(&targets[i]));
  }
  if (targets) HeapFree(GetProcessHeap(), 0, targets);
  block->targets = 0;
  // A null array with a count left standing would invite a read of freed memory.
  block->NumOfTargets = 0;
}
