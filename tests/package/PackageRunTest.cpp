// Runs the unpacked release from C:\テスト フォルダ\Plenara: it must find its
// settings module, settings file and help by the derived paths, read its
// rule, and end with 0, writing the settings back beside itself.
#include <gtest/gtest.h>

#include "PlenaraInstance.h"
#include "TestSupport.h"

// C:\テスト フォルダ\Plenara\ in code page 932.
const std::string kFolder = "C:\\\x83\x65\x83\x58\x83\x67 \x83\x74\x83\x48\x83\x8B\x83\x5F\\Plenara\\";

TEST(Package, RunsFromAFolderWithSpacesAndJapanese) {
  ASSERT_TRUE(WriteWholeFile(kFolder + "Plenara.ini",
                             "[Settings]\r\nVersion=1\r\nMonitoring=on\r\nInterval=100\r\nReapplyOnWorkAreaChange=yes\r\n"
                             "OpenSettingsAtStart=no\r\n[1]\r\nName=\"package\"\r\nEnabled=yes\r\nOnce=yes\r\n"
                             "Class=equals \"PackagePlaced\"\r\nTitle=any \"\"\r\nSize=none\r\nWidth=keep\r\nHeight=keep\r\n"
                             "Position=none\r\nX=keep\r\nY=keep\r\nActivate=no\r\nClose=no\r\n"));
  ChildProcess plenara;
  ASSERT_TRUE(plenara.Start(kFolder + "Plenara.exe", "", kFolder));
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = FindWindowOfProcess("PlenaraMainClass", plenara.Pid())) != nullptr; }, 30000));
  ASSERT_TRUE(WaitFor([] { return BlockView()->monitoringEnabled == 1; }, 30000));
  {
    BlockView block;
    EXPECT_EQ(std::string(block->iniPath), kFolder + "Plenara.ini");
    EXPECT_EQ(std::string(block->helpPath), kFolder + "Plenara.chm");
    EXPECT_EQ(std::string(block->companionPath), kFolder + "PlenaraDLL.dll");
    EXPECT_EQ(block->activeSettings.monitorInterval, 100);
    EXPECT_EQ(block->NumOfTargets, 1);
  }
  PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(plenara.WaitExit(20000), 0u);
  EXPECT_NE(ReadWholeFile(kFolder + "Plenara.ini").find("Class=equals \"PackagePlaced\""), std::string::npos);
}
