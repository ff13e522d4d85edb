#pragma once
// What the settings window remembers between two openings. The module is
// loaded for each call and freed after it, so this lives in the block's
// reserved area at offset 1508 (20 bytes), which the program never touches.
#include <cstddef>
#include <cstdint>

#include "shared/SharedBlock.h"

constexpr uint32_t kWindowMemorySignature = 0x574E4C50;  // "PLNW"

struct WindowMemory {
  uint32_t signature;  // kWindowMemorySignature once a window has closed
  int32_t propertyX;   // the settings window's last top-left corner
  int32_t propertyY;
  uint8_t reserved12[8];
};
static_assert(offsetof(SharedBlock, reserved1508) == 1508);
static_assert(offsetof(WindowMemory, signature) == 0);
static_assert(offsetof(WindowMemory, propertyX) == 4);
static_assert(offsetof(WindowMemory, propertyY) == 8);
static_assert(offsetof(WindowMemory, reserved12) == 12);

inline WindowMemory LoadWindowMemory(const SharedBlock& block) { return LoadReserved<WindowMemory>(block.reserved1508); }

inline void StoreWindowMemory(SharedBlock& block, const WindowMemory& memory) {
  StoreReserved(block.reserved1508, memory);
}
