#pragma once
// The named shared-memory block: the program's state as the settings module
// and a second instance see it. A 32-bit layout; handles and pointers are
// stored as 32-bit values so that the layout never depends on the compiler.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "shared/TargetRecord.h"

constexpr char kBlockName[] = "PlenaraFileMapping";
constexpr uint32_t kBlockSize = 2424;

struct SettingsRecord {
  int32_t monitorInterval;
  uint8_t reserved4[2];
  uint8_t reapplyOnWorkAreaChange;
  uint8_t reserved7[153];
};
static_assert(sizeof(SettingsRecord) == 160);
static_assert(offsetof(SettingsRecord, monitorInterval) == 0);
static_assert(offsetof(SettingsRecord, reserved4) == 4);
static_assert(offsetof(SettingsRecord, reapplyOnWorkAreaChange) == 6);
static_assert(offsetof(SettingsRecord, reserved7) == 7);

struct TargetEntry {
  TargetRecord record;
  int32_t NumOfChildren;
  uint32_t children;  // TargetRecord[NumOfChildren] on the process heap, or 0
};
static_assert(sizeof(TargetEntry) == 444);
static_assert(offsetof(TargetEntry, record) == 0);
static_assert(offsetof(TargetEntry, NumOfChildren) == 436);
static_assert(offsetof(TargetEntry, children) == 440);

struct SharedBlock {
  char userName[128];
  char productName[64];
  char moduleDir[260];
  char modulePath[260];
  char iniPath[260];
  char helpPath[260];
  char companionPath[260];
  uint32_t mainWindow;
  uint8_t monitoringEnabled;
  uint8_t reserved1497[3];
  uint8_t openSettingsAtStart;
  uint8_t reserved1501[3];
  uint32_t propertyWindow;
  uint8_t reserved1508[20];
  uint32_t aboutWindow;
  uint8_t reserved1532[112];
  SettingsRecord activeSettings;
  SettingsRecord pendingSettings;
  int32_t NumOfTargets;
  uint32_t targets;  // TargetEntry[NumOfTargets] on the process heap, or 0
  TargetRecord transferRecord;
  int32_t trackedCount;
  uint32_t tracked;  // TrackedWindow[trackedCount] on the C run-time heap, or 0
  uint8_t reserved2416[8];
};
static_assert(sizeof(SharedBlock) == kBlockSize);
static_assert(offsetof(SharedBlock, userName) == 0);
static_assert(offsetof(SharedBlock, productName) == 128);
static_assert(offsetof(SharedBlock, moduleDir) == 192);
static_assert(offsetof(SharedBlock, modulePath) == 452);
static_assert(offsetof(SharedBlock, iniPath) == 712);
static_assert(offsetof(SharedBlock, helpPath) == 972);
static_assert(offsetof(SharedBlock, companionPath) == 1232);
static_assert(offsetof(SharedBlock, mainWindow) == 1492);
static_assert(offsetof(SharedBlock, monitoringEnabled) == 1496);
static_assert(offsetof(SharedBlock, reserved1497) == 1497);
static_assert(offsetof(SharedBlock, openSettingsAtStart) == 1500);
static_assert(offsetof(SharedBlock, reserved1501) == 1501);
static_assert(offsetof(SharedBlock, propertyWindow) == 1504);
static_assert(offsetof(SharedBlock, reserved1508) == 1508);
static_assert(offsetof(SharedBlock, aboutWindow) == 1528);
static_assert(offsetof(SharedBlock, reserved1532) == 1532);
static_assert(offsetof(SharedBlock, activeSettings) == 1644);
static_assert(offsetof(SharedBlock, pendingSettings) == 1804);
static_assert(offsetof(SharedBlock, NumOfTargets) == 1964);
static_assert(offsetof(SharedBlock, targets) == 1968);
static_assert(offsetof(SharedBlock, transferRecord) == 1972);
static_assert(offsetof(SharedBlock, trackedCount) == 2408);
static_assert(offsetof(SharedBlock, tracked) == 2412);
static_assert(offsetof(SharedBlock, reserved2416) == 2416);
static_assert(offsetof(SharedBlock, activeSettings) + offsetof(SettingsRecord, reapplyOnWorkAreaChange) == 1650);

// The settings module keeps records of its own in the reserved areas (the
// program never reads them); T must fill the area exactly.
template <class T, size_t N>
T LoadReserved(const uint8_t (&area)[N]) {
  static_assert(sizeof(T) == N);
  T value;
  std::memcpy(&value, area, N);
  return value;
}
template <class T, size_t N>
void StoreReserved(uint8_t (&area)[N], const T& value) {
  static_assert(sizeof(T) == N);
  std::memcpy(area, &value, N);
}

// The one view pointer of this process: null until start-up has mapped it.
SharedBlock* Block();
void AttachBlock(SharedBlock* view);

#ifdef _WIN32
#include <windows.h>
static_assert(sizeof(void*) == 4, "the shared block is a 32-bit layout");

inline HWND HandleOf(uint32_t value) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(value)); }
inline uint32_t HandleValue(HWND window) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)); }
template <class T>
inline T* PointerOf(uint32_t value) { return reinterpret_cast<T*>(static_cast<uintptr_t>(value)); }
inline uint32_t PointerValue(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

inline TargetEntry* TargetsOf(const SharedBlock* b) { return PointerOf<TargetEntry>(b->targets); }
inline TargetRecord* ChildrenOf(const TargetEntry* e) { return PointerOf<TargetRecord>(e->children); }

extern "C" {
HANDLE WINAPI OpenSharedMemory(const char* name, void** view, uint32_t size, int32_t* alreadyExisted);
BOOL WINAPI CloseSharedMemory(HANDLE mapping, void* view);
}
#endif
