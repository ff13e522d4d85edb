// The monitor thread: its start, its stop and the spacing of its scans. A
// scan shows itself by an every-scan rule putting a window back in place.
#include <gtest/gtest.h>

#include "MonitorTestSupport.h"
#include "monitor/Monitor.h"
#include "monitor/MonitorThread.h"

namespace {

constexpr char kClass[] = "PlenaraThreadTop";
constexpr DWORD kPromptMs = 1000;

DWORD TimedStop() {
  const DWORD start = GetTickCount();
  StopMonitorThread();
  return GetTickCount() - start;
}

int OwnThreads() { return ThreadCount(GetCurrentProcessId()); }

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
    MoveXTo(window, 300);
    return WaitFor([&] { return BoxOf(window).x == 10; }, timeoutMs);
  }

  TestBlock block;
  Fixture& fixture = SharedFixture();
  HWND window = nullptr;
};

TEST_F(MonitorThread, FirstScanComesOneIntervalAfterStartAndAPauseKeepsTheList) {
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

  // A pause, as around a rule edit, keeps the list and its flags; interval 0
  // scans back to back.
  entry->handled = 1;
  HWND other = fixture.Top(kClass, "other", Box{300, 300, 200, 150});
  rule.enabled = 1;
  block->activeSettings.monitorInterval = 0;
  StartMonitorThread();
  ASSERT_TRUE(WaitFor([&] { return BoxOf(other).x == 10; }));
  EXPECT_TRUE(ScanPutsItBack(3000));
  EXPECT_LT(TimedStop(), 3000u);
  EXPECT_EQ(block.Find(window)->handled, 1);
  EXPECT_EQ(block.Find(other)->handled, 1);
}

TEST_F(MonitorThread, ALongOrEndlessWaitStopsPromptlyBeforeAnyScan) {
  for (int32_t interval : {8000, -1}) {
    block->activeSettings.monitorInterval = interval;
    StartMonitorThread();
    // Stopped before the new thread may even have begun to run.
    EXPECT_LT(TimedStop(), kPromptMs) << interval;
    StartMonitorThread();
    EXPECT_FALSE(ScanPutsItBack(500)) << interval;
    EXPECT_LT(TimedStop(), kPromptMs) << interval;
    EXPECT_EQ(TrackedCountNow(block.Get()), 0);
  }
}

TEST_F(MonitorThread, OneThreadAfterRepeatedStartsAndNoneAfterAFailedStart) {
  block->activeSettings.monitorInterval = -1;
  const int before = OwnThreads();
  ASSERT_GT(before, 0);
  StartMonitorThread();
  StartMonitorThread();
  EXPECT_EQ(OwnThreads(), before + 1);
  StopMonitorThread();
  EXPECT_TRUE(WaitFor([&] { return OwnThreads() == before; }, 3000));
  // A stop with no thread running returns at once.
  EXPECT_LT(TimedStop(), 100u);

  for (MonitorStartFailure failure : {MonitorStartFailure::kWakeEvent, MonitorStartFailure::kThread}) {
    FailNextMonitorStart(failure);
    StartMonitorThread();
    EXPECT_EQ(OwnThreads(), before);
    EXPECT_LT(TimedStop(), 100u);
  }
  // The next start is not hindered.
  block->activeSettings.monitorInterval = 0;
  StartMonitorThread();
  EXPECT_TRUE(ScanPutsItBack(5000));
  StopMonitorThread();
  EXPECT_TRUE(WaitFor([&] { return OwnThreads() == before; }, 3000));
}

}  // namespace
