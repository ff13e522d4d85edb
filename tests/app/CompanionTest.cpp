// The settings module's calls as the real program makes them, observed
// through the test companion's log.
#include <gtest/gtest.h>

#include <string>

#include "PlenaraInstance.h"
#include "app/Commands.h"

namespace {

size_t At(const std::string& log, const std::string& text) { return log.find(text); }

struct CountState {
  const char* name;
  DWORD pid;
  int count;
};

BOOL CALLBACK CountProc(HWND w, LPARAM p) {
  auto* s = reinterpret_cast<CountState*>(p);
  char name[64] = {};
  GetClassNameA(w, name, sizeof name);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == s->pid && lstrcmpA(name, s->name) == 0) ++s->count;
  return TRUE;
}

int CountWindows(const char* className, DWORD pid) {
  CountState state = {className, pid, 0};
  EnumWindows(CountProc, reinterpret_cast<LPARAM>(&state));
  return state.count;
}

TEST(CompanionCalls, ReadSettingOnTheMainThreadAndMonitoringStartsFromIt) {
  PlenaraInstance plenara;
  plenara.Configure("monitoring", "1");
  ASSERT_TRUE(plenara.Start());
  EXPECT_TRUE(plenara.WaitForLog("ReadSetting thread=main monitoring=0"));
  EXPECT_TRUE(WaitFor([] {
    BlockView block;
    return block->monitoringEnabled == 1;
  }));
  // Exit while monitoring: the settings are written while it is still on.
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(plenara.Process().WaitExit(), 0u);
  EXPECT_NE(At(plenara.Log(), "WriteSetting thread=main monitoring=1"), std::string::npos) << plenara.Log();
}

TEST(CompanionCalls, OpenSettingsAtStartOpensThePropertyWindowOnce) {
  PlenaraInstance plenara;
  plenara.Configure("openSettings", "1");
  ASSERT_TRUE(plenara.Start());
  EXPECT_TRUE(plenara.WaitForLog("OpenPropertyWindow thread=worker"));
  EXPECT_TRUE(WaitFor([&] { return CountWindows("PlenaraTestProperty", plenara.Process().Pid()) == 1; }));
  EXPECT_EQ(plenara.Close(), 0u);
  EXPECT_EQ(CountOf(plenara.Log(), "OpenPropertyWindow thread"), 1);
}

TEST(CompanionCalls, ExitWithThePropertyWindowOpenWritesThenClosesIt) {
  PlenaraInstance plenara;
  ASSERT_TRUE(plenara.Start());
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdSettings, 0);
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdAbout, 0);
  ASSERT_TRUE(WaitFor([&] {
    BlockView block;
    return block->propertyWindow != 0 && block->aboutWindow != 0;
  }));
  EXPECT_EQ(plenara.Close(), 0u);
  const std::string log = plenara.Log();
  const size_t write = At(log, "WriteSetting thread=main monitoring=0 targets=0 property=1 about=1");
  ASSERT_NE(write, std::string::npos) << log;
  EXPECT_LT(write, At(log, "OpenPropertyWindow closed")) << log;
  EXPECT_LT(write, At(log, "OpenAboutBox closed")) << log;
}

TEST(CompanionCalls, TwoQuickRequestsOpenOneWindowAndALaterOneANewOne) {
  PlenaraInstance plenara;
  ASSERT_TRUE(plenara.Start());
  const DWORD pid = plenara.Process().Pid();
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdSettings, 0);
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdSettings, 0);
  ASSERT_TRUE(WaitFor([&] { return CountWindows("PlenaraTestProperty", pid) == 1; }));
  PostMessageA(plenara.MainWindow(), WM_COMMAND, MAKEWPARAM(kCmdSettings, 1), 0);
  ASSERT_TRUE(plenara.WaitForLog("OpenPropertyWindow thread"));
  EXPECT_EQ(CountWindows("PlenaraTestProperty", pid), 1);
  EXPECT_EQ(CountOf(plenara.Log(), "OpenPropertyWindow thread"), 1);

  PostMessageA(FindWindowOfProcess("PlenaraTestProperty", pid), WM_CLOSE, 0, 0);
  ASSERT_TRUE(plenara.WaitForLog("OpenPropertyWindow closed"));
  // The worker may still be on its way out; keep asking until a window comes.
  ASSERT_TRUE(WaitFor([&] {
    PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdSettings, 0);
    return CountOf(plenara.Log(), "OpenPropertyWindow thread") == 2;
  }));
  EXPECT_TRUE(WaitFor([&] { return CountWindows("PlenaraTestProperty", pid) == 1; }));
  EXPECT_EQ(plenara.Close(), 0u);
}

TEST(CompanionCalls, StartAndStopNotifyThePropertyWindowAfterTheFlagChanged) {
  PlenaraInstance plenara;
  ASSERT_TRUE(plenara.Start());
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdSettings, 0);
  ASSERT_TRUE(WaitFor([&] {
    BlockView block;
    return block->propertyWindow != 0;
  }));
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdStart, 0);
  EXPECT_TRUE(plenara.WaitForLog("StateChanged monitoring=1"));
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdStop, 0);
  EXPECT_TRUE(plenara.WaitForLog("StateChanged monitoring=0"));
  EXPECT_EQ(plenara.Close(), 0u);
}

}  // namespace
