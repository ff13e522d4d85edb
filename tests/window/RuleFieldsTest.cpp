// What the editor's fields take: numbers by their mode's range, patterns cut
// on whole characters, full-width digits from a Japanese input method.
#include <gtest/gtest.h>

#include <string>

#include "settings/window/RuleFields.h"

namespace {

TEST(RuleFields, NumbersAreCheckedAgainstTheirModesRange) {
  int32_t value = 7;
  EXPECT_EQ(CheckNumber("  ", kIntervalRange, value), NumberCheck::kEmpty);
  EXPECT_EQ(CheckNumber("12a", kIntervalRange, value), NumberCheck::kNotNumber);
  EXPECT_EQ(CheckNumber("-", kIntervalRange, value), NumberCheck::kNotNumber);
  EXPECT_EQ(CheckNumber("49", kIntervalRange, value), NumberCheck::kOutOfRange);
  EXPECT_EQ(CheckNumber("3600001", kIntervalRange, value), NumberCheck::kOutOfRange);
  EXPECT_EQ(CheckNumber("99999999999999999999", kIntervalRange, value), NumberCheck::kOutOfRange);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(CheckNumber(" +50 ", kIntervalRange, value), NumberCheck::kOk);
  EXPECT_EQ(value, 50);
  EXPECT_EQ(CheckNumber("3600000", kIntervalRange, value), NumberCheck::kOk);
  // A width cannot be negative; a reference minus a negative value can.
  EXPECT_EQ(CheckNumber("-1", SizeValueRange(kSizeAbsolute), value), NumberCheck::kOutOfRange);
  EXPECT_EQ(CheckNumber("-1", SizeValueRange(kSizeExtentMinus), value), NumberCheck::kOk);
  EXPECT_EQ(CheckNumber("1001", SizeValueRange(kSizePercent), value), NumberCheck::kOutOfRange);
  EXPECT_EQ(CheckNumber("-1000", OffsetValueRange(kOffsetPercent), value), NumberCheck::kOk);
  EXPECT_EQ(CheckNumber("-100001", OffsetValueRange(kOffsetPixels), value), NumberCheck::kOutOfRange);
  EXPECT_FALSE(SizeModeTakesValue(kSizeKeep));
  EXPECT_FALSE(SizeModeTakesValue(4));
  EXPECT_FALSE(OffsetTakesValue(kAnchorKeep, kOffsetPixels));
  EXPECT_FALSE(OffsetTakesValue(kAnchorNear, kOffsetFlush));
  EXPECT_TRUE(OffsetTakesValue(kAnchorFar, kOffsetPercent));
}

TEST(RuleFields, TextFromScreenIsCutOnWholeCharacters) {
  const LeadByteTable leads = ShiftJisLeadBytes();
  bool cut = true;
  EXPECT_TRUE(FitPatternText("Notepad", 128, leads, cut) == TextView("Notepad"));
  EXPECT_FALSE(cut);
  // 127 ASCII bytes and a double-byte character: the character does not fit.
  const std::string title = std::string(127, 'x') + "\x83\x41";
  EXPECT_EQ(FitPatternText(title.c_str(), 128, leads, cut).size, 127u);
  EXPECT_TRUE(cut);
}

TEST(RuleFields, FullWidthDigitsReadAsDigits) {
  std::u16string text = u"\uFF11\uFF12\uFF10 \uFF0D\uFF15\u3000\uFF0B\uFF17abc";
  NarrowDigits(&text[0], text.size());
  EXPECT_EQ(text, u"120 -5 +7abc");
}

}  // namespace
