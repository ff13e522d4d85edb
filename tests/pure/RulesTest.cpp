// Which rules may act, and the placement arithmetic.
#include <gtest/gtest.h>

#include <limits>

#include "monitor/Eligibility.h"
#include "monitor/Geometry.h"

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TargetRecord Rule(uint8_t enabled, uint8_t applyOnce, uint8_t widthMode) {
  TargetRecord record = {};
  record.enabled = enabled;
  record.applyOnce = applyOnce;
  record.sizeAction = kSizeSet;
  record.widthSpec = {widthMode, {}, 50};
  return record;
}

TEST(IsEligible, OnceOnlyHandledAndWorkAreaChange) {
  const struct { uint8_t handled; TargetRecord rule; bool changed; uint8_t reapply; bool want; } kCases[] = {
      {0, Rule(0, 0, kSizePercent), false, 0, false},     {1, Rule(0x80, 0, kSizeAbsolute), false, 0, true},
      {0, Rule(1, 0x7F, kSizeAbsolute), false, 0, true},  {0xFF, Rule(1, 1, kSizePercent), false, 1, false},
      {1, Rule(1, 1, kSizePercent), true, 0x40, true},    {1, Rule(1, 1, kSizeExtentMinus), true, 0, false},
      {1, Rule(1, 1, kSizeAbsolute), true, 1, false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(IsEligible(c.handled, c.rule, c.changed, c.reapply), c.want)
        << int(c.handled) << " " << int(c.rule.enabled) << " " << int(c.rule.applyOnce) << " " << c.changed;
  }
  // Far anchors follow the extent; maximize or an unknown action never does.
  TargetRecord record = Rule(1, 1, kSizeAbsolute);
  record.positionAction = kPositionSet;
  record.ySpec = {kAnchorFar, kOffsetFlush, {}, 0};
  EXPECT_TRUE(IsExtentDependent(record));
  record.ySpec.anchor = kAnchorNear;
  EXPECT_FALSE(IsExtentDependent(record));
  record.widthSpec.mode = kSizePercent;
  record.xSpec.anchor = kAnchorFar;
  for (uint8_t action : {uint8_t{kSizeMaximize}, uint8_t{kSizeMinimize}, uint8_t{0xFF}}) {
    record.sizeAction = action;
    record.positionAction = action;
    EXPECT_FALSE(IsExtentDependent(record)) << int(action);
  }
}

TEST(Geometry, RoundingClampingAndWrapAt32Bits) {
  const struct { int32_t a, b, want; } kPercents[] = {
      {333, 50, 167}, {-151, 1, -1}, {-1000, 50, -499}, {kMax, 1, -21474835}, {100000, 100000, 14100654}};
  for (const auto& c : kPercents) EXPECT_EQ(PercentOf(c.a, c.b), c.want) << c.a << " " << c.b;

  const struct { int32_t extent; uint8_t mode; int32_t value, want; } kSizes[] = {
      {800, kSizeKeep, 999, 123}, {800, kSizeExtentMinus, 100, 700}, {800, kSizePercent, 25, 200},
      {800, kSizeExtentMinus, 801, 0}, {800, kSizeAbsolute, -5, 0}, {kMin, kSizeExtentMinus, 1, kMax}, {800, 4, 300, 0}};
  for (const auto& c : kSizes) EXPECT_EQ(ComputeSize(c.extent, 123, {c.mode, {}, c.value}), c.want) << int(c.mode);

  // Work area (100, 0, 700, 600), window 300 wide: every offset counts from the area's own edge.
  const struct { int32_t origin, extent; PositionSpec spec; int32_t want; } kPositions[] = {
      {100, 700, {kAnchorNear, kOffsetFlush, {}, 0}, 100},  {100, 700, {kAnchorNear, kOffsetPixels, {}, 0}, 100},
      {100, 700, {kAnchorNear, kOffsetPixels, {}, 25}, 125}, {100, 700, {kAnchorNear, kOffsetPercent, {}, 10}, 170},
      {100, 700, {kAnchorFar, kOffsetFlush, {}, 0}, 500},   {100, 700, {kAnchorFar, kOffsetPixels, {}, 0}, 500},
      {100, 700, {kAnchorFar, kOffsetPixels, {}, 25}, 475},  {100, 700, {kAnchorFar, kOffsetPercent, {}, 10}, 430},
      {0, 700, {kAnchorFar, kOffsetPixels, {}, 25}, 375},    {0, 700, {kAnchorNear, kOffsetPercent, {}, 10}, 70},
      {100, 700, {kAnchorKeep, kOffsetFlush, {}, 0}, 55},    {100, 700, {3, kOffsetFlush, {}, 0}, 0},
      {100, 700, {kAnchorNear, 3, {}, 0}, 0},                {100, 700, {kAnchorFar, 3, {}, 0}, 0},
      {-1280, 1280, {kAnchorFar, kOffsetFlush, {}, 0}, -300}, {-1280, 1280, {kAnchorNear, kOffsetPixels, {}, -5}, -1285},
      {kMax, 301, {kAnchorFar, kOffsetFlush, {}, 0}, kMin}};
  for (const auto& c : kPositions) {
    EXPECT_EQ(ComputePosition(c.origin, c.extent, 55, 300, c.spec), c.want)
        << c.origin << " anchor " << int(c.spec.anchor) << " kind " << int(c.spec.offsetKind);
  }
}

TEST(Geometry, PlacementSizesFirstAndMaximizeMovesWithTheCurrentSize) {
  TargetRecord rule = {};
  rule.sizeAction = kSizeSet;
  rule.widthSpec = {kSizeAbsolute, {}, 300};
  rule.positionAction = kPositionSet;
  rule.xSpec = {kAnchorFar, kOffsetFlush, {}, 0};
  Box box = ComputePlacement({100, 0, 700, 600}, {10, 20, 640, 480}, rule);
  EXPECT_EQ(box.x, 500);
  EXPECT_EQ(box.y, 20);
  EXPECT_EQ(box.width, 300);
  EXPECT_EQ(box.height, 480);
  rule.sizeAction = kSizeMaximize;
  box = ComputePlacement({0, 0, 800, 600}, {10, 20, 640, 480}, rule);
  EXPECT_EQ(box.x, 160);
  EXPECT_EQ(box.width, 640);
}

}  // namespace
