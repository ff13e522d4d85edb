#include "app/SidePaths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const LeadByteTable kSjis = ShiftJisLeadBytes();

TEST(SidePaths, EveryNameFromTheProgramPathCuttingOnlyTheLastDot) {
  const SidePaths p = DeriveSidePaths("C:\\my.tools\\app.exe", kSjis);
  EXPECT_STREQ(p.moduleDir, "C:\\my.tools\\");
  EXPECT_STREQ(p.modulePath, "C:\\my.tools\\app.exe");
  EXPECT_STREQ(p.iniPath, "C:\\my.tools\\app.ini");
  EXPECT_STREQ(p.helpPath, "C:\\my.tools\\app.chm");
  EXPECT_STREQ(p.companionPath, "C:\\my.tools\\appDLL.dll");
}

TEST(SidePaths, SecondByteBackslashDoesNotCutTheFolder) {
  // 表示.exe: 表 is 95 5C, its second byte a backslash.
  const std::string path = "C:\\tools\\\x95\x5C\x8E\xA6.exe";
  const SidePaths p = DeriveSidePaths(path.c_str(), kSjis);
  EXPECT_STREQ(p.moduleDir, "C:\\tools\\");
  EXPECT_EQ(std::string(p.iniPath), "C:\\tools\\\x95\x5C\x8E\xA6.ini");
  // A byte-wise search would have stopped inside the character.
  EXPECT_EQ(std::string(DeriveSidePaths(path.c_str(), LeadByteTable{}).moduleDir), "C:\\tools\\\x95\x5C");
  // ソ (83 5C) in a folder's name.
  EXPECT_EQ(std::string(DeriveSidePaths("C:\\\x83\x5C\x83t\x83g\\app.exe", kSjis).moduleDir),
            "C:\\\x83\x5C\x83t\x83g\\");
}

TEST(SidePaths, LongNamesAreCutOnACharacterBoundary) {
  std::string path = "C:\\";
  while (path.size() < 250) path += "\x95\x5C";  // 表 repeated
  path += ".exe";
  const std::string companion = DeriveSidePaths(path.c_str(), kSjis).companionPath;
  EXPECT_LT(companion.size(), kPathSize);
  // No lead byte is left without its second byte.
  size_t i = 3;
  while (i < companion.size()) i += IsLeadByte(kSjis, static_cast<uint8_t>(companion[i])) ? 2 : 1;
  EXPECT_EQ(i, companion.size());

  char out[4];
  CopyWholeChars(out, sizeof out, "ab\x95\x5C", kSjis);
  EXPECT_STREQ(out, "ab");
  CopyWholeChars(out, sizeof out, "abc", kSjis);
  EXPECT_STREQ(out, "abc");
}

TEST(LeadBytes, ShiftJisRangesAndSingleByteCodePages) {
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(IsLeadByte(kSjis, static_cast<uint8_t>(b)), (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) << b;
  }
  const uint8_t ranges[] = {0x81, 0x9F, 0, 0};
  const LeadByteTable single = LeadBytesFromRanges(ranges, sizeof ranges, 1);
  for (int b = 0; b < 256; ++b) EXPECT_FALSE(IsLeadByte(single, static_cast<uint8_t>(b))) << b;
}

}  // namespace
