// The monitor thread: its start, its stop and the spacing of its scans. A
// scan shows itself by an every-scan rule putting a window back in place.
#include <gtest/gtest.h>

#include "MonitorTestSupport.h"
#include "monitor/Monitor.h"
#include "monitor/MonitorThread.h"
// After <windows.h>, which it needs.
#include <tlhelp32.h>

namespace {

constexpr char kClass[] = "PlenaraThreadTop";
constexpr DWORD kPromptMs = 1000;

int ThreadsOfThisProcess() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

DWORD TimedStop() {
  const DWORD start = GetTickCount();
  StopMonitorThread();
  return GetTickCount() - start;
}

void MoveXBy(HWND window, int32_t x) {
  SetWindowPos(window, nullptr, x, BoxOf(window).y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

class MonitorThread : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fixture.Ready());
    window = fixture.Top(kClass, "scanned", Box{300, 100, 200, 150});
    ASSERT_NE(window, nullptr);
    block.AddTarget(MoveXRule(kClass, 10));
  }
  void TearDown() override {
    StopMonitorThread();
    fixture.DestroyAll();
  }

  // Moves the window away and waits for a scan to put it back.
  bool ScanPutsItBack(DWORD timeoutMs) {
    MoveXBy(window, 300);
    return WaitFor([&] { return BoxOf(window).x == 10; }, timeoutMs);
  }

  TestBlock block;
  Fixture& fixture = SharedFixture();
  HWND window = nullptr;
};

TEST_F(MonitorThread, FirstScanComesOneIntervalAfterStartAndFindsExistingWindowsNew) {
  TargetRecord& rule = TargetsOf(block.Get())[0].record;
  rule.enabled = 0;
  block->activeSettings.monitorInterval = 1500;
  const DWORD start = GetTickCount();
  StartMonitorThread();
  EXPECT_EQ(TrackedCountNow(block.Get()), 0);
  ASSERT_TRUE(WaitFor([&] { return TrackedCountNow(block.Get()) > 0; }));
  EXPECT_GE(GetTickCount() - start, 1400u);
  StopMonitorThread();
  TrackedWindow* entry = block.Find(window);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->handled, 0);
  EXPECT_EQ(entry->seen, 1);

  // A pause, as around a rule edit, keeps the list and its flags.
  entry->handled = 1;
  HWND other = fixture.Top(kClass, "other", Box{300, 300, 200, 150});
  rule.enabled = 1;
  block->activeSettings.monitorInterval = 0;
  StartMonitorThread();
  ASSERT_TRUE(WaitFor([&] { return BoxOf(other).x == 10; }));
  StopMonitorThread();
  ASSERT_NE(block.Find(window), nullptr);
  EXPECT_EQ(block.Find(window)->handled, 1);
  EXPECT_EQ(block.Find(other)->handled, 1);
}

TEST_F(MonitorThread, StopDuringTheWaitReturnsPromptly) {
  block->activeSettings.monitorInterval = 8000;
  StartMonitorThread();
  // Stopped before the new thread may even have begun to run.
  EXPECT_LT(TimedStop(), kPromptMs);
  StartMonitorThread();
  EXPECT_FALSE(ScanPutsItBack(300));
  EXPECT_LT(TimedStop(), kPromptMs);
  EXPECT_EQ(TrackedCountNow(block.Get()), 0);
  EXPECT_EQ(BoxOf(window).x, 300);
}

TEST_F(MonitorThread, IntervalZeroScansBackToBack) {
  block->activeSettings.monitorInterval = 0;
  StartMonitorThread();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(ScanPutsItBack(3000)) << i;
  EXPECT_LT(TimedStop(), 3000u);
}

TEST_F(MonitorThread, IntervalAllOnesNeverScansAndStillStops) {
  block->activeSettings.monitorInterval = -1;
  StartMonitorThread();
  EXPECT_FALSE(ScanPutsItBack(1500));
  EXPECT_LT(TimedStop(), kPromptMs);
  EXPECT_EQ(TrackedCountNow(block.Get()), 0);
}

TEST_F(MonitorThread, OnlyOneThreadRunsAfterRepeatedStarts) {
  block->activeSettings.monitorInterval = -1;
  const int before = ThreadsOfThisProcess();
  ASSERT_GT(before, 0);
  StartMonitorThread();
  StartMonitorThread();
  StartMonitorThread();
  EXPECT_EQ(ThreadsOfThisProcess(), before + 1);
  StopMonitorThread();
  EXPECT_TRUE(WaitFor([&] { return ThreadsOfThisProcess() == before; }, 3000));
  // A stop with no thread running returns at once, and a new start works.
  EXPECT_LT(TimedStop(), 100u);
  block->activeSettings.monitorInterval = 0;
  StartMonitorThread();
  EXPECT_TRUE(ScanPutsItBack(5000));
  StopMonitorThread();
  EXPECT_TRUE(WaitFor([&] { return ThreadsOfThisProcess() == before; }, 3000));
}

TEST_F(MonitorThread, AStartThatCannotCreateItsEventOrThreadLeavesNothingToWaitFor) {
  block->activeSettings.monitorInterval = -1;
  const int before = ThreadsOfThisProcess();
  for (MonitorStartFailure failure : {MonitorStartFailure::kWakeEvent, MonitorStartFailure::kThread}) {
    FailNextMonitorStart(failure);
    StartMonitorThread();
    EXPECT_EQ(ThreadsOfThisProcess(), before);
    EXPECT_LT(TimedStop(), 100u);
  }
  // The next start is not hindered.
  StartMonitorThread();
  EXPECT_EQ(ThreadsOfThisProcess(), before + 1);
  EXPECT_LT(TimedStop(), kPromptMs);
}

}  // namespace
