// The main window's commands, its tray menu, the product-name reading and
// the manifest, on the real window procedure inside the test process.
#include <gtest/gtest.h>

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

MENUITEMINFOA ItemAt(HMENU menu, int position, char (&text)[64]) {
  MENUITEMINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
  info.dwTypeData = text;
  info.cch = sizeof text;
  text[0] = '\0';
  GetMenuItemInfoA(menu, position, TRUE, &info);
  return info;
}

bool Grayed(HMENU menu, int position) {
  char text[64];
  return (ItemAt(menu, position, text).fState & MFS_GRAYED) != 0;
}

TEST(MainWindow, CommandsMenuAndDefaultCommand) {
  LoadSystemLeadBytes();
  MainWindowHost host;
  HWND window = host.Window();
  ASSERT_NE(window, nullptr);

  DropTrayMenu();
  HMENU menu = GetTrayMenu();
  ASSERT_EQ(GetMenuItemCount(menu), 9);
  const UINT ids[] = {kCmdStart, kCmdStop, 0, kCmdExit, 0, kCmdHelp, kCmdAbout, 0, kCmdSettings};
  // 開始(&S) spelled out in code page 932, byte for byte.
  const char* labels[] = {"\x8A\x4A\x8E\x6E(&S)", kMenuStop,  "", kMenuExit, "",
                          kMenuHelp,                kMenuAbout, "", kMenuSettings};
  for (int i = 0; i < 9; ++i) {
    char text[64];
    const MENUITEMINFOA item = ItemAt(menu, i, text);
    EXPECT_EQ((item.fType & MFT_SEPARATOR) != 0, ids[i] == 0) << i;
    if (ids[i] == 0) continue;
    EXPECT_EQ(item.wID, ids[i]) << i;
    EXPECT_STREQ(text, labels[i]) << i;
  }
  EXPECT_FALSE(Grayed(menu, 0));
  EXPECT_TRUE(Grayed(menu, 1));
  EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), kCmdSettings);

  // Start (the high word ignored) and stop flip the flag and rebuild the menu.
  EXPECT_EQ(SendMessageA(window, WM_COMMAND, MAKEWPARAM(kCmdStart, 1), 0), 0);
  EXPECT_EQ(host.Block()->monitoringEnabled, 1);
  EXPECT_FALSE(IsMenu(menu));
  menu = GetTrayMenu();
  EXPECT_TRUE(Grayed(menu, 0));
  EXPECT_FALSE(Grayed(menu, 1));
  EXPECT_EQ(SendMessageA(window, WM_COMMAND, kCmdStop, 0), 0);
  EXPECT_EQ(host.Block()->monitoringEnabled, 0);
  EXPECT_FALSE(Grayed(GetTrayMenu(), 0));
  // A stop while off still drops the menu and leaves no tracked list.
  menu = GetTrayMenu();
  StopMonitoring(window);
  EXPECT_FALSE(IsMenu(menu));
  EXPECT_EQ(host.Block()->tracked, 0u);

  // The default command (a double click on the icon) posts the settings command.
  MSG msg;
  while (PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
  }
  RunDefaultCommand(0, 0);
  ASSERT_TRUE(PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(msg.wParam, kCmdSettings);
  EXPECT_EQ(msg.lParam, 0);
}

TEST(ProductName, MissingOwnAndLongNames) {
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
  lstrcpyA(block.modulePath, (ExeDir() + "Plenara.exe").c_str());
  LoadProductName();
  EXPECT_STREQ(block.productName, "Plenara");

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

TEST(Release, ManifestNamesInvokerDpiAwarenessAndCommonControls) {
  HMODULE exe = LoadLibraryExA((ExeDir() + "Plenara.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(exe, found))),
                             SizeofResource(exe, found));
  for (const char* part : {"level=\"asInvoker\"", "Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                           "PerMonitorV2", "true/pm", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
  FreeLibrary(exe);
}

}  // namespace
