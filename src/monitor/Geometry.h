#pragma once
// The placement arithmetic: signed 32-bit with wrap-around, as the rules have
// always computed it, but without undefined behaviour.
#include <cstdint>

#include "shared/TargetRecord.h"

struct Box {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
};

// (a * b + 50) / 100, product and sum wrapping at 32 bits, division toward zero.
int32_t PercentOf(int32_t a, int32_t b);

// New width or height from the reference extent, the current size and the
// SizeSpec; never negative.
int32_t ComputeSize(int32_t referenceExtent, int32_t currentSize, const SizeSpec& spec);

// New x or y from the reference origin and extent, the current position,
// the new size and the PositionSpec; not clamped.
int32_t ComputePosition(int32_t origin, int32_t extent, int32_t current, int32_t newSize, const PositionSpec& spec);

// The box a rule asks for: size first, then position (which uses the new size).
Box ComputePlacement(const Box& reference, const Box& box, const TargetRecord& record);
