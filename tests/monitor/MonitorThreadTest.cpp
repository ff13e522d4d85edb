// The monitor thread: its start, its stop and the spacing of its scans.
#include <gtest/gtest.h>

#include <atomic>

#include "MonitorTestSupport.h"
// After <windows.h>, which it needs.
#include <tlhelp32.h>
#include "monitor/Monitor.h"

namespace {

constexpr char kProbeClass[] = "PlenaraScanProbe";
constexpr DWORD kPromptMs = 1000;

// Every apply pass reads the title of each shown window; for a window of
// this process that is a WM_GETTEXT from the monitor thread, so counting
// them counts scans.
std::atomic<int> g_titleReads{0};

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_GETTEXT && InSendMessage()) ++g_titleReads;
  return DefWindowProcA(window, message, wParam, lParam);
}

// A shown window of the test's thread that counts the monitor's scans.
class ScanProbe {
 public:
  ScanProbe() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kProbeClass;
    RegisterClassA(&wc);
    window_ = CreateWindowA(kProbeClass, "probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                            wc.hInstance, nullptr);
    g_titleReads = 0;
  }
  ~ScanProbe() { DestroyWindow(window_); }
  ScanProbe(const ScanProbe&) = delete;
  ScanProbe& operator=(const ScanProbe&) = delete;
  HWND Window() const { return window_; }
  int Scans() const { return g_titleReads; }

 private:
  HWND window_ = nullptr;
};

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

TEST(MonitorThread, FirstScanComesOneIntervalAfterStartAndFindsExistingWindowsNew) {
  TestBlock block;
  Fixture& fixture = SharedFixture();
  ASSERT_TRUE(fixture.Ready());
  HWND window = fixture.Top("PlenaraThreadTop", "existing", Box{10, 10, 200, 150});
  ASSERT_NE(window, nullptr);
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

  // A pause (as around a rule edit) keeps the list and its flags.
  entry->handled = 1;
  block->activeSettings.monitorInterval = 0;
  ScanProbe probe;
  StartMonitorThread();
  ASSERT_TRUE(WaitFor([&] { return probe.Scans() >= 2; }));
  StopMonitorThread();
  ASSERT_NE(block.Find(window), nullptr);
  EXPECT_EQ(block.Find(window)->handled, 1);
  fixture.DestroyAll();
}

TEST(MonitorThread, StopDuringTheWaitReturnsPromptly) {
  TestBlock block;
  block->activeSettings.monitorInterval = 8000;
  StartMonitorThread();
  // Stopped before the new thread may even have begun to run.
  EXPECT_LT(TimedStop(), kPromptMs);
  EXPECT_EQ(TrackedCountNow(block.Get()), 0);

  StartMonitorThread();
  EXPECT_FALSE(WaitFor([&] { return TrackedCountNow(block.Get()) > 0; }, 300));
  EXPECT_LT(TimedStop(), kPromptMs);
  EXPECT_EQ(TrackedCountNow(block.Get()), 0);
}

TEST(MonitorThread, IntervalZeroScansBackToBack) {
  TestBlock block;
  ScanProbe probe;
  block->activeSettings.monitorInterval = 0;
  StartMonitorThread();
  EXPECT_TRUE(WaitFor([&] { return probe.Scans() >= 5; }, 5000)) << probe.Scans();
  // The stop lands while a pass may be waiting for this very thread to
  // answer; it must not wait for good.
  EXPECT_LT(TimedStop(), 3000u);
}

TEST(MonitorThread, IntervalAllOnesNeverScansAndStillStops) {
  TestBlock block;
  ScanProbe probe;
  block->activeSettings.monitorInterval = -1;
  StartMonitorThread();
  EXPECT_FALSE(WaitFor([&] { return probe.Scans() > 0 || TrackedCountNow(block.Get()) > 0; }, 1500));
  EXPECT_LT(TimedStop(), kPromptMs);
  EXPECT_EQ(probe.Scans(), 0);
  EXPECT_EQ(TrackedCountNow(block.Get()), 0);
}

TEST(MonitorThread, OnlyOneThreadRunsAfterRepeatedStarts) {
  TestBlock block;
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
  ScanProbe probe;
  block->activeSettings.monitorInterval = 0;
  StartMonitorThread();
  EXPECT_TRUE(WaitFor([&] { return probe.Scans() > 0; }, 5000));
  StopMonitorThread();
  EXPECT_TRUE(WaitFor([&] { return ThreadsOfThisProcess() == before; }, 3000));
}

}  // namespace
