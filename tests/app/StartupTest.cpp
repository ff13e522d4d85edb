// The real program started from outside: its block, its hidden window, the
// second start and its exit code.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "PlenaraInstance.h"
#include "app/Commands.h"

namespace {

std::string BlockBytes() {
  BlockView view;
  return std::string(reinterpret_cast<const char*>(view.Get()), kBlockSize);
}

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

TEST(Startup, DoubleByteFileNameKeepsItsFolder) {
  // 表示: 表 is 95 5C, its second byte a backslash.
  PlenaraInstance plenara(Companion::kTest, "\x95\x5C\x8E\xA6");
  ASSERT_TRUE(plenara.Start());
  {
    BlockView block;
    EXPECT_EQ(std::string(block->moduleDir), plenara.Dir().Path());
    EXPECT_EQ(std::string(block->iniPath), plenara.Dir().File("\x95\x5C\x8E\xA6.ini"));
    EXPECT_EQ(std::string(block->companionPath), plenara.Dir().File("\x95\x5C\x8E\xA6" "DLL.dll"));
  }
  // The settings module was found by that name.
  EXPECT_TRUE(plenara.WaitForLog("ReadSetting thread=main"));
  EXPECT_EQ(plenara.Close(), 0u);
}

TEST(Startup, SecondStartLeavesTheBlockAsItWas) {
  PlenaraInstance first;
  ASSERT_TRUE(first.Start());
  ASSERT_TRUE(first.WaitForLog("ReadSetting"));
  const std::string before = BlockBytes();
  ChildProcess second;
  ASSERT_TRUE(second.Start(first.ExePath()));
  EXPECT_EQ(second.WaitExit(), 0u);
  EXPECT_EQ(BlockBytes(), before);
  EXPECT_EQ(CountOf(first.Log(), "ReadSetting thread"), 1);
  EXPECT_EQ(first.Close(), 0u);
}

LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

TEST(Startup, SecondStartRestoresTheRunningPropertyWindow) {
  PlenaraInstance first;
  ASSERT_TRUE(first.Start());
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PlainProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "PlenaraTestStandInProperty";
  RegisterClassA(&wc);
  HWND property = CreateWindowExA(0, wc.lpszClassName, "property", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300,
                                  200, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(property, nullptr);
  ShowWindow(property, SW_MINIMIZE);
  ASSERT_TRUE(WaitFor([&] { return IsIconic(property) != 0; }));
  {
    BlockView block;
    block->propertyWindow = HandleValue(property);
  }
  ChildProcess second;
  ASSERT_TRUE(second.Start(first.ExePath()));
  EXPECT_EQ(second.WaitExit(), 0u);
  EXPECT_TRUE(WaitFor([&] { return !IsIconic(property); }));
  EXPECT_TRUE(IsWindowVisible(property));
  {
    BlockView block;
    block->propertyWindow = 0;
  }
  DestroyWindow(property);
  UnregisterClassA(wc.lpszClassName, wc.hInstance);
  EXPECT_EQ(first.Close(), 0u);
}

TEST(Startup, SecondStartWithoutPropertyWindowShowsNothing) {
  PlenaraInstance first;
  ASSERT_TRUE(first.Start());
  ChildProcess second;
  ASSERT_TRUE(second.Start(first.ExePath()));
  EXPECT_EQ(second.WaitExit(), 0u);
  EXPECT_EQ(first.Close(), 0u);
}

TEST(Startup, RunsAndEndsWithoutASettingsModule) {
  PlenaraInstance plenara(Companion::kNone);
  ASSERT_TRUE(plenara.Start());
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdSettings, 0);
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdAbout, 0);
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdStart, 0);
  EXPECT_EQ(plenara.Close(), 0u);
}

TEST(Startup, RunsAndEndsWithASettingsModuleWithoutExports) {
  PlenaraInstance plenara(Companion::kNoExports);
  ASSERT_TRUE(plenara.Start());
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdSettings, 0);
  EXPECT_EQ(plenara.Close(), 0u);
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

TEST(Shutdown, ExitCommandEndsWithZero) {
  PlenaraInstance plenara;
  ASSERT_TRUE(plenara.Start());
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(plenara.Process().WaitExit(), 0u);
  EXPECT_EQ(CountOf(plenara.Log(), "WriteSetting"), 1);
}

}  // namespace
