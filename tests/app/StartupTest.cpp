// The real program started from outside: its block, its hidden window, the
// second start, the end of the session and its exit code.
#include <gtest/gtest.h>

#include <string>

#include "PlenaraInstance.h"
#include "app/Commands.h"

namespace {

TEST(Startup, HiddenMainWindowAndSideFilePaths) {
  PlenaraInstance plenara;
  ASSERT_TRUE(plenara.Start());
  HWND main = plenara.MainWindow();
  EXPECT_FALSE(IsWindowVisible(main));
  char title[64] = {};
  GetWindowTextA(main, title, sizeof title);
  EXPECT_STREQ(title, "Plenara");
  {
    BlockView block;
    ASSERT_TRUE(block.Existed());
    EXPECT_EQ(HandleOf(block->mainWindow), main);
    EXPECT_STREQ(block->productName, "Plenara");
    EXPECT_NE(block->userName[0], '\0');
    const std::string dir = plenara.Dir().Path();
    EXPECT_EQ(std::string(block->moduleDir), dir);
    EXPECT_EQ(std::string(block->modulePath), dir + "Plenara.exe");
    EXPECT_EQ(std::string(block->iniPath), dir + "Plenara.ini");
    EXPECT_EQ(std::string(block->helpPath), dir + "Plenara.chm");
    EXPECT_EQ(std::string(block->companionPath), dir + "PlenaraDLL.dll");
  }
  EXPECT_EQ(plenara.Close(), 0u);
}

TEST(Startup, DoubleByteFileNameKeepsItsFolderAndFindsItsSettingsModule) {
  // 表示: 表 is 95 5C, its second byte a backslash.
  PlenaraInstance plenara(Companion::kTest, "\x95\x5C\x8E\xA6");
  ASSERT_TRUE(plenara.Start());
  {
    BlockView block;
    EXPECT_EQ(std::string(block->moduleDir), plenara.Dir().Path());
    EXPECT_EQ(std::string(block->iniPath), plenara.Dir().File("\x95\x5C\x8E\xA6.ini"));
    EXPECT_EQ(std::string(block->companionPath), plenara.Dir().File("\x95\x5C\x8E\xA6" "DLL.dll"));
  }
  EXPECT_TRUE(plenara.WaitForLog("ReadSetting thread=main"));
  EXPECT_EQ(plenara.Close(), 0u);
}

TEST(Startup, SecondStartEndsAtOnceAndLeavesTheBlockAsItWas) {
  PlenaraInstance first;
  ASSERT_TRUE(first.Start());
  ASSERT_TRUE(first.WaitForLog("ReadSetting"));
  const auto bytes = [] {
    BlockView view;
    return std::string(reinterpret_cast<const char*>(view.Get()), kBlockSize);
  };
  const std::string before = bytes();
  ChildProcess second;
  ASSERT_TRUE(second.Start(first.ExePath()));
  EXPECT_EQ(second.WaitExit(), 0u);
  EXPECT_EQ(bytes(), before);
  EXPECT_EQ(CountOf(first.Log(), "ReadSetting thread"), 1);
  EXPECT_EQ(first.Close(), 0u);
}

TEST(Startup, RunsAndEndsWithoutAUsableSettingsModule) {
  for (Companion companion : {Companion::kNone, Companion::kNoExports}) {
    PlenaraInstance plenara(companion);
    ASSERT_TRUE(plenara.Start());
    for (WPARAM command : {kCmdSettings, kCmdAbout, kCmdStart}) {
      PostMessageA(plenara.MainWindow(), WM_COMMAND, command, 0);
    }
    EXPECT_EQ(plenara.Close(), 0u);
  }
}

TEST(Shutdown, RunsOnceForEndSessionThenDestroy) {
  PlenaraInstance plenara;
  ASSERT_TRUE(plenara.Start());
  HWND main = plenara.MainWindow();
  SendMessageA(main, WM_ENDSESSION, 0, 0);
  EXPECT_EQ(CountOf(plenara.Log(), "WriteSetting"), 0);
  SendMessageA(main, WM_ENDSESSION, 1, 0);
  EXPECT_EQ(CountOf(plenara.Log(), "WriteSetting"), 1);
  // The window and the loop stay after the session's end.
  EXPECT_TRUE(IsWindow(main));
  EXPECT_EQ(plenara.Close(), 0u);
  EXPECT_EQ(CountOf(plenara.Log(), "WriteSetting"), 1);
}

}  // namespace
