// The binding to the HTML Help control: loaded only from the system folder,
// and the main window's help requests reach it with their numbers unchanged.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "MainWindowHost.h"
#include "PlenaraInstance.h"
#include "TestSupport.h"
#include "app/Commands.h"
#include "app/Startup.h"
#include "companion/Help.h"

namespace {

char g_log[4096];  // what the stand-in control was asked, one call a line

void StartLog() {
  char address[32];
  std::snprintf(address, sizeof address, "%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(g_log)));
  SetEnvironmentVariableA("PLENARA_HELP_LOG", address);
  g_log[0] = '\0';
}

TEST(HelpBinding, TheMainWindowsRequestsReachTheControlWithTheirNumbers) {
  StartLog();
  MainWindowHost host;
  ASSERT_NE(host.Window(), nullptr);
  std::strcpy(host.Block()->helpPath, "C:\\Plenara\\Plenara.chm");
  SetHelpControlPathForTest((ExeDir() + "HelpControlStandIn.dll").c_str());
  ASSERT_EQ(InitHelp(), 1);
  EXPECT_EQ(SendMessageA(host.Window(), WM_COMMAND, MAKEWPARAM(kCmdHelp, 1), 0), 0);  // the high word is not looked at
  EXPECT_EQ(SendMessageA(host.Window(), kMsgHelpRequest, kHelpRequestContext, 1207), 0);
  for (WPARAM kind : {0, 7, 9}) EXPECT_EQ(SendMessageA(host.Window(), kMsgHelpRequest, kind, 12), 0);  // no help requests
  CloseHelp();
  SetHelpControlPathForTest(nullptr);
  EXPECT_EQ(GetModuleHandleA((ExeDir() + "HelpControlStandIn.dll").c_str()), nullptr);
  const unsigned long main = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(host.Window()));
  char expected[512];
  std::snprintf(expected, sizeof expected, "0 - 28 1\n%lu C:\\Plenara\\Plenara.chm 0 0\n%lu C:\\Plenara\\Plenara.chm 15 1207\n"
                "0 - 18 0\n0 - 29 %lu\n", main, main, 0x7E570042ul);
  EXPECT_STREQ(g_log, expected);
}

int g_reached[2];  // WM_USER+77 and WM_USER+78 as dispatched to the window

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 77 || message == WM_USER + 78) ++g_reached[message - WM_USER - 77];
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(HelpBinding, TheMessageLoopShowsEachMessageToTheControlWhileHelpIsInitialized) {
  StartLog();
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = CountingProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "PlenaraHelpLoopTest";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  SetHelpControlPathForTest((ExeDir() + "HelpControlStandIn.dll").c_str());
  const auto round = [window] {
    PostMessageA(window, WM_USER + 77, 0, 0);
    PostMessageA(window, WM_USER + 78, 0, 0);
    PostQuitMessage(0);
    RunMessageLoop();
  };
  round();  // help not initialized: nothing goes to the control
  ASSERT_EQ(InitHelp(), 1);
  round();
  CloseHelp();
  round();
  SetHelpControlPathForTest(nullptr);
  DestroyWindow(window);
  UnregisterClassA(windowClass.lpszClassName, GetModuleHandleA(nullptr));
  const std::string log = g_log;
  // The control took WM_USER+77 the one time it saw it; WM_USER+78 went on.
  EXPECT_EQ(CountOf(log, "0 - 253 1101\n"), 1) << log;
  EXPECT_EQ(CountOf(log, "0 - 253 1102\n"), 1) << log;
  EXPECT_EQ(g_reached[0], 2);
  EXPECT_EQ(g_reached[1], 3);
  EXPECT_GT(log.find("0 - 18 0\n"), log.rfind(" 253 ")) << log;  // none after help was closed
}

TEST(HelpBinding, LoadsTheSystemsControlNeverOnePlantedBesideTheProgramOrInTheCurrentFolder) {
  StartLog();
  ScratchDir scratch("plenara-help");
  const std::string beside = ExeDir() + "HHCTRL.OCX";
  const std::string inCurrent = scratch.File("HHCTRL.OCX");
  char saved[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, saved);
  ASSERT_TRUE(CopyFileTo(ExeDir() + "HelpControlStandIn.dll", inCurrent));
  ASSERT_TRUE(SetCurrentDirectoryA(scratch.Path().c_str()));
  EXPECT_TRUE(CopyFileTo(ExeDir() + "HelpControlStandIn.dll", beside));  // no ASSERT from here: it is removed below
  EXPECT_EQ(InitHelp(), 1);
  EXPECT_EQ(GetModuleHandleA(beside.c_str()), nullptr);
  EXPECT_EQ(GetModuleHandleA(inCurrent.c_str()), nullptr);
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  EXPECT_NE(GetModuleHandleA((std::string(system) + "\\HHCTRL.OCX").c_str()), nullptr);
  CloseHelp();
  EXPECT_STREQ(g_log, "");  // neither plant ever ran: it would have logged HH_INITIALIZE
  // The plants are real bait: a load by the bare name resolves to the one
  // beside the program. (Wine then maps its own control under that path
  // instead of running the file, so the path is what tells.)
  HMODULE bare = LoadLibraryA("HHCTRL.OCX");
  char loaded[MAX_PATH] = {};
  GetModuleFileNameA(bare, loaded, MAX_PATH);
  if (bare) FreeLibrary(bare);
  SetCurrentDirectoryA(saved);
  DeleteFileA(beside.c_str());
  EXPECT_EQ(lstrcmpiA(loaded, beside.c_str()), 0) << loaded;
}

}  // namespace
