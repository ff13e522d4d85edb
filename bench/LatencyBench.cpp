// bench-latency.exe: how long a new window waits for a once-only rule.
//   bench-latency COUNT INTERVAL PERWINDOW.csv
// Runs the real monitor thread in this process at INTERVAL ms with one
// once-only rule while bench-windows.exe shows COUNT windows that the rule
// places, one after another, and prints one CSV row: the latencies' median
// and maximum, and the scan time at this N, with the bound interval + 2 x
// scan. The scan time comes from a second run of the same scenario in which
// a copy of the monitor's loop (wait, then RunScan) times every scan: the
// fixture's own work takes the same share of the machine as in the first.
// The windows already on the desktop (a holding fixture, if one runs) stay
// there throughout.
#include <windows.h>
#include <process.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchRules.h"
#include "BenchSupport.h"
#include "monitor/Monitor.h"

namespace {

std::vector<double> ReadLatencies(const char* path, int& missed) {
  std::vector<double> values;
  missed = 0;
  FILE* in = std::fopen(path, "r");
  if (!in) return values;
  int index = 0;
  long long micros = 0;
  while (std::fscanf(in, "%d,%lld", &index, &micros) == 2) {
    if (micros < 0) {
      ++missed;
    } else {
      values.push_back(static_cast<double>(micros) / 1000.0);
    }
  }
  std::fclose(in);
  return values;
}

double MaxOf(const std::vector<double>& values) {
  double worst = 0;
  for (double v : values) worst = v > worst ? v : worst;
  return worst;
}

// Shows the windows and waits for the fixture to end; true if it placed all.
bool RunLateFixture(int count, int interval, const char* perWindow) {
  const std::string exe = ExeDir() + "bench-windows.exe";
  char line[1024];
  std::snprintf(line, sizeof line, "\"%s\" late %d %d \"%s\"", exe.c_str(), count, interval, perWindow);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(exe.c_str(), line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  const DWORD limit = static_cast<DWORD>(count + 10) * (2 * interval + 6000) + 60000;
  if (WaitForSingleObject(pi.hProcess, limit) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 5);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  return code == 0;
}

// The monitor's loop, with a clock around each scan.
struct TimedLoop {
  DWORD interval;
  HANDLE wake;
  volatile LONG stop;
  std::vector<double> scans;
};

unsigned __stdcall TimedLoopProc(void* param) {
  auto* loop = static_cast<TimedLoop*>(param);
  while (!loop->stop) {
    WaitForSingleObject(loop->wake, loop->interval);
    if (loop->stop) break;
    const double start = NowMicros();
    RunScan();
    loop->scans.push_back((NowMicros() - start) / 1000.0);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench-latency COUNT INTERVAL PERWINDOW.csv\n");
    return 2;
  }
  const int count = std::atoi(argv[1]);
  const int interval = std::atoi(argv[2]);
  const char* perWindow = argv[3];

  BenchBlock block;
  block.SetRules({LateRule()});
  block->activeSettings.monitorInterval = interval;
  int all = 0;
  int shown = 0;
  CountTopLevel(all, shown);

  // The latencies, with the real monitor thread.
  StartMonitorThread();
  const bool placedAll = RunLateFixture(count, interval, perWindow);
  StopMonitorThread();
  FreeTrackedWindows();
  int missed = 0;
  const std::vector<double> latencies = ReadLatencies(perWindow, missed);

  // The scan time in the same scenario, from the timed copy of the loop. Its
  // own latencies are not reported; the file is written again afterwards.
  const std::string scratch = std::string(perWindow) + ".timed";
  TimedLoop loop = {static_cast<DWORD>(interval), CreateEventA(nullptr, TRUE, FALSE, nullptr), 0, {}};
  loop.scans.reserve(4096);
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, TimedLoopProc, &loop, 0, nullptr));
  if (thread) {
    RunLateFixture(count, interval, scratch.c_str());
    InterlockedExchange(&loop.stop, 1);
    SetEvent(loop.wake);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  CloseHandle(loop.wake);
  DeleteFileA(scratch.c_str());

  const double scan = Median(loop.scans);
  const double worst = MaxOf(latencies);
  const double bound = interval + 2 * scan;
  std::printf("top_level,interval_ms,windows,placed,median_ms,max_ms,scan_median_ms,scan_max_ms,bound_ms,within\n");
  std::printf("%d,%d,%d,%d,%.1f,%.1f,%.2f,%.2f,%.1f,%s\n", all, interval, count, static_cast<int>(latencies.size()),
              Median(latencies), worst, scan, MaxOf(loop.scans), bound,
              (placedAll && missed == 0 && worst <= bound) ? "yes" : "no");
  return placedAll ? 0 : 1;
}
