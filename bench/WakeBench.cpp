// bench-wake.exe: what waking the monitor on window events buys and costs.
//   bench-wake INTERVAL COUNT NOTEPADS BURST IDLE_SECONDS IDLE_INTERVAL PERWINDOW
// With the windows that tools/bench holds on the desktop, it measures, each
// time with the real monitor thread (woken by window events) and with a copy
// of the loop that only polls, in one run:
//   - latency: COUNT fixture windows shown one after another, each reported
//     shown as Windows reports it, and NOTEPADS starts of Wine's Notepad, from
//     the window being shown to its reaching the rectangle of a once-only
//     rule, at INTERVAL ms; PERWINDOW names the per-window files;
//   - idle cost: the process's CPU time over IDLE_SECONDS at IDLE_INTERVAL ms
//     with no window appearing;
//   - a burst: BURST windows opened at once, and the scans the monitor ran
//     while they came, against those that polling alone runs in that time.
// It prints CSV rows (see the header lines).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchRules.h"
#include "BenchSupport.h"
#include "LateFixture.h"
#include "monitor/Monitor.h"

namespace {

constexpr char kNotepadClass[] = "Notepad";
constexpr int32_t kNotepadX = 200;
constexpr int32_t kNotepadY = 150;
constexpr int32_t kNotepadWidth = 400;
constexpr int32_t kNotepadHeight = 300;
constexpr DWORD kSettleMs = 3000;

TargetRecord NotepadRule() {
  TargetRecord rule = {};
  rule.enabled = 1;
  rule.applyOnce = 1;
  rule.classMatch = kMatchEquals;
  lstrcpyA(rule.classPattern, kNotepadClass);
  rule.sizeAction = kSizeSet;
  rule.widthSpec = {kSizeAbsolute, {}, kNotepadWidth};
  rule.heightSpec = {kSizeAbsolute, {}, kNotepadHeight};
  rule.positionAction = kPositionSet;
  rule.xSpec = {kAnchorNear, kOffsetPixels, {}, kNotepadX};
  rule.ySpec = {kAnchorNear, kOffsetPixels, {}, kNotepadY};
  return rule;
}

struct Found {
  DWORD pid;
  HWND window;
};

BOOL CALLBACK FindShownOf(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<Found*>(param);
  char name[32];
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != found->pid || !IsWindowVisible(window) || !GetClassNameA(window, name, sizeof name)) return TRUE;
  if (lstrcmpA(name, kNotepadClass) != 0) return TRUE;
  found->window = window;
  return FALSE;
}

// One start of Notepad: milliseconds from its window showing to its reaching
// the rule's rectangle, or -1. The bench watches both by polling every
// millisecond or so, on its own thread.
double NotepadLatency() {
  // Notepad opens where it was last closed, which would be the rule's
  // rectangle from the second start on.
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Microsoft\\Notepad");
  char line[] = "notepad.exe";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  CloseHandle(pi.hThread);
  RECT area = {};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  const RECT want = {area.left + kNotepadX, area.top + kNotepadY, area.left + kNotepadX + kNotepadWidth,
                     area.top + kNotepadY + kNotepadHeight};
  Found found = {pi.dwProcessId, nullptr};
  double shown = 0;
  double latency = -1;
  const double start = NowMicros();
  while (NowMicros() - start < 20e6) {
    if (!found.window) {
      EnumWindows(FindShownOf, reinterpret_cast<LPARAM>(&found));
      if (found.window) shown = NowMicros();
    }
    RECT r = {};
    if (found.window && GetWindowRect(found.window, &r) && EqualRect(&r, &want)) {
      latency = (NowMicros() - shown) / 1000.0;
      break;
    }
    Sleep(1);
  }
  if (found.window) PostMessageA(found.window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hProcess);
  return latency;
}

std::vector<double> NotepadLatencies(int count, int& missed) {
  std::vector<double> values;
  missed = 0;
  for (int i = 0; i < count; ++i) {
    const double ms = NotepadLatency();
    if (ms < 0) {
      ++missed;
    } else {
      values.push_back(ms);
    }
  }
  return values;
}

void PrintLatency(const char* run, const char* monitor, int interval, const std::vector<double>& values, int missed,
                  double scan, bool bounded) {
  const double median = Median(values);
  const double worst = MaxOf(values);
  const double medianBound = scan + 100;
  const double maxBound = 2 * scan + 300;
  const bool within = missed == 0 && median <= medianBound && worst <= maxBound;
  std::printf("%s,%s,%d,%d,%d,%.1f,%.1f,%.2f,%.1f,%.1f,%s\n", run, monitor, interval,
              static_cast<int>(values.size()), missed, median, worst, scan, medianBound, maxBound,
              bounded ? (within ? "yes" : "no") : "-");
}

double ProcessCpuMillis() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  const auto ticks = [](const FILETIME& t) { return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

double IdleCpuMillis(DWORD seconds) {
  Sleep(kSettleMs);
  const double before = ProcessCpuMillis();
  Sleep(seconds * 1000);
  return ProcessCpuMillis() - before;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr, "usage: bench-wake INTERVAL COUNT NOTEPADS BURST IDLE_SECONDS IDLE_INTERVAL PERWINDOW\n");
    return 2;
  }
  const int interval = std::atoi(argv[1]);
  const int count = std::atoi(argv[2]);
  const int notepads = std::atoi(argv[3]);
  const int burst = std::atoi(argv[4]);
  const DWORD idleSeconds = static_cast<DWORD>(std::atoi(argv[5]));
  const int idleInterval = std::atoi(argv[6]);
  const std::string perWindow = argv[7];

  BenchBlock block;
  block.SetRules({LateRule(), NotepadRule()});
  block->activeSettings.monitorInterval = interval;
  int all = 0;
  int shown = 0;
  CountTopLevel(all, shown);

  // Polling alone first: its scans give the scan time at this N.
  int missedPolled = 0;
  int missedWoken = 0;
  PollingLoop polling(static_cast<DWORD>(interval));
  RunLateFixture(count, interval, (perWindow + ".polled").c_str(), true);
  const std::vector<double> polled = ReadLatencies((perWindow + ".polled").c_str(), missedPolled);
  int missedNotepadPolled = 0;
  const std::vector<double> notepadPolled = NotepadLatencies(notepads, missedNotepadPolled);
  polling.Stop();
  FreeTrackedWindows();
  const double scan = Median(polling.ScanMillis());

  StartMonitorThread();
  RunLateFixture(count, interval, (perWindow + ".woken").c_str(), true);
  const std::vector<double> woken = ReadLatencies((perWindow + ".woken").c_str(), missedWoken);
  int missedNotepadWoken = 0;
  const std::vector<double> notepadWoken = NotepadLatencies(notepads, missedNotepadWoken);
  StopMonitorThread();
  FreeTrackedWindows();

  std::printf("run,monitor,interval_ms,placed,missed,median_ms,max_ms,scan_median_ms,median_target_ms,max_target_ms,"
              "within\n");
  PrintLatency("fixture windows", "polling only", interval, polled, missedPolled, scan, false);
  PrintLatency("fixture windows", "woken by events", interval, woken, missedWoken, scan, true);
  PrintLatency("Notepad starts", "polling only", interval, notepadPolled, missedNotepadPolled, scan, false);
  PrintLatency("Notepad starts", "woken by events", interval, notepadWoken, missedNotepadWoken, scan, true);

  // Idle: no window appears; the hook's thread only waits.
  block->activeSettings.monitorInterval = idleInterval;
  PollingLoop idlePolling(static_cast<DWORD>(idleInterval));
  const double polledCpu = IdleCpuMillis(idleSeconds);
  idlePolling.Stop();
  FreeTrackedWindows();
  StartMonitorThread();
  const double wokenCpu = IdleCpuMillis(idleSeconds);
  StopMonitorThread();
  FreeTrackedWindows();
  std::printf("idle,interval_ms,seconds,cpu_ms_polling_only,cpu_ms_woken_by_events,ratio\n");
  std::printf("idle,%d,%lu,%.0f,%.0f,%.3f\n", idleInterval, static_cast<unsigned long>(idleSeconds), polledCpu,
              wokenCpu, polledCpu > 0 ? wokenCpu / polledCpu : 0.0);

  // A burst: many windows at once cost a few scans, not one each.
  block->activeSettings.monitorInterval = interval;
  StartMonitorThread();
  Sleep(kSettleMs);
  const uint32_t scansBefore = MonitorScanCount();
  const double burstStart = NowMicros();
  const bool opened = HoldWindows(1000, burst, 120000);
  Sleep(static_cast<DWORD>(2 * interval));
  const double spent = (NowMicros() - burstStart) / 1000.0;
  const uint32_t scans = MonitorScanCount() - scansBefore;
  StopMonitorThread();
  ReleaseWindows();
  const int pollingScans = static_cast<int>(spent / interval) + 1;
  std::printf("burst,windows,top_level_before,opened,ms,scans_woken_by_events,scans_polling_only,extra_scans\n");
  std::printf("burst,%d,%d,%s,%.0f,%u,%d,%d\n", burst, all, opened ? "yes" : "no", spent, scans, pollingScans,
              static_cast<int>(scans) - pollingScans);
  return 0;
}
