// bench-scan.exe: the cost of one scan of the monitor against the floor of
// any polling scan (Floor.h), for N windows and M rules.
//   bench-scan [--counts 50,200,1000,5000] [--rules 1,20,100]
//              [--scans 50:40,200:30,1000:15,5000:7]
//              [--host-pid PID --server-pid PID]
//              [--profile-at N --profile-out FILE]
// --scans gives the number K of timed scans for each N. Under Wine on Linux,
// --host-pid (this process's host process id) and --server-pid (the
// wineserver's) add the CPU time of each pass, this thread's and the
// server's, as /proc counts it. --profile-at adds, at that N, the scan's
// costs told apart (Profile below), written to FILE as CSV. Every timed scan is
// paired with a floor pass, in alternating order, so that both meet the same
// load on the machine. Prints one CSV row per (N, M, variant); progress on
// stderr.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchRules.h"
#include "BenchSupport.h"
#include "Floor.h"
#include "monitor/Monitor.h"
#include "monitor/Tracked.h"
#include "monitor/Tracking.h"
#include "monitor/WorkArea.h"

namespace {

std::vector<int> ParseList(const char* text) {
  std::vector<int> values;
  for (const char* p = text; *p;) {
    values.push_back(std::atoi(p));
    while (*p && *p != ',') ++p;
    if (*p == ',') ++p;
  }
  return values;
}

std::map<int, int> ParseScans(const char* text) {
  std::map<int, int> scans;
  for (const char* p = text; *p;) {
    const int n = std::atoi(p);
    while (*p && *p != ':') ++p;
    if (*p == ':') ++p;
    scans[n] = std::atoi(p);
    while (*p && *p != ',') ++p;
    if (*p == ',') ++p;
  }
  return scans;
}

// Shown tracked windows that no rule has handled: after the warm-up of the
// handled variant there must be none.
int UnhandledShown(SharedBlock* block) {
  const TrackedWindow* list = PointerOf<TrackedWindow>(block->tracked);
  int unhandled = 0;
  for (int32_t i = 0; i < block->trackedCount; ++i) {
    const HWND window = HandleOf(list[i].hwnd);
    if (!list[i].handled && IsWindowVisible(window) && !IsIconic(window)) ++unhandled;
  }
  return unhandled;
}

// The figures of one kind of pass (the scan, or the floor).
struct Samples {
  std::vector<double> wall;
  // The first half: the enumeration (for the scan with its list upkeep); the
  // rest is the work area and the per-window reads (the scan's apply pass).
  std::vector<double> wallEnum;
  std::vector<double> client;  // this thread's CPU time
  std::vector<double> server;  // the wineserver's CPU time
};

struct Clocks {
  std::unique_ptr<HostCpuClock> client;
  std::unique_ptr<HostCpuClock> server;
};

template <class First, class Second>
void Measure(Samples& s, const Clocks& clocks, First first, Second second) {
  const double client0 = clocks.client ? clocks.client->Millis() : -1;
  const double server0 = clocks.server ? clocks.server->Millis() : -1;
  const double start = NowMicros();
  first();
  const double middle = NowMicros();
  second();
  const double end = NowMicros();
  const double client1 = clocks.client ? clocks.client->Millis() : -1;
  const double server1 = clocks.server ? clocks.server->Millis() : -1;
  s.wall.push_back((end - start) / 1000.0);
  s.wallEnum.push_back((middle - start) / 1000.0);
  s.client.push_back(client0 >= 0 && client1 >= 0 ? client1 - client0 : -1);
  s.server.push_back(server0 >= 0 && server1 >= 0 ? server1 - server0 : -1);
}

void TimeScan(Samples& s, const Clocks& clocks) {
  // RunScan, with a clock reading between its halves.
  Measure(
      s, clocks,
      [] {
        ClearSeenFlags();
        EnumWindows(TrackTopLevelWindow, 0);
        PruneTrackedWindows();
      },
      [] {
        UpdateWorkArea();
        ApplyTargets();
      });
}

void TimeFloor(Samples& s, const Clocks& clocks) {
  Measure(s, clocks, [] { FloorEnumerate(); }, [] { FloorReadShown(); });
}

void TimePairs(int k, const Clocks& clocks, Samples& scan, Samples& floor) {
  for (int i = 0; i < k; ++i) {
    if (i % 2 == 0) {
      TimeScan(scan, clocks);
      TimeFloor(floor, clocks);
    } else {
      TimeFloor(floor, clocks);
      TimeScan(scan, clocks);
    }
  }
}

// The scan's costs told apart at one N: the floor, the floor with the
// thread check a scan makes before each title, the scan without rules (the
// tracked list and the platform calls), and with the rules of both variants.
// One round runs every kind once, in an order that turns with the round.
void Profile(BenchBlock& block, int n, int k, int m, const Clocks& clocks, FILE* out) {
  struct Kind {
    const char* name;
    int rules;
    RuleVariant variant;
    bool scan;
    bool askThread;
  };
  const Kind kinds[] = {
      {"floor", 0, RuleVariant::kHandled, false, false},
      {"floor + thread check", 0, RuleVariant::kHandled, false, true},
      {"scan without rules", 0, RuleVariant::kHandled, true, false},
      {"scan all handled", m, RuleVariant::kHandled, true, false},
      {"scan a tenth every scan", m, RuleVariant::kEveryScan, true, false},
  };
  constexpr int kKinds = sizeof kinds / sizeof kinds[0];
  std::vector<Samples> samples(kKinds);
  // Every window handled first, as in the steady state.
  block.SetRules(BenchRules(m, RuleVariant::kHandled));
  FreeTrackedWindows();
  RunScan();
  RunScan();
  for (int round = 0; round < k; ++round) {
    for (int j = 0; j < kKinds; ++j) {
      const Kind& kind = kinds[(round + j) % kKinds];
      Samples& s = samples[(round + j) % kKinds];
      if (kind.scan) {
        block.SetRules(BenchRules(kind.rules, kind.variant));
        TimeScan(s, clocks);
      } else if (kind.askThread) {
        Measure(s, clocks, [] { FloorEnumerate(); }, [] { FloorReadShownAskingThread(); });
      } else {
        TimeFloor(s, clocks);
      }
    }
  }
  std::fprintf(out, "n,m,kind,k,wall_ms,enum_ms,client_cpu_ms,server_cpu_ms\n");
  for (int j = 0; j < kKinds; ++j) {
    std::fprintf(out, "%d,%d,%s,%d,%.3f,%.3f,%.3f,%.3f\n", n, kinds[j].rules, kinds[j].name, k,
                 Median(samples[j].wall), Median(samples[j].wallEnum), Median(samples[j].client),
                 Median(samples[j].server));
  }
  std::fflush(out);
}

// Waits until the wineserver has gone quiet (under 2 % of one CPU over a
// second; two minutes at most): what opening windows set going must not run
// into a measurement.
void WaitForQuiet(const Clocks& clocks) {
  if (!clocks.server) return;
  for (int i = 0; i < 120; ++i) {
    const double before = clocks.server->Millis();
    Sleep(1000);
    if (clocks.server->Millis() - before < 20) return;
  }
}

std::vector<double> SumOf(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> sum;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) sum.push_back(a[i] < 0 || b[i] < 0 ? -1 : a[i] + b[i]);
  return sum;
}

double MinOf(const std::vector<double>& v) {
  double m = v.empty() ? 0 : v[0];
  for (double x : v) m = x < m ? x : m;
  return m;
}

double MaxOf(const std::vector<double>& v) {
  double m = 0;
  for (double x : v) m = x > m ? x : m;
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts = {50, 200, 1000, 5000};
  std::vector<int> ruleCounts = {1, 20, 100};
  std::map<int, int> scans = {{50, 40}, {200, 30}, {1000, 15}, {5000, 7}};
  std::string serverPid;
  std::string hostPid;
  int profileAt = 0;
  std::string profileOut;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--server-pid")) serverPid = argv[i + 1];
    if (!std::strcmp(argv[i], "--host-pid")) hostPid = argv[i + 1];
    if (!std::strcmp(argv[i], "--profile-at")) profileAt = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--profile-out")) profileOut = argv[i + 1];
    if (!std::strcmp(argv[i], "--counts")) counts = ParseList(argv[i + 1]);
    if (!std::strcmp(argv[i], "--rules")) ruleCounts = ParseList(argv[i + 1]);
    if (!std::strcmp(argv[i], "--scans")) scans = ParseScans(argv[i + 1]);
  }

  BenchBlock block;
  Clocks clocks;
  // The scan runs on the main thread, which is the host process's first.
  if (!hostPid.empty()) clocks.client = std::make_unique<HostCpuClock>(hostPid + "\\task\\" + hostPid);
  if (!serverPid.empty()) clocks.server = std::make_unique<HostCpuClock>(serverPid);
  std::printf("n,m,variant,k,top_level,shown,scan_median_ms,floor_median_ms,ratio,scan_min_ms,floor_min_ms,"
              "scan_max_ms,floor_max_ms,scan_enum_ms,floor_enum_ms,scan_client_cpu_ms,floor_client_cpu_ms,"
              "scan_server_cpu_ms,floor_server_cpu_ms,scan_cpu_ms,floor_cpu_ms,cpu_ratio\n");
  std::fflush(stdout);
  int held = 0;
  int status = 0;
  for (int n : counts) {
    if (n > held) {
      const double start = NowMicros();
      if (!HoldWindows(held, n - held, 900000)) {
        std::fprintf(stderr, "bench-scan: could not open %d windows\n", n);
        status = 1;
        break;
      }
      std::fprintf(stderr, "bench-scan: %d windows open (%.0f s to open %d)\n", n, (NowMicros() - start) / 1e6,
                   n - held);
      held = n;
      WaitForQuiet(clocks);
    }
    const int k = scans.count(n) ? scans[n] : 10;
    int all = 0;
    int shown = 0;
    CountTopLevel(all, shown);
    for (int m : ruleCounts) {
      for (RuleVariant variant : {RuleVariant::kHandled, RuleVariant::kEveryScan}) {
        const char* name = variant == RuleVariant::kHandled ? "handled" : "every";
        block.SetRules(BenchRules(m, variant));
        FreeTrackedWindows();
        // The first scan tracks and handles everything; the second is the
        // first of the steady state.
        RunScan();
        RunScan();
        if (variant == RuleVariant::kHandled && UnhandledShown(block.operator->()) != 0) {
          std::fprintf(stderr, "bench-scan: %d shown windows left unhandled\n", UnhandledShown(block.operator->()));
        }
        Samples scan;
        Samples floor;
        TimePairs(k, clocks, scan, floor);
        const double scanMedian = Median(scan.wall);
        const double floorMedian = Median(floor.wall);
        const double scanCpu = Median(SumOf(scan.client, scan.server));
        const double floorCpu = Median(SumOf(floor.client, floor.server));
        std::printf("%d,%d,%s,%d,%d,%d,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f\n",
                    n, m, name, k, all, shown, scanMedian, floorMedian, floorMedian > 0 ? scanMedian / floorMedian : 0,
                    MinOf(scan.wall), MinOf(floor.wall), MaxOf(scan.wall), MaxOf(floor.wall), Median(scan.wallEnum),
                    Median(floor.wallEnum), Median(scan.client), Median(floor.client), Median(scan.server),
                    Median(floor.server), scanCpu, floorCpu, floorCpu > 0 ? scanCpu / floorCpu : 0);
        std::fflush(stdout);
        std::fprintf(stderr, "bench-scan: N=%d M=%d %s: scan %.2f ms, floor %.2f ms\n", n, m, name, scanMedian,
                     floorMedian);
      }
    }
    if (n == profileAt) {
      FILE* out = profileOut.empty() ? stderr : std::fopen(profileOut.c_str(), "w");
      if (out) {
        Profile(block, n, k, ruleCounts.empty() ? 1 : ruleCounts.back(), clocks, out);
        if (out != stderr) std::fclose(out);
      }
    }
  }
  FreeTrackedWindows();
  ReleaseWindows();
  return status;
}
