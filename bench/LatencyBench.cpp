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
#include "LateFixture.h"
#include "monitor/Monitor.h"

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
  PollingLoop loop(static_cast<DWORD>(interval));
  RunLateFixture(count, interval, scratch.c_str());
  loop.Stop();
  DeleteFileA(scratch.c_str());

  const double scan = Median(loop.ScanMillis());
  const double worst = MaxOf(latencies);
  const double bound = interval + 2 * scan;
  std::printf("top_level,interval_ms,windows,placed,median_ms,max_ms,scan_median_ms,scan_max_ms,bound_ms,within\n");
  std::printf("%d,%d,%d,%d,%.1f,%.1f,%.2f,%.2f,%.1f,%s\n", all, interval, count, static_cast<int>(latencies.size()),
              Median(latencies), worst, scan, MaxOf(loop.ScanMillis()), bound,
              (placedAll && missed == 0 && worst <= bound) ? "yes" : "no");
  return placedAll ? 0 : 1;
}
