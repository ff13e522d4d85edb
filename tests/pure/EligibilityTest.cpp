#include "monitor/Eligibility.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TargetRecord Blank() {
  TargetRecord record;
  std::memset(&record, 0, sizeof record);
  return record;
}

// Width follows the work area: the typical re-appliable rule.
TargetRecord PercentWidthRule(uint8_t enabled, uint8_t applyOnce) {
  TargetRecord record = Blank();
  record.enabled = enabled;
  record.applyOnce = applyOnce;
  record.sizeAction = kSizeSet;
  record.widthSpec.mode = kSizePercent;
  record.widthSpec.value = 50;
  record.heightSpec.mode = kSizeKeep;
  return record;
}

TargetRecord AbsoluteRule(uint8_t enabled, uint8_t applyOnce) {
  TargetRecord record = PercentWidthRule(enabled, applyOnce);
  record.widthSpec.mode = kSizeAbsolute;
  record.heightSpec.mode = kSizeAbsolute;
  return record;
}

TEST(IsEligible, DisabledRuleNeverActs) {
  for (uint8_t applyOnce : {0, 1}) {
    for (uint8_t handled : {0, 1}) {
      for (bool changed : {false, true}) {
        for (uint8_t reapply : {0, 1}) {
          EXPECT_FALSE(IsEligible(handled, PercentWidthRule(0, applyOnce), changed, reapply));
        }
      }
    }
  }
}

TEST(IsEligible, EveryScanRuleAlwaysActs) {
  for (uint8_t handled : {0, 1, 0xFF}) {
    for (bool changed : {false, true}) {
      for (uint8_t reapply : {0, 1}) {
        EXPECT_TRUE(IsEligible(handled, AbsoluteRule(1, 0), changed, reapply));
        EXPECT_TRUE(IsEligible(handled, PercentWidthRule(0x80, 0), changed, reapply));
      }
    }
  }
}

TEST(IsEligible, OnceOnlyRuleActsOnNewWindows) {
  for (bool changed : {false, true}) {
    for (uint8_t reapply : {0, 1}) {
      EXPECT_TRUE(IsEligible(0, AbsoluteRule(1, 1), changed, reapply));
      EXPECT_TRUE(IsEligible(0, PercentWidthRule(1, 0x7F), changed, reapply));
    }
  }
}

TEST(IsEligible, HandledWindowOnlyOnWorkAreaChangeWithSettingAndExtentRule) {
  const TargetRecord extent = PercentWidthRule(1, 1);
  const TargetRecord fixed = AbsoluteRule(1, 1);
  for (uint8_t handled : {1, 0xFF}) {
    EXPECT_FALSE(IsEligible(handled, extent, false, 1));
    EXPECT_FALSE(IsEligible(handled, extent, true, 0));
    EXPECT_FALSE(IsEligible(handled, fixed, true, 1));
    EXPECT_TRUE(IsEligible(handled, extent, true, 1));
    EXPECT_TRUE(IsEligible(handled, extent, true, 0x40));
  }
}

TEST(IsEligible, MaximizeOrMinimizeOnlyIsNeverReapplied) {
  for (uint8_t action : {uint8_t{kSizeMaximize}, uint8_t{kSizeMinimize}, uint8_t{4}, uint8_t{0xFF}}) {
    TargetRecord record = PercentWidthRule(1, 1);
    record.sizeAction = action;
    record.heightSpec.mode = kSizeExtentMinus;
    EXPECT_FALSE(IsExtentDependent(record));
    EXPECT_FALSE(IsEligible(1, record, true, 1));
  }
}

TEST(IsExtentDependent, SizeModes) {
  for (unsigned mode = 0; mode <= 255; ++mode) {
    const bool follows = mode == kSizeExtentMinus || mode == kSizePercent;
    TargetRecord width = Blank();
    width.sizeAction = kSizeSet;
    width.widthSpec.mode = static_cast<uint8_t>(mode);
    EXPECT_EQ(IsExtentDependent(width), follows) << "width mode " << mode;
    TargetRecord height = Blank();
    height.sizeAction = kSizeSet;
    height.heightSpec.mode = static_cast<uint8_t>(mode);
    EXPECT_EQ(IsExtentDependent(height), follows) << "height mode " << mode;
  }
}

TEST(IsExtentDependent, OnlyTheFarEdgeFollowsTheExtent) {
  for (uint8_t kind = 0; kind < 4; ++kind) {
    for (unsigned anchor = 0; anchor <= 255; ++anchor) {
      const bool far = anchor == kAnchorFar;
      TargetRecord x = Blank();
      x.positionAction = kPositionSet;
      x.xSpec.anchor = static_cast<uint8_t>(anchor);
      x.xSpec.offsetKind = kind;
      EXPECT_EQ(IsExtentDependent(x), far) << "x anchor " << anchor << " kind " << int(kind);
      TargetRecord y = Blank();
      y.positionAction = kPositionSet;
      y.ySpec.anchor = static_cast<uint8_t>(anchor);
      y.ySpec.offsetKind = kind;
      EXPECT_EQ(IsExtentDependent(y), far) << "y anchor " << anchor << " kind " << int(kind);
    }
  }
  // Near edge by percentage: the position moves with the extent, yet a
  // changed work area does not re-apply it.
  TargetRecord nearPercent = Blank();
  nearPercent.enabled = 1;
  nearPercent.applyOnce = 1;
  nearPercent.positionAction = kPositionSet;
  nearPercent.xSpec = {kAnchorNear, kOffsetPercent, {0, 0}, 50};
  nearPercent.ySpec = {kAnchorNear, kOffsetPercent, {0, 0}, 50};
  EXPECT_FALSE(IsEligible(1, nearPercent, true, 1));
  nearPercent.xSpec.anchor = kAnchorFar;
  EXPECT_TRUE(IsEligible(1, nearPercent, true, 1));
}

TEST(IsExtentDependent, SpecsCountOnlyUnderTheirAction) {
  TargetRecord record = Blank();
  record.widthSpec.mode = kSizePercent;
  record.xSpec.anchor = kAnchorFar;
  for (uint8_t action : {uint8_t{0}, uint8_t{2}, uint8_t{3}, uint8_t{0xFF}}) {
    record.sizeAction = action;
    record.positionAction = action;
    EXPECT_FALSE(IsExtentDependent(record)) << int(action);
  }
  record.sizeAction = kSizeSet;
  EXPECT_TRUE(IsExtentDependent(record));
  record.sizeAction = 0;
  record.positionAction = kPositionSet;
  EXPECT_TRUE(IsExtentDependent(record));
}

}  // namespace
