#pragma once
// What this module keeps in the shared block between its calls. The program
// loads and frees the module for every call, so nothing survives in the
// module itself; the block's reserved areas are the module's to use.
#include <cstddef>
#include <cstdint>

#include "shared/SharedBlock.h"

constexpr uint32_t kCompanionSignature = 0x534E4C50;  // "PLNS"

enum LoadStatus : uint8_t {
  kLoadNotRun = 0,
  kLoadNoFile = 1,      // first start: no settings file yet
  kLoadClean = 2,       // every value taken as written
  kLoadRepaired = 3,    // something could not be taken as written; a copy was kept
  kLoadUnreadable = 4,  // the file exists but could not be read; defaults in use
};

// In the block's reserved area at offset 1532 (112 bytes).
struct CompanionState {
  uint32_t signature;      // kCompanionSignature once ReadSetting has run on this block
  uint8_t loadStatus;      // LoadStatus of that reading
  uint8_t copyBeforeSave;  // the file on disk was not read: keep a copy before replacing it
  uint8_t reserved6[2];
  char damagedCopy[48];    // name suffix of the copy kept of a damaged file ("damaged-..."), or empty
  uint8_t reserved56[56];
};
static_assert(offsetof(SharedBlock, reserved1532) == 1532);
static_assert(offsetof(CompanionState, signature) == 0);
static_assert(offsetof(CompanionState, loadStatus) == 4);
static_assert(offsetof(CompanionState, copyBeforeSave) == 5);
static_assert(offsetof(CompanionState, damagedCopy) == 8);
static_assert(offsetof(CompanionState, reserved56) == 56);

inline CompanionState LoadCompanionState(const SharedBlock& block) {
  return LoadReserved<CompanionState>(block.reserved1532);
}

inline void StoreCompanionState(SharedBlock& block, const CompanionState& state) {
  StoreReserved(block.reserved1532, state);
}

// The user's "open the settings at start" preference travels with the
// settings (pendingSettings to activeSettings), in a reserved byte of the
// record; the block's own openSettingsAtStart is this start's request.
constexpr size_t kOpenAtStartOffset = 7;
static_assert(offsetof(SettingsRecord, reserved7) == kOpenAtStartOffset);
inline uint8_t& OpenAtStartPreference(SettingsRecord& settings) { return settings.reserved7[0]; }
inline uint8_t OpenAtStartPreference(const SettingsRecord& settings) { return settings.reserved7[0]; }
