// The main window's message table, its tray menu and the product-name
// reading, on the real window procedure inside the test process.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "MainWindowHost.h"
#include "TestSupport.h"
#include "app/Commands.h"
#include "app/Monitoring.h"
#include "app/Startup.h"
#include "app/Strings.h"
#include "app/TrayMenu.h"
#include "monitor/SystemLeadBytes.h"

namespace {

MainWindowHost* g_host = nullptr;

class MainWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    LoadSystemLeadBytes();
    g_host = new MainWindowHost;
  }
  static void TearDownTestSuite() {
    delete g_host;
    g_host = nullptr;
  }
  void SetUp() override { ASSERT_NE(g_host->Window(), nullptr); }
  void TearDown() override {
    if (g_host->Block()->monitoringEnabled) StopMonitoring(g_host->Window());
  }
  HWND W() { return g_host->Window(); }
  SharedBlock* B() { return g_host->Block(); }
};

struct Item {
  UINT id;
  UINT state;
  std::string label;
  bool separator;
};

Item ItemAt(HMENU menu, int position) {
  char text[64] = {};
  MENUITEMINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
  info.dwTypeData = text;
  info.cch = sizeof text;
  GetMenuItemInfoA(menu, position, TRUE, &info);
  return Item{info.wID, info.fState, text, (info.fType & MFT_SEPARATOR) != 0};
}

TEST_F(MainWindow, TrayMenuWithMonitoringOff) {
  DropTrayMenu();
  HMENU menu = GetTrayMenu();
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 9);
  const UINT ids[] = {kCmdStart, kCmdStop, 0, kCmdExit, 0, kCmdHelp, kCmdAbout, 0, kCmdSettings};
  const char* labels[] = {kMenuStart, kMenuStop, "", kMenuExit, "", kMenuHelp, kMenuAbout, "", kMenuSettings};
  for (int i = 0; i < 9; ++i) {
    const Item item = ItemAt(menu, i);
    EXPECT_EQ(item.separator, ids[i] == 0) << i;
    if (ids[i] == 0) continue;
    EXPECT_EQ(item.id, ids[i]) << i;
    EXPECT_EQ(item.label, labels[i]) << i;
  }
  // 開始(&S) in code page 932, byte for byte.
  EXPECT_EQ(ItemAt(menu, 0).label, std::string("\x8A\x4A\x8E\x6E(&S)"));
  EXPECT_FALSE(ItemAt(menu, 0).state & MFS_GRAYED);
  EXPECT_TRUE(ItemAt(menu, 1).state & MFS_GRAYED);
  EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), kCmdSettings);
}

TEST_F(MainWindow, StartCommandIgnoresTheHighWordAndRebuildsTheMenu) {
  HMENU before = GetTrayMenu();
  EXPECT_EQ(SendMessageA(W(), WM_COMMAND, MAKEWPARAM(kCmdStart, 1), 0), 0);
  EXPECT_EQ(B()->monitoringEnabled, 1);
  EXPECT_FALSE(IsMenu(before));  // dropped on the state change
  HMENU menu = GetTrayMenu();
  EXPECT_TRUE(ItemAt(menu, 0).state & MFS_GRAYED);
  EXPECT_FALSE(ItemAt(menu, 1).state & MFS_GRAYED);
  EXPECT_EQ(SendMessageA(W(), WM_COMMAND, kCmdStop, 0), 0);
  EXPECT_EQ(B()->monitoringEnabled, 0);
  menu = GetTrayMenu();
  EXPECT_FALSE(ItemAt(menu, 0).state & MFS_GRAYED);
  EXPECT_TRUE(ItemAt(menu, 1).state & MFS_GRAYED);
}

TEST_F(MainWindow, StopWhileOffStillDropsTheMenu) {
  HMENU before = GetTrayMenu();
  StopMonitoring(W());
  EXPECT_EQ(B()->monitoringEnabled, 0);
  EXPECT_EQ(B()->trackedCount, 0);
  EXPECT_EQ(B()->tracked, 0u);
  EXPECT_FALSE(IsMenu(before));
}

TEST_F(MainWindow, DefaultCommandPostsTheSettingsCommand) {
  MSG msg;
  while (PeekMessageA(&msg, W(), WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
  }
  RunDefaultCommand(0, 0);
  ASSERT_TRUE(PeekMessageA(&msg, W(), WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(msg.wParam, kCmdSettings);
  EXPECT_EQ(msg.lParam, 0);
}

TEST_F(MainWindow, UnknownMessagesGoToTheDefaultProcedure) {
  EXPECT_EQ(SendMessageA(W(), WM_COMMAND, 500, 0), DefWindowProcA(W(), WM_COMMAND, 500, 0));
  EXPECT_EQ(SendMessageA(W(), WM_USER + 6, 1, 2), DefWindowProcA(W(), WM_USER + 6, 1, 2));
  EXPECT_EQ(SendMessageA(W(), WM_USER + 7, 1, 2), DefWindowProcA(W(), WM_USER + 7, 1, 2));
  EXPECT_EQ(SendMessageA(W(), kMsgHelpRequest, kHelpRequestContext, 12), 0);
  EXPECT_EQ(SendMessageA(W(), kMsgHelpRequest, 7, 12), 0);
  EXPECT_EQ(SendMessageA(W(), WM_ENDSESSION, 0, 0), 0);
  EXPECT_TRUE(IsWindow(W()));
}

TEST(ProductName, MissingOrLongNames) {
  LoadSystemLeadBytes();
  SharedBlock block = {};
  AttachBlock(&block);
  lstrcpyA(block.modulePath, "Z:\\no\\such\\file.exe");
  LoadProductName();
  EXPECT_STREQ(block.productName, "");

  // The test executable has no version resource.
  GetModuleFileNameA(nullptr, block.modulePath, sizeof block.modulePath);
  LoadProductName();
  EXPECT_STREQ(block.productName, "");

  lstrcpyA(block.modulePath, (ExeDir() + "LongName.dll").c_str());
  LoadProductName();
  const std::string name = block.productName;
  EXPECT_GE(name.size(), 62u);
  EXPECT_LE(name.size(), 63u);
  // Whole characters only: every lead byte keeps its second byte.
  size_t i = 0;
  while (i < name.size()) i += IsLeadByte(SystemLeadBytes(), static_cast<uint8_t>(name[i])) ? 2 : 1;
  EXPECT_EQ(i, name.size());
  EXPECT_EQ(name.substr(0, 4), std::string("\x83\x45\x83\x42"));  // ウィ
  AttachBlock(nullptr);
}

TEST(ProductName, OwnVersionResource) {
  LoadSystemLeadBytes();
  SharedBlock block = {};
  AttachBlock(&block);
  lstrcpyA(block.modulePath, (ExeDir() + "Plenara.exe").c_str());
  LoadProductName();
  EXPECT_STREQ(block.productName, "Plenara");
  AttachBlock(nullptr);
}

}  // namespace
