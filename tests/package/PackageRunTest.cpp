// Runs the unpacked release from C:\テスト フォルダ\Plenara: it must find its
// settings module, settings file and help by the derived paths, place a
// window by a rule from its settings file, and end with 0.
#include <gtest/gtest.h>

#include <string>

#include "MonitorTestSupport.h"
#include "PlenaraInstance.h"

namespace {

// C:\テスト フォルダ\Plenara\ in code page 932.
const std::string kFolder = "C:\\\x83\x65\x83\x58\x83\x67 \x83\x74\x83\x48\x83\x8B\x83\x5F\\Plenara\\";

TEST(Package, RunsFromAFolderWithSpacesAndJapanese) {
  ASSERT_NE(GetFileAttributesA((kFolder + "Plenara.exe").c_str()), INVALID_FILE_ATTRIBUTES) << kFolder;
  ASSERT_TRUE(WriteWholeFile(kFolder + "Plenara.ini",
                             "[Settings]\r\nVersion=1\r\nMonitoring=on\r\nInterval=100\r\n"
                             "ReapplyOnWorkAreaChange=yes\r\nOpenSettingsAtStart=no\r\n"
                             "[1]\r\nName=\"package\"\r\nEnabled=yes\r\nOnce=yes\r\n"
                             "Class=equals \"PackagePlaced\"\r\nTitle=any \"\"\r\nSize=set\r\n"
                             "Width=pixels 320\r\nHeight=pixels 240\r\nPosition=set\r\n"
                             "X=near pixels 15\r\nY=near pixels 25\r\nActivate=no\r\nClose=no\r\n"));
  ASSERT_TRUE(SharedFixture().Ready());
  ChildProcess plenara;
  ASSERT_TRUE(plenara.Start(kFolder + "Plenara.exe", "", kFolder));
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = FindWindowOfProcess("PlenaraMainClass", plenara.Pid())) != nullptr; }, 30000));
  ASSERT_TRUE(WaitFor([] {
    BlockView block;
    return block->monitoringEnabled == 1;
  }, 30000));
  {
    BlockView block;
    EXPECT_EQ(std::string(block->moduleDir), kFolder);
    EXPECT_EQ(std::string(block->iniPath), kFolder + "Plenara.ini");
    EXPECT_EQ(std::string(block->helpPath), kFolder + "Plenara.chm");
    EXPECT_EQ(std::string(block->companionPath), kFolder + "PlenaraDLL.dll");
    EXPECT_EQ(block->activeSettings.monitorInterval, 100);
    EXPECT_EQ(block->NumOfTargets, 1);
  }
  EXPECT_NE(GetFileAttributesA((kFolder + "Plenara.chm").c_str()), INVALID_FILE_ATTRIBUTES);
  HWND window = SharedFixture().Top("PackagePlaced", "placed", Box{300, 300, 100, 80});
  EXPECT_TRUE(WaitFor([&] {
    const Box b = BoxOf(window);
    return b.x == 15 && b.y == 25 && b.width == 320 && b.height == 240;
  }, 20000));
  PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(plenara.WaitExit(20000), 0u);
  // The settings were written back beside the program.
  EXPECT_NE(ReadWholeFile(kFolder + "Plenara.ini").find("PackagePlaced"), std::string::npos);
  SharedFixture().DestroyAll();
}

}  // namespace
