// What the editor's fields take: numbers by their mode's range, patterns cut
// on whole characters, full-width digits from a Japanese input method.
#include <gtest/gtest.h>

#include "settings/window/RuleFields.h"

namespace {

TEST(RuleFields, NumbersAreCheckedAgainstTheirRange) {
  int32_t value = 7;
  EXPECT_EQ(CheckNumber("", kIntervalRange, value), NumberCheck::kEmpty);
  EXPECT_EQ(CheckNumber("  ", kIntervalRange, value), NumberCheck::kEmpty);
  EXPECT_EQ(CheckNumber("12a", kIntervalRange, value), NumberCheck::kNotNumber);
  EXPECT_EQ(CheckNumber("-", kIntervalRange, value), NumberCheck::kNotNumber);
  EXPECT_EQ(CheckNumber("1.5", kIntervalRange, value), NumberCheck::kNotNumber);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(CheckNumber("49", kIntervalRange, value), NumberCheck::kOutOfRange);
  EXPECT_EQ(CheckNumber("3600001", kIntervalRange, value), NumberCheck::kOutOfRange);
  EXPECT_EQ(CheckNumber("99999999999999999999", kIntervalRange, value), NumberCheck::kOutOfRange);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(CheckNumber(" 250 ", kIntervalRange, value), NumberCheck::kOk);
  EXPECT_EQ(value, 250);
  EXPECT_EQ(CheckNumber("+50", kIntervalRange, value), NumberCheck::kOk);
  EXPECT_EQ(value, 50);
  EXPECT_EQ(CheckNumber("-20", OffsetValueRange(kOffsetPixels), value), NumberCheck::kOk);
  EXPECT_EQ(value, -20);
}

TEST(RuleFields, EachModeHasItsOwnRange) {
  EXPECT_FALSE(SizeModeTakesValue(kSizeKeep));
  EXPECT_TRUE(SizeModeTakesValue(kSizeAbsolute));
  EXPECT_TRUE(SizeModeTakesValue(kSizeExtentMinus));
  EXPECT_TRUE(SizeModeTakesValue(kSizePercent));
  EXPECT_FALSE(SizeModeTakesValue(4));
  int32_t value = 0;
  // A width cannot be negative; a reference minus a negative value can.
  EXPECT_EQ(CheckNumber("-1", SizeValueRange(kSizeAbsolute), value), NumberCheck::kOutOfRange);
  EXPECT_EQ(CheckNumber("-1", SizeValueRange(kSizeExtentMinus), value), NumberCheck::kOk);
  EXPECT_EQ(CheckNumber("1001", SizeValueRange(kSizePercent), value), NumberCheck::kOutOfRange);
  EXPECT_EQ(CheckNumber("100000", SizeValueRange(kSizeAbsolute), value), NumberCheck::kOk);
  EXPECT_EQ(CheckNumber("-1000", OffsetValueRange(kOffsetPercent), value), NumberCheck::kOk);
  EXPECT_EQ(CheckNumber("-1001", OffsetValueRange(kOffsetPercent), value), NumberCheck::kOutOfRange);

  EXPECT_FALSE(OffsetTakesValue(kAnchorKeep, kOffsetPixels));
  EXPECT_FALSE(OffsetTakesValue(kAnchorNear, kOffsetFlush));
  EXPECT_TRUE(OffsetTakesValue(kAnchorNear, kOffsetPixels));
  EXPECT_TRUE(OffsetTakesValue(kAnchorFar, kOffsetPercent));
  EXPECT_FALSE(OffsetTakesValue(3, kOffsetPixels));
}

TEST(RuleFields, TextFromScreenIsCutOnWholeCharacters) {
  const LeadTable leads = ShiftJisLeads();
  bool cut = true;
  EXPECT_EQ(FitPatternText("Notepad", 128, leads, cut), "Notepad");
  EXPECT_FALSE(cut);
  // 127 ASCII bytes and a double-byte character: the character does not fit.
  const std::string title = std::string(127, 'x') + "\x83\x41";
  const std::string fitted = FitPatternText(title, 128, leads, cut);
  EXPECT_TRUE(cut);
  EXPECT_EQ(fitted, std::string(127, 'x'));
  const std::string kana = "\x83\x41\x83\x43\x83\x45";  // three katakana
  EXPECT_EQ(FitPatternText(kana, 5, leads, cut), "\x83\x41\x83\x43");
  EXPECT_TRUE(cut);
}

TEST(RuleFields, FullWidthDigitsReadAsDigits) {
  EXPECT_EQ(NarrowDigits(u"\uFF11\uFF12\uFF10"), u"120");
  EXPECT_EQ(NarrowDigits(u"\uFF0D\uFF15"), u"-5");
  EXPECT_EQ(NarrowDigits(u"\u3000\uFF0B\uFF17"), u" +7");
  EXPECT_EQ(NarrowDigits(u"abc"), u"abc");
}

}  // namespace
