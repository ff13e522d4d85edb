// The rule editor's number fields take every value the settings file holds,
// so a rule read from the file can be confirmed as it is.
#include <gtest/gtest.h>

#include "settings/window/RuleFields.h"

namespace {

TEST(RuleFields, SizesAndOffsetsTakeTheFilesRanges) {
  const struct {
    const char* label;
    bool size;  // a size mode, else an offset kind
    uint8_t kind;
    const char* text;
    NumberCheck check;
    int32_t value;
  } cases[] = {
      {"percent -25", true, kSizePercent, "-25", NumberCheck::kOk, -25},
      {"percent -1000", true, kSizePercent, " -1000 ", NumberCheck::kOk, -1000},
      {"percent -1001", true, kSizePercent, "-1001", NumberCheck::kOutOfRange, 0},
      {"percent 1001", true, kSizePercent, "1001", NumberCheck::kOutOfRange, 0},
      {"pixels -5", true, kSizeAbsolute, "-5", NumberCheck::kOk, -5},
      {"pixels -100000", true, kSizeAbsolute, "-100000", NumberCheck::kOk, -100000},
      {"pixels -100001", true, kSizeAbsolute, "-100001", NumberCheck::kOutOfRange, 0},
      {"minus 100000", true, kSizeExtentMinus, "100000", NumberCheck::kOk, 100000},
      {"minus -100001", true, kSizeExtentMinus, "-100001", NumberCheck::kOutOfRange, 0},
      {"offset percent -1000", false, kOffsetPercent, "-1000", NumberCheck::kOk, -1000},
      {"offset pixels 100001", false, kOffsetPixels, "100001", NumberCheck::kOutOfRange, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    int32_t value = 0;
    const NumberRange range = c.size ? SizeValueRange(c.kind) : OffsetValueRange(c.kind);
    EXPECT_EQ(CheckNumber(c.text, range, value), c.check);
    EXPECT_EQ(value, c.value);
  }
  EXPECT_FALSE(SizeModeTakesValue(kSizeKeep));
}

}  // namespace
