#include "monitor/Geometry.h"

namespace {

// Rules have always computed in 32-bit two's complement and wrapped; doing
// the sums and products on unsigned values keeps that result without the
// undefined behaviour of signed overflow.
int32_t Wrap(uint32_t value) {
  return value <= 0x7FFFFFFFu ? static_cast<int32_t>(value)
                              : static_cast<int32_t>(value - 0x80000000u) - 0x7FFFFFFF - 1;
}

uint32_t Bits(int32_t value) { return static_cast<uint32_t>(value); }

int32_t Add(int32_t a, int32_t b) { return Wrap(Bits(a) + Bits(b)); }

int32_t Sub(int32_t a, int32_t b) { return Wrap(Bits(a) - Bits(b)); }

}  // namespace

int32_t PercentOf(int32_t a, int32_t b) {
  // INT32_MIN / 100 cannot overflow: only a divisor of -1 could.
  return Wrap(Bits(a) * Bits(b) + 50u) / 100;
}

int32_t ComputeSize(int32_t referenceExtent, int32_t currentSize, const SizeSpec& spec) {
  int32_t size = 0;
  switch (spec.mode) {
    case kSizeKeep:
      size = currentSize;
      break;
    case kSizeAbsolute:
      size = spec.value;
      break;
    case kSizeExtentMinus:
      size = Sub(referenceExtent, spec.value);
      break;
    case kSizePercent:
      size = PercentOf(referenceExtent, spec.value);
      break;
    default:
      break;
  }
  return size < 0 ? 0 : size;
}

int32_t ComputePosition(int32_t origin, int32_t extent, int32_t current, int32_t newSize, const PositionSpec& spec) {
  if (spec.anchor == kAnchorKeep) return current;
  // Every offset counts from the reference's own edge, so a taskbar on the
  // left or at the top moves "10 pixels from the left" along with the area.
  if (spec.anchor == kAnchorNear) {
    switch (spec.offsetKind) {
      case kOffsetFlush:
        return origin;
      case kOffsetPixels:
        return Add(origin, spec.value);
      case kOffsetPercent:
        return Add(origin, PercentOf(extent, spec.value));
      default:
        return 0;
    }
  }
  if (spec.anchor == kAnchorFar) {
    const int32_t farthest = Add(origin, Sub(extent, newSize));
    switch (spec.offsetKind) {
      case kOffsetFlush:
        return farthest;
      case kOffsetPixels:
        return Sub(farthest, spec.value);
      case kOffsetPercent:
        return Sub(farthest, PercentOf(extent, spec.value));
      default:
        return 0;
    }
  }
  return 0;
}

Box ComputePlacement(const Box& reference, const Box& box, const TargetRecord& record) {
  Box placed = box;
  if (record.sizeAction == kSizeSet) {
    placed.width = ComputeSize(reference.width, box.width, record.widthSpec);
    placed.height = ComputeSize(reference.height, box.height, record.heightSpec);
  }
  if (record.positionAction == kPositionSet) {
    placed.x = ComputePosition(reference.x, reference.width, box.x, placed.width, record.xSpec);
    placed.y = ComputePosition(reference.y, reference.height, box.y, placed.height, record.ySpec);
  }
  return placed;
}
