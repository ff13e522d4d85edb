// The settings module's calls as the real program makes them, observed
// through the test companion's log.
#include <gtest/gtest.h>

#include <string>

#include "PlenaraInstance.h"
#include "app/Commands.h"

namespace {

constexpr char kProperty[] = "PlenaraTestProperty";

int CountWindows(const char* className, DWORD pid) {
  int count = 0;
  HWND w = nullptr;
  while ((w = FindWindowExA(nullptr, w, className, nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    count += owner == pid;
  }
  return count;
}

void Command(PlenaraInstance& plenara, WPARAM command) { PostMessageA(plenara.MainWindow(), WM_COMMAND, command, 0); }

TEST(CompanionCalls, ReadSettingOnTheMainThreadMonitoringFromItAndWrittenAtExit) {
  PlenaraInstance plenara;
  plenara.Configure("monitoring", "1");
  ASSERT_TRUE(plenara.Start());
  EXPECT_TRUE(plenara.WaitForLog("ReadSetting thread=main monitoring=0"));
  EXPECT_TRUE(WaitFor([] { return BlockView()->monitoringEnabled == 1; }));
  // Exit while monitoring: the settings are written while it is still on.
  Command(plenara, kCmdExit);
  EXPECT_EQ(plenara.Process().WaitExit(), 0u);
  EXPECT_NE(plenara.Log().find("WriteSetting thread=main monitoring=1"), std::string::npos) << plenara.Log();
}

TEST(CompanionCalls, OnePropertyWindowForQuickRequestsAndANewOneLater) {
  PlenaraInstance plenara;
  plenara.Configure("openSettings", "1");
  ASSERT_TRUE(plenara.Start());
  const DWORD pid = plenara.Process().Pid();
  // Requests while the window asked for at start may still be on its way.
  SendMessageA(plenara.MainWindow(), WM_COMMAND, kCmdSettings, 0);
  SendMessageA(plenara.MainWindow(), WM_COMMAND, MAKEWPARAM(kCmdSettings, 1), 0);
  ASSERT_TRUE(plenara.WaitForLog("OpenPropertyWindow thread=worker"));
  ASSERT_TRUE(WaitFor([&] { return CountWindows(kProperty, pid) == 1; }));
  SendMessageA(plenara.MainWindow(), WM_COMMAND, kCmdSettings, 0);
  EXPECT_EQ(CountWindows(kProperty, pid), 1);
  EXPECT_EQ(CountOf(plenara.Log(), "OpenPropertyWindow thread"), 1);

  PostMessageA(FindWindowOfProcess(kProperty, pid), WM_CLOSE, 0, 0);
  ASSERT_TRUE(plenara.WaitForLog("OpenPropertyWindow closed"));
  // The worker may still be on its way out; keep asking until a window comes.
  ASSERT_TRUE(WaitFor([&] {
    Command(plenara, kCmdSettings);
    return CountOf(plenara.Log(), "OpenPropertyWindow thread") == 2;
  }));
  EXPECT_TRUE(WaitFor([&] { return CountWindows(kProperty, pid) == 1; }));
  EXPECT_EQ(plenara.Close(), 0u);
}

TEST(CompanionCalls, StartAndStopNotifyThePropertyWindowAndExitWritesBeforeClosingIt) {
  PlenaraInstance plenara;
  ASSERT_TRUE(plenara.Start());
  Command(plenara, kCmdSettings);
  Command(plenara, kCmdAbout);
  ASSERT_TRUE(WaitFor([&] {
    BlockView block;
    return block->propertyWindow != 0 && block->aboutWindow != 0;
  }));
  Command(plenara, kCmdStart);
  EXPECT_TRUE(plenara.WaitForLog("StateChanged monitoring=1"));
  Command(plenara, kCmdStop);
  EXPECT_TRUE(plenara.WaitForLog("StateChanged monitoring=0"));
  EXPECT_EQ(plenara.Close(), 0u);
  const std::string log = plenara.Log();
  const size_t write = log.find("WriteSetting thread=main monitoring=0 targets=0 property=1 about=1");
  ASSERT_NE(write, std::string::npos) << log;
  EXPECT_LT(write, log.find("OpenPropertyWindow closed")) << log;
  EXPECT_LT(write, log.find("OpenAboutBox closed")) << log;
}

}  // namespace
