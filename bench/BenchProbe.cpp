// bench-probe.exe: the benchmark script's hands inside Wine.
//   bench-probe hold COUNT    opens COUNT windows of the mix in holding
//                             processes and returns once they are shown
//   bench-probe release       ends every holding process
//   bench-probe rules FILE N  writes N rules that match no window of the mix
//                             as the test companion reads them (each record
//                             followed by a child count of 0)
//   bench-probe calls CLASS   prints the mean cost in microseconds of each
//                             platform call a scan makes, on a window of CLASS
//   bench-probe stats CLASS   prints "private_bytes,committed_private_bytes,
//                             handles,working_set_bytes" of the process that
//                             owns the top-level window of CLASS
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BenchRules.h"
#include "BenchSupport.h"

namespace {

int Stats(const char* className) {
  HWND window = FindWindowA(className, nullptr);
  if (!window) return 3;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return 4;
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
  const unsigned long long committed = CommittedPrivate(process);
  std::printf("%lu,%llu,%ld,%lu\n", static_cast<unsigned long>(counters.PrivateUsage), committed, CountHandles(pid),
              static_cast<unsigned long>(counters.WorkingSetSize));
  CloseHandle(process);
  return 0;
}

int WriteRules(const char* path, int count) {
  FILE* out = std::fopen(path, "wb");
  if (!out) return 3;
  const int32_t noChildren = 0;
  for (const TargetRecord& rule : UnmatchedRules(count)) {
    std::fwrite(&rule, sizeof rule, 1, out);
    std::fwrite(&noChildren, sizeof noChildren, 1, out);
  }
  return std::fclose(out) == 0 ? 0 : 3;
}

BOOL CALLBACK NoChild(HWND, LPARAM) { return TRUE; }

template <class Call>
double MeanMicros(Call call) {
  constexpr int kCalls = 200;
  const double start = NowMicros();
  for (int i = 0; i < kCalls; ++i) call();
  return (NowMicros() - start) / kCalls;
}

int Calls(const char* className) {
  HWND w = FindWindowA(className, nullptr);
  if (!w) return 3;
  char text[129];
  RECT r;
  DWORD pid = 0;
  std::printf("call,microseconds\n");
  std::printf("IsWindowVisible,%.1f\n", MeanMicros([&] { IsWindowVisible(w); }));
  std::printf("IsIconic,%.1f\n", MeanMicros([&] { IsIconic(w); }));
  std::printf("IsZoomed,%.1f\n", MeanMicros([&] { IsZoomed(w); }));
  std::printf("GetClassNameA,%.1f\n", MeanMicros([&] { GetClassNameA(w, text, sizeof text); }));
  std::printf("GetWindowTextA,%.1f\n", MeanMicros([&] { GetWindowTextA(w, text, sizeof text); }));
  std::printf("GetWindowRect,%.1f\n", MeanMicros([&] { GetWindowRect(w, &r); }));
  std::printf("GetWindowThreadProcessId,%.1f\n", MeanMicros([&] { GetWindowThreadProcessId(w, &pid); }));
  std::printf("EnumChildWindows(none),%.1f\n", MeanMicros([&] { EnumChildWindows(w, NoChild, 0); }));
  std::printf("SystemParametersInfoA(SPI_GETWORKAREA),%.1f\n",
              MeanMicros([&] { SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0); }));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && !std::strcmp(argv[1], "hold")) {
    if (!HoldWindows(0, std::atoi(argv[2]), 900000)) return 1;
    int all = 0;
    int shown = 0;
    CountTopLevel(all, shown);
    std::printf("%d,%d\n", all, shown);
    return 0;
  }
  if (argc == 2 && !std::strcmp(argv[1], "release")) {
    ReleaseWindows();
    return 0;
  }
  if (argc == 3 && !std::strcmp(argv[1], "stats")) return Stats(argv[2]);
  if (argc == 3 && !std::strcmp(argv[1], "calls")) return Calls(argv[2]);
  if (argc == 4 && !std::strcmp(argv[1], "rules")) return WriteRules(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr, "usage: bench-probe hold COUNT | release | stats CLASS | calls CLASS | rules FILE N\n");
  return 2;
}
