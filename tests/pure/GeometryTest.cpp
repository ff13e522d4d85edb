#include "monitor/Geometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

SizeSpec Size(uint8_t mode, int32_t value) { return {mode, {0xAA, 0xBB, 0xCC}, value}; }

PositionSpec Pos(uint8_t anchor, uint8_t kind, int32_t value = 0) { return {anchor, kind, {0xAA, 0xBB}, value}; }

TargetRecord Rule() {
  TargetRecord record;
  std::memset(&record, 0, sizeof record);
  return record;
}

void ExpectBox(const Box& box, int32_t x, int32_t y, int32_t width, int32_t height) {
  EXPECT_EQ(box.x, x);
  EXPECT_EQ(box.y, y);
  EXPECT_EQ(box.width, width);
  EXPECT_EQ(box.height, height);
}

TEST(PercentOf, RoundsHalvesUpAndTruncatesNegativesTowardZero) {
  EXPECT_EQ(PercentOf(333, 50), 167);
  EXPECT_EQ(PercentOf(999, 33), 330);
  EXPECT_EQ(PercentOf(800, 50), 400);
  EXPECT_EQ(PercentOf(801, 50), 401);
  EXPECT_EQ(PercentOf(0, 50), 0);
  EXPECT_EQ(PercentOf(-149, 1), 0);
  EXPECT_EQ(PercentOf(-151, 1), -1);
  EXPECT_EQ(PercentOf(-1000, 50), -499);
  EXPECT_EQ(PercentOf(1000, -50), -499);
}

TEST(PercentOf, WrapsLikeThirtyTwoBitArithmetic) {
  EXPECT_EQ(PercentOf(kMax, kMax), 0);                // product's low bits are 1
  EXPECT_EQ(PercentOf(kMax, 2), 0);                   // -2 + 50
  EXPECT_EQ(PercentOf(kMax, 1), -21474835);           // the +50 wraps
  EXPECT_EQ(PercentOf(kMin, 1), -21474835);
  EXPECT_EQ(PercentOf(kMin, -1), -21474835);          // -INT32_MIN wraps to itself
  EXPECT_EQ(PercentOf(100000, 100000), 14100654);     // 10^10 mod 2^32 = 1410065408
  EXPECT_EQ(PercentOf(65536, 65536), 0);
}

TEST(ComputeSize, Modes) {
  EXPECT_EQ(ComputeSize(800, 123, Size(kSizeKeep, 999)), 123);
  EXPECT_EQ(ComputeSize(800, 123, Size(kSizeAbsolute, 300)), 300);
  EXPECT_EQ(ComputeSize(800, 123, Size(kSizeExtentMinus, 100)), 700);
  EXPECT_EQ(ComputeSize(800, 123, Size(kSizePercent, 25)), 200);
  EXPECT_EQ(ComputeSize(801, 123, Size(kSizePercent, 50)), 401);
  for (unsigned mode = 4; mode <= 255; ++mode) {
    EXPECT_EQ(ComputeSize(800, 123, Size(static_cast<uint8_t>(mode), 300)), 0) << mode;
  }
}

TEST(ComputeSize, NeverNegative) {
  EXPECT_EQ(ComputeSize(800, 123, Size(kSizeExtentMinus, 801)), 0);
  EXPECT_EQ(ComputeSize(800, 123, Size(kSizeAbsolute, -5)), 0);
  EXPECT_EQ(ComputeSize(800, 123, Size(kSizePercent, -10)), 0);
  EXPECT_EQ(ComputeSize(800, -4, Size(kSizeKeep, 0)), 0);
  EXPECT_EQ(ComputeSize(800, 123, Size(kSizeAbsolute, 0)), 0);
  // extent - value wrapping past either end.
  EXPECT_EQ(ComputeSize(kMax, 0, Size(kSizeExtentMinus, -1)), 0);
  EXPECT_EQ(ComputeSize(kMin, 0, Size(kSizeExtentMinus, 1)), kMax);
  EXPECT_EQ(ComputeSize(kMax, 0, Size(kSizePercent, kMax)), 0);
}

TEST(ComputePosition, NearEdgeFromOriginOnlyWhenFlush) {
  // Work area (100, 0, 700, 600), window 300 wide.
  EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(kAnchorNear, kOffsetFlush)), 100);
  EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(kAnchorNear, kOffsetPixels, 0)), 0);
  EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(kAnchorNear, kOffsetPixels, 20)), 20);
  EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(kAnchorNear, kOffsetPercent, 10)), 70);
}

TEST(ComputePosition, FarEdge) {
  EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(kAnchorFar, kOffsetFlush)), 500);
  EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(kAnchorFar, kOffsetPixels, 0)), 400);
  EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(kAnchorFar, kOffsetPixels, 25)), 375);
  EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(kAnchorFar, kOffsetPercent, 10)), 330);
  EXPECT_EQ(ComputePosition(0, 800, 55, 300, Pos(kAnchorFar, kOffsetFlush)), 500);
}

TEST(ComputePosition, KeepAndUnknownValues) {
  for (unsigned kind = 0; kind <= 255; ++kind) {
    EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(kAnchorKeep, static_cast<uint8_t>(kind), 9)), 55);
    EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(3, static_cast<uint8_t>(kind), 9)), 0);
    EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(0xFF, static_cast<uint8_t>(kind), 9)), 0);
    if (kind >= 3) {
      EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(kAnchorNear, static_cast<uint8_t>(kind), 9)), 0);
      EXPECT_EQ(ComputePosition(100, 700, 55, 300, Pos(kAnchorFar, static_cast<uint8_t>(kind), 9)), 0);
    }
  }
}

TEST(ComputePosition, NotClampedAndNegativePassesThrough) {
  EXPECT_EQ(ComputePosition(0, 800, 0, 1000, Pos(kAnchorFar, kOffsetFlush)), -200);
  EXPECT_EQ(ComputePosition(0, 800, 0, 300, Pos(kAnchorNear, kOffsetPixels, -50)), -50);
  EXPECT_EQ(ComputePosition(0, 800, 0, 300, Pos(kAnchorFar, kOffsetPixels, 1000)), -500);
  EXPECT_EQ(ComputePosition(0, 800, -70, 300, Pos(kAnchorKeep, kOffsetFlush)), -70);
}

TEST(ComputePosition, NegativeWorkAreaOrigins) {
  // A monitor left of and above the primary: (-1280, -200, 1280, 1024).
  EXPECT_EQ(ComputePosition(-1280, 1280, 0, 300, Pos(kAnchorNear, kOffsetFlush)), -1280);
  EXPECT_EQ(ComputePosition(-1280, 1280, 0, 300, Pos(kAnchorFar, kOffsetFlush)), -300);
  EXPECT_EQ(ComputePosition(-200, 1024, 0, 100, Pos(kAnchorNear, kOffsetFlush)), -200);
  EXPECT_EQ(ComputePosition(-200, 1024, 0, 100, Pos(kAnchorFar, kOffsetFlush)), 724);
  EXPECT_EQ(ComputePosition(-1280, 1280, 0, 300, Pos(kAnchorFar, kOffsetPixels, 10)), 970);
  EXPECT_EQ(ComputePosition(-1280, 1280, 0, 300, Pos(kAnchorNear, kOffsetPercent, 50)), 640);
}

TEST(ComputePosition, SumsWrapWithoutOverflow) {
  EXPECT_EQ(ComputePosition(kMax, 1, 0, 0, Pos(kAnchorFar, kOffsetFlush)), kMin);
  EXPECT_EQ(ComputePosition(kMin, 0, 0, 1, Pos(kAnchorFar, kOffsetFlush)), kMax);
  EXPECT_EQ(ComputePosition(0, kMin, 0, 1, Pos(kAnchorFar, kOffsetPixels, 0)), kMax);
  EXPECT_EQ(ComputePosition(0, 0, 0, 0, Pos(kAnchorFar, kOffsetPixels, kMin)), kMin);
  EXPECT_EQ(ComputePosition(0, kMax, 0, kMax, Pos(kAnchorFar, kOffsetPercent, kMax)), 0);
  EXPECT_EQ(ComputePosition(0, kMax, 0, kMin, Pos(kAnchorFar, kOffsetPixels, 0)), -1);
}

TEST(ComputePlacement, FarEdgeUsesTheNewWidth) {
  // Work area (0, 0, 800, 600): 300 wide, height kept, against the right edge.
  TargetRecord rule = Rule();
  rule.sizeAction = kSizeSet;
  rule.widthSpec = Size(kSizeAbsolute, 300);
  rule.heightSpec = Size(kSizeKeep, 0);
  rule.positionAction = kPositionSet;
  rule.xSpec = Pos(kAnchorFar, kOffsetFlush);
  rule.ySpec = Pos(kAnchorKeep, kOffsetFlush);
  ExpectBox(ComputePlacement({0, 0, 800, 600}, {10, 20, 640, 480}, rule), 500, 20, 300, 480);
  ExpectBox(ComputePlacement({100, 0, 700, 600}, {10, 20, 640, 480}, rule), 500, 20, 300, 480);
  ExpectBox(ComputePlacement({-1280, -200, 1280, 1024}, {10, 20, 640, 480}, rule), -300, 20, 300, 480);
}

TEST(ComputePlacement, NothingAskedLeavesTheBox) {
  TargetRecord rule = Rule();
  rule.widthSpec = Size(kSizeAbsolute, 1);
  rule.xSpec = Pos(kAnchorNear, kOffsetFlush);
  ExpectBox(ComputePlacement({0, 0, 800, 600}, {10, 20, 640, 480}, rule), 10, 20, 640, 480);
  // Maximize, minimize and unknown actions change neither size nor position.
  for (uint8_t action : {uint8_t{kSizeMaximize}, uint8_t{kSizeMinimize}, uint8_t{9}}) {
    rule.sizeAction = action;
    rule.positionAction = action;
    ExpectBox(ComputePlacement({0, 0, 800, 600}, {10, 20, 640, 480}, rule), 10, 20, 640, 480);
  }
  // Maximize with a position: moved with its current size, then maximized.
  rule.sizeAction = kSizeMaximize;
  rule.positionAction = kPositionSet;
  rule.xSpec = Pos(kAnchorFar, kOffsetFlush);
  rule.ySpec = Pos(kAnchorNear, kOffsetPixels, 5);
  ExpectBox(ComputePlacement({0, 0, 800, 600}, {10, 20, 640, 480}, rule), 160, 5, 640, 480);
}

TEST(ComputePlacement, MdiClientAreaHasOriginZero) {
  TargetRecord rule = Rule();
  rule.sizeAction = kSizeSet;
  rule.widthSpec = Size(kSizePercent, 50);
  rule.heightSpec = Size(kSizeExtentMinus, 100);
  rule.positionAction = kPositionSet;
  rule.xSpec = Pos(kAnchorFar, kOffsetFlush);
  rule.ySpec = Pos(kAnchorNear, kOffsetFlush);
  ExpectBox(ComputePlacement({0, 0, 500, 400}, {30, 40, 100, 100}, rule), 250, 0, 250, 300);
}

TEST(ComputePlacement, SecondRuleStartsFromTheFirstRulesBox) {
  TargetRecord sizeOnly = Rule();
  sizeOnly.sizeAction = kSizeSet;
  sizeOnly.widthSpec = Size(kSizeAbsolute, 200);
  sizeOnly.heightSpec = Size(kSizeAbsolute, 100);
  TargetRecord farOnly = Rule();
  farOnly.positionAction = kPositionSet;
  farOnly.xSpec = Pos(kAnchorFar, kOffsetFlush);
  farOnly.ySpec = Pos(kAnchorFar, kOffsetFlush);
  const Box area = {0, 0, 800, 600};
  const Box first = ComputePlacement(area, {10, 20, 640, 480}, sizeOnly);
  ExpectBox(ComputePlacement(area, first, farOnly), 600, 500, 200, 100);
}

}  // namespace
