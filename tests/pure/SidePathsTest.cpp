#include "app/SidePaths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const LeadByteTable kSjis = ShiftJisLeadBytes();

TEST(SidePaths, PlainProgramPath) {
  const SidePaths p = DeriveSidePaths("C:\\tools\\app.exe", kSjis);
  EXPECT_STREQ(p.moduleDir, "C:\\tools\\");
  EXPECT_STREQ(p.modulePath, "C:\\tools\\app.exe");
  EXPECT_STREQ(p.iniPath, "C:\\tools\\app.ini");
  EXPECT_STREQ(p.helpPath, "C:\\tools\\app.chm");
  EXPECT_STREQ(p.companionPath, "C:\\tools\\appDLL.dll");
}

TEST(SidePaths, OnlyTheLastDotOfTheWholePathIsCut) {
  const SidePaths p = DeriveSidePaths("C:\\my.tools\\app.exe", kSjis);
  EXPECT_STREQ(p.moduleDir, "C:\\my.tools\\");
  EXPECT_STREQ(p.iniPath, "C:\\my.tools\\app.ini");
}

TEST(SidePaths, SecondByteBackslashDoesNotCutTheFolder) {
  // 表示.exe: 表 is 95 5C, its second byte a backslash.
  const std::string path = "C:\\tools\\\x95\x5C\x8E\xA6.exe";
  const SidePaths p = DeriveSidePaths(path.c_str(), kSjis);
  EXPECT_STREQ(p.moduleDir, "C:\\tools\\");
  EXPECT_EQ(std::string(p.iniPath), "C:\\tools\\\x95\x5C\x8E\xA6.ini");
  // A byte-wise search would have stopped inside the character.
  const SidePaths bytewise = DeriveSidePaths(path.c_str(), LeadByteTable{});
  EXPECT_EQ(std::string(bytewise.moduleDir), "C:\\tools\\\x95\x5C");
}

TEST(SidePaths, FolderWithSoInItsName) {
  // ソ is 83 5C.
  const SidePaths p = DeriveSidePaths("C:\\\x83\x5C\x83t\x83g\\app.exe", kSjis);
  EXPECT_EQ(std::string(p.moduleDir), "C:\\\x83\x5C\x83t\x83g\\");
}

TEST(SidePaths, LongPathIsCutOnACharacterBoundary) {
  std::string path = "C:\\";
  while (path.size() < 250) path += "\x95\x5C";  // 表 repeated
  path += ".exe";
  const SidePaths p = DeriveSidePaths(path.c_str(), kSjis);
  const std::string companion = p.companionPath;
  EXPECT_LT(companion.size(), kPathSize);
  // No lead byte is left without its second byte.
  size_t i = 3;
  while (i < companion.size()) i += IsLeadByte(kSjis, static_cast<uint8_t>(companion[i])) ? 2 : 1;
  EXPECT_EQ(i, companion.size());
}

TEST(CopyWholeChars, StopsBeforeASplitCharacter) {
  char out[4];
  CopyWholeChars(out, sizeof out, "ab\x95\x5C", kSjis);
  EXPECT_STREQ(out, "ab");
  CopyWholeChars(out, sizeof out, "abc", kSjis);
  EXPECT_STREQ(out, "abc");
  CopyWholeChars(out, sizeof out, "", kSjis);
  EXPECT_STREQ(out, "");
}

TEST(LeadBytes, SingleByteCodePageHasNone) {
  const uint8_t ranges[] = {0x81, 0x9F, 0, 0};
  const LeadByteTable t = LeadBytesFromRanges(ranges, sizeof ranges, 1);
  for (int b = 0; b < 256; ++b) EXPECT_FALSE(IsLeadByte(t, static_cast<uint8_t>(b)));
}

TEST(LeadBytes, ShiftJisRanges) {
  EXPECT_FALSE(IsLeadByte(kSjis, 0x80));
  EXPECT_TRUE(IsLeadByte(kSjis, 0x81));
  EXPECT_TRUE(IsLeadByte(kSjis, 0x9F));
  EXPECT_FALSE(IsLeadByte(kSjis, 0xA0));
  EXPECT_FALSE(IsLeadByte(kSjis, 0xDF));
  EXPECT_TRUE(IsLeadByte(kSjis, 0xE0));
  EXPECT_TRUE(IsLeadByte(kSjis, 0xFC));
  EXPECT_FALSE(IsLeadByte(kSjis, 0xFD));
}

}  // namespace
