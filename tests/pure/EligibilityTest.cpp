#include "monitor/Eligibility.h"

#include <gtest/gtest.h>

namespace {

// Width follows the work area: the typical re-appliable rule.
TargetRecord PercentWidthRule(uint8_t enabled, uint8_t applyOnce) {
  TargetRecord record = {};
  record.enabled = enabled;
  record.applyOnce = applyOnce;
  record.sizeAction = kSizeSet;
  record.widthSpec.mode = kSizePercent;
  record.widthSpec.value = 50;
  return record;
}

TargetRecord AbsoluteRule(uint8_t enabled, uint8_t applyOnce) {
  TargetRecord record = PercentWidthRule(enabled, applyOnce);
  record.widthSpec.mode = kSizeAbsolute;
  record.heightSpec.mode = kSizeAbsolute;
  return record;
}

TEST(IsEligible, EnabledOnceOnlyHandledAndWorkAreaChange) {
  for (uint8_t handled : {0, 1, 0xFF}) {
    for (bool changed : {false, true}) {
      for (uint8_t reapply : {0, 1}) {
        EXPECT_FALSE(IsEligible(handled, PercentWidthRule(0, 1), changed, reapply));
        EXPECT_FALSE(IsEligible(handled, PercentWidthRule(0, 0), changed, reapply));
        // Every scan: any non-zero flag byte counts as set.
        EXPECT_TRUE(IsEligible(handled, AbsoluteRule(1, 0), changed, reapply));
        EXPECT_TRUE(IsEligible(handled, PercentWidthRule(0x80, 0), changed, reapply));
        // Once only: a new window, or a handled one when the work area
        // changed, the setting is on and the rule follows the extent.
        const bool again = handled == 0 || (changed && reapply);
        EXPECT_EQ(IsEligible(handled, PercentWidthRule(1, 0x7F), changed, reapply), again);
        EXPECT_EQ(IsEligible(handled, AbsoluteRule(1, 1), changed, reapply), handled == 0);
      }
    }
  }
  EXPECT_TRUE(IsEligible(1, PercentWidthRule(1, 1), true, 0x40));
}

TEST(IsExtentDependent, OnlyPercentOrExtentSizesAndTheFarEdge) {
  for (unsigned v = 0; v <= 255; ++v) {
    const uint8_t b = static_cast<uint8_t>(v);
    const bool size = b == kSizeExtentMinus || b == kSizePercent;
    TargetRecord record = {};
    record.sizeAction = kSizeSet;
    record.widthSpec.mode = b;
    EXPECT_EQ(IsExtentDependent(record), size) << "width mode " << v;
    record.widthSpec.mode = kSizeKeep;
    record.heightSpec.mode = b;
    EXPECT_EQ(IsExtentDependent(record), size) << "height mode " << v;
    for (uint8_t kind = 0; kind < 4; ++kind) {
      TargetRecord x = {};
      x.positionAction = kPositionSet;
      x.xSpec = {b, kind, {}, 0};
      EXPECT_EQ(IsExtentDependent(x), b == kAnchorFar) << "x anchor " << v << " kind " << int(kind);
      TargetRecord y = {};
      y.positionAction = kPositionSet;
      y.ySpec = {b, kind, {}, 0};
      EXPECT_EQ(IsExtentDependent(y), b == kAnchorFar) << "y anchor " << v << " kind " << int(kind);
    }
  }
  // Specs count only under their action: maximize, minimize or an unknown
  // action is never re-applied.
  TargetRecord record = PercentWidthRule(1, 1);
  record.xSpec.anchor = kAnchorFar;
  for (uint8_t action : {uint8_t{0}, uint8_t{kSizeMaximize}, uint8_t{kSizeMinimize}, uint8_t{4}, uint8_t{0xFF}}) {
    record.sizeAction = action;
    record.positionAction = action;
    EXPECT_FALSE(IsExtentDependent(record)) << int(action);
    EXPECT_FALSE(IsEligible(1, record, true, 1)) << int(action);
  }
  record.positionAction = kPositionSet;
  EXPECT_TRUE(IsExtentDependent(record));
}

}  // namespace
