#include "monitor/Geometry.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

SizeSpec Size(uint8_t mode, int32_t value) { return {mode, {0xAA, 0xBB, 0xCC}, value}; }
PositionSpec Pos(uint8_t anchor, uint8_t kind, int32_t value = 0) { return {anchor, kind, {0xAA, 0xBB}, value}; }

void ExpectBox(const Box& box, int32_t x, int32_t y, int32_t width, int32_t height) {
  EXPECT_EQ(box.x, x);
  EXPECT_EQ(box.y, y);
  EXPECT_EQ(box.width, width);
  EXPECT_EQ(box.height, height);
}

TEST(PercentOf, RoundsHalvesUpTruncatesTowardZeroAndWrapsAt32Bits) {
  const struct { int32_t a, b, want; } kCases[] = {
      {333, 50, 167}, {999, 33, 330}, {801, 50, 401}, {0, 50, 0}, {-149, 1, 0}, {-151, 1, -1},
      {-1000, 50, -499}, {1000, -50, -499},
      {kMax, kMax, 0}, {kMax, 2, 0}, {kMax, 1, -21474835}, {kMin, 1, -21474835}, {kMin, -1, -21474835},
      {100000, 100000, 14100654},  // 10^10 mod 2^32 = 1410065408
      {65536, 65536, 0}};
  for (const auto& c : kCases) EXPECT_EQ(PercentOf(c.a, c.b), c.want) << c.a << " " << c.b;
}

TEST(ComputeSize, ModesNeverNegative) {
  const struct { int32_t extent, current; uint8_t mode; int32_t value, want; } kCases[] = {
      {800, 123, kSizeKeep, 999, 123}, {800, 123, kSizeAbsolute, 300, 300}, {800, 123, kSizeExtentMinus, 100, 700},
      {800, 123, kSizePercent, 25, 200}, {800, 123, kSizeExtentMinus, 801, 0}, {800, 123, kSizeAbsolute, -5, 0},
      {800, 123, kSizePercent, -10, 0}, {800, -4, kSizeKeep, 0, 0},
      {kMax, 0, kSizeExtentMinus, -1, 0}, {kMin, 0, kSizeExtentMinus, 1, kMax}, {kMax, 0, kSizePercent, kMax, 0}};
  for (const auto& c : kCases) {
    EXPECT_EQ(ComputeSize(c.extent, c.current, Size(c.mode, c.value)), c.want) << c.extent << " " << int(c.mode);
  }
  for (unsigned mode = 4; mode <= 255; ++mode) {
    EXPECT_EQ(ComputeSize(800, 123, Size(static_cast<uint8_t>(mode), 300)), 0) << mode;
  }
}

TEST(ComputePosition, AnchorsOffsetsOriginsAndWrap) {
  const struct { int32_t origin, extent, current, size; PositionSpec spec; int32_t want; } kCases[] = {
      // Work area (100, 0, 700, 600), window 300 wide: only flush counts from the origin.
      {100, 700, 55, 300, Pos(kAnchorNear, kOffsetFlush), 100},
      {100, 700, 55, 300, Pos(kAnchorNear, kOffsetPixels, 20), 20},
      {100, 700, 55, 300, Pos(kAnchorNear, kOffsetPercent, 10), 70},
      {100, 700, 55, 300, Pos(kAnchorFar, kOffsetFlush), 500},
      {100, 700, 55, 300, Pos(kAnchorFar, kOffsetPixels, 25), 375},
      {100, 700, 55, 300, Pos(kAnchorFar, kOffsetPercent, 10), 330},
      // Not clamped.
      {0, 800, 0, 1000, Pos(kAnchorFar, kOffsetFlush), -200},
      {0, 800, 0, 300, Pos(kAnchorNear, kOffsetPixels, -50), -50},
      {0, 800, -70, 300, Pos(kAnchorKeep, kOffsetFlush), -70},
      // A monitor left of and above the primary: (-1280, -200, 1280, 1024).
      {-1280, 1280, 0, 300, Pos(kAnchorNear, kOffsetFlush), -1280},
      {-1280, 1280, 0, 300, Pos(kAnchorFar, kOffsetFlush), -300},
      {-200, 1024, 0, 100, Pos(kAnchorFar, kOffsetFlush), 724},
      {-1280, 1280, 0, 300, Pos(kAnchorFar, kOffsetPixels, 10), 970},
      {-1280, 1280, 0, 300, Pos(kAnchorNear, kOffsetPercent, 50), 640},
      // Sums wrap without overflow.
      {kMax, 1, 0, 0, Pos(kAnchorFar, kOffsetFlush), kMin}, {kMin, 0, 0, 1, Pos(kAnchorFar, kOffsetFlush), kMax},
      {0, kMin, 0, 1, Pos(kAnchorFar, kOffsetPixels, 0), kMax},
      {0, 0, 0, 0, Pos(kAnchorFar, kOffsetPixels, kMin), kMin},
      {0, kMax, 0, kMax, Pos(kAnchorFar, kOffsetPercent, kMax), 0},
      {0, kMax, 0, kMin, Pos(kAnchorFar, kOffsetPixels, 0), -1}};
  for (const auto& c : kCases) {
    EXPECT_EQ(ComputePosition(c.origin, c.extent, c.current, c.size, c.spec), c.want)
        << c.origin << " " << c.extent << " anchor " << int(c.spec.anchor) << " kind " << int(c.spec.offsetKind);
  }
  for (unsigned kind = 0; kind <= 255; ++kind) {
    const uint8_t k = static_cast<uint8_t>(kind);
    EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(kAnchorKeep, k, 9)), 55);
    EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(3, k, 9)), 0);
    EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(0xFF, k, 9)), 0);
    if (kind >= 3) {
      EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(kAnchorFar, k, 9)), 0);
    }
  }
}

TEST(ComputePlacement, SizeFirstThenPositionAndOnlyWhatIsAsked) {
  TargetRecord rule = {};
  rule.sizeAction = kSizeSet;
  rule.widthSpec = Size(kSizeAbsolute, 300);
  rule.positionAction = kPositionSet;
  rule.xSpec = Pos(kAnchorFar, kOffsetFlush);
  // The far edge uses the new width; the height and y are kept.
  ExpectBox(ComputePlacement({100, 0, 700, 600}, {10, 20, 640, 480}, rule), 500, 20, 300, 480);
  ExpectBox(ComputePlacement({-1280, -200, 1280, 1024}, {10, 20, 640, 480}, rule), -300, 20, 300, 480);
  // An MDI client's area has origin 0.
  rule.widthSpec = Size(kSizePercent, 50);
  rule.heightSpec = Size(kSizeExtentMinus, 100);
  rule.ySpec = Pos(kAnchorNear, kOffsetFlush);
  ExpectBox(ComputePlacement({0, 0, 500, 400}, {30, 40, 100, 100}, rule), 250, 0, 250, 300);
  // Maximize with a position: moved with its current size, then maximized.
  rule.sizeAction = kSizeMaximize;
  rule.ySpec = Pos(kAnchorNear, kOffsetPixels, 5);
  ExpectBox(ComputePlacement({0, 0, 800, 600}, {10, 20, 640, 480}, rule), 160, 5, 640, 480);
  // Maximize, minimize and unknown actions change neither size nor position.
  for (uint8_t action : {uint8_t{0}, uint8_t{kSizeMaximize}, uint8_t{kSizeMinimize}, uint8_t{9}}) {
    rule.sizeAction = action;
    rule.positionAction = action;
    ExpectBox(ComputePlacement({0, 0, 800, 600}, {10, 20, 640, 480}, rule), 10, 20, 640, 480);
  }
}

}  // namespace
