// bench-scan.exe: the cost of one scan of the monitor against the floor of
// any polling scan (Floor.h), for N windows and M rules.
//   bench-scan [--counts 50,200,1000,5000] [--rules 1,20,100]
//              [--scans 50:41,200:31,1000:21,5000:9]
//              [--host-pid PID --server-pid PID]
//              [--profile-at N --profile-out FILE]
// For each N it times K rounds. A round times, for every (M, variant), one
// scan with those rules and, next to it, one floor pass, the order turning
// from round to round; so a burst of other work on the machine falls on
// scans and floors, and on every configuration, alike. Each configuration's
// ratio is given twice: of the medians, and the median of the ratios of its
// adjacent pairs, which a slow drift of the machine's load does not skew.
// Under Wine on Linux, --host-pid (this process's host process id) and
// --server-pid (the wineserver's) add the CPU time of each pass, this
// thread's and the server's, as /proc counts it. --profile-at adds, at that
// N, the scan's costs told apart (Profile below), written to FILE as CSV.
// Prints one CSV row per (N, M, variant); progress on stderr.
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

// Shown tracked windows that no rule has handled.
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

// RunScan, with a clock reading between its halves.
void TimeScan(Samples& s, const Clocks& clocks) {
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

// The steady state: every window tracked and handled (the handled rule list
// ends with a once-only rule that matches every window). Swapping in another
// configuration's rules keeps it: its once-only rules find every window
// handled, its every-scan rules act as at every scan.
bool SettleEveryWindowHandled(BenchBlock& block, int m) {
  block.SetRules(BenchRules(m, RuleVariant::kHandled));
  FreeTrackedWindows();
  RunScan();
  RunScan();
  return UnhandledShown(block.operator->()) == 0;
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
  SettleEveryWindowHandled(block, m);
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

std::vector<double> RatiosOf(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> ratios;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (b[i] > 0) ratios.push_back(a[i] / b[i]);
  }
  return ratios;
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

struct Config {
  int m;
  RuleVariant variant;
  std::vector<TargetRecord> rules;
  Samples scan;
  Samples floor;
};

void PrintRow(int n, int k, int all, int shown, const Config& c) {
  const double scan = Median(c.scan.wall);
  const double floor = Median(c.floor.wall);
  const double scanCpu = Median(SumOf(c.scan.client, c.scan.server));
  const double floorCpu = Median(SumOf(c.floor.client, c.floor.server));
  std::printf("%d,%d,%s,%d,%d,%d,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f\n",
              n, c.m, c.variant == RuleVariant::kHandled ? "handled" : "every", k, all, shown, scan, floor,
              floor > 0 ? scan / floor : 0, Median(RatiosOf(c.scan.wall, c.floor.wall)), MinOf(c.scan.wall),
              MinOf(c.floor.wall), MaxOf(c.scan.wall), MaxOf(c.floor.wall), Median(c.scan.wallEnum),
              Median(c.floor.wallEnum), Median(c.scan.client), Median(c.floor.client), Median(c.scan.server),
              Median(c.floor.server), scanCpu, floorCpu, floorCpu > 0 ? scanCpu / floorCpu : 0,
              Median(RatiosOf(SumOf(c.scan.client, c.scan.server), SumOf(c.floor.client, c.floor.server))));
  std::fflush(stdout);
  std::fprintf(stderr, "bench-scan: N=%d M=%d %s: scan %.1f ms, floor %.1f ms\n", n, c.m,
               c.variant == RuleVariant::kHandled ? "handled" : "every", scan, floor);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts = {50, 200, 1000, 5000};
  std::vector<int> ruleCounts = {1, 20, 100};
  std::map<int, int> scans = {{50, 41}, {200, 31}, {1000, 21}, {5000, 9}};
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
  if (ruleCounts.empty()) return 2;
  int largest = 0;
  for (int m : ruleCounts) largest = m > largest ? m : largest;

  BenchBlock block;
  Clocks clocks;
  // The scan runs on the main thread, which is the host process's first.
  if (!hostPid.empty()) clocks.client = std::make_unique<HostCpuClock>(hostPid + "\\task\\" + hostPid);
  if (!serverPid.empty()) clocks.server = std::make_unique<HostCpuClock>(serverPid);
  std::printf("n,m,variant,k,top_level,shown,scan_median_ms,floor_median_ms,ratio,paired_ratio,scan_min_ms,"
              "floor_min_ms,scan_max_ms,floor_max_ms,scan_enum_ms,floor_enum_ms,scan_client_cpu_ms,"
              "floor_client_cpu_ms,scan_server_cpu_ms,floor_server_cpu_ms,scan_cpu_ms,floor_cpu_ms,cpu_ratio,"
              "paired_cpu_ratio\n");
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

    std::vector<Config> configs;
    for (int m : ruleCounts) {
      for (RuleVariant variant : {RuleVariant::kHandled, RuleVariant::kEveryScan}) {
        configs.push_back(Config{m, variant, BenchRules(m, variant), {}, {}});
      }
    }
    if (!SettleEveryWindowHandled(block, largest)) {
      std::fprintf(stderr, "bench-scan: shown windows left unhandled at N=%d\n", n);
      status = 1;
    }
    const int count = static_cast<int>(configs.size());
    for (int round = 0; round < k; ++round) {
      for (int j = 0; j < count; ++j) {
        const int index = (round + j) % count;
        Config& c = configs[index];
        block.SetRules(c.rules);
        if ((round + index) % 2 == 0) {
          TimeScan(c.scan, clocks);
          TimeFloor(c.floor, clocks);
        } else {
          TimeFloor(c.floor, clocks);
          TimeScan(c.scan, clocks);
        }
      }
    }
    for (const Config& c : configs) PrintRow(n, k, all, shown, c);

    if (n == profileAt) {
      FILE* out = profileOut.empty() ? stderr : std::fopen(profileOut.c_str(), "w");
      if (out) {
        Profile(block, n, k, largest, clocks, out);
        if (out != stderr) std::fclose(out);
      }
    }
  }
  FreeTrackedWindows();
  ReleaseWindows();
  return status;
}
