#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "BenchWindows.h"
#include "monitor/Monitor.h"
#include "monitor/SystemLeadBytes.h"
#include "monitor/Tracking.h"
#include "monitor/WorkArea.h"

std::string ExeDir() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path);
  return s.substr(0, s.find_last_of('\\') + 1);
}

namespace {

bool StartHolder(int first, int count, HANDLE& process, HANDLE& ready) {
  char eventName[64];
  static LONG serial = 0;
  std::snprintf(eventName, sizeof eventName, "PlenaraBenchReady-%lu-%ld", GetCurrentProcessId(),
                InterlockedIncrement(&serial));
  ready = CreateEventA(nullptr, TRUE, FALSE, eventName);
  if (!ready) return false;
  const std::string exe = ExeDir() + "bench-windows.exe";
  char line[512];
  std::snprintf(line, sizeof line, "\"%s\" hold %d %d %s", exe.c_str(), first, count, eventName);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(exe.c_str(), line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(ready);
    ready = nullptr;
    return false;
  }
  CloseHandle(pi.hThread);
  process = pi.hProcess;
  return true;
}

}  // namespace

bool HoldWindows(int first, int count, DWORD timeoutMs) {
  std::vector<HANDLE> processes;
  std::vector<HANDLE> events;
  bool ok = true;
  for (int at = first; at < first + count && ok; at += kWindowsPerProcess) {
    HANDLE process = nullptr;
    HANDLE ready = nullptr;
    ok = StartHolder(at, std::min(kWindowsPerProcess, first + count - at), process, ready);
    if (ok) {
      processes.push_back(process);
      events.push_back(ready);
    }
  }
  const DWORD start = GetTickCount();
  for (size_t i = 0; i < events.size() && ok; ++i) {
    const DWORD spent = GetTickCount() - start;
    // A holder that ended before it was ready failed to open its windows.
    HANDLE both[2] = {events[i], processes[i]};
    ok = spent < timeoutMs && WaitForMultipleObjects(2, both, FALSE, timeoutMs - spent) == WAIT_OBJECT_0;
  }
  for (HANDLE h : processes) CloseHandle(h);
  for (HANDLE h : events) CloseHandle(h);
  return ok;
}

void ReleaseWindows() {
  std::vector<HANDLE> processes;
  HWND hold = nullptr;
  while ((hold = FindWindowExA(HWND_MESSAGE, hold, kBenchHoldClass, nullptr))) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hold, &pid);
    if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid)) processes.push_back(process);
    PostMessageA(hold, WM_CLOSE, 0, 0);
  }
  for (HANDLE process : processes) {
    WaitForSingleObject(process, 60000);
    CloseHandle(process);
  }
}

namespace {
struct Counts {
  int all;
  int shown;
};
BOOL CALLBACK CountOne(HWND window, LPARAM param) {
  auto* counts = reinterpret_cast<Counts*>(param);
  ++counts->all;
  if (IsWindowVisible(window) && !IsIconic(window)) ++counts->shown;
  return TRUE;
}
}  // namespace

void CountTopLevel(int& all, int& shown) {
  Counts counts = {0, 0};
  EnumWindows(CountOne, reinterpret_cast<LPARAM>(&counts));
  all = counts.all;
  shown = counts.shown;
}

double NowMicros() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

HostCpuClock::HostCpuClock(const std::string& which) {
  const std::string path = "Z:\\proc\\" + which + "\\schedstat";
  file_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                      nullptr);
}

HostCpuClock::~HostCpuClock() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

double HostCpuClock::Millis() const {
  if (file_ == INVALID_HANDLE_VALUE) return -1;
  // Reading from offset 0 again makes the kernel write the figures afresh.
  char text[128] = {};
  OVERLAPPED at = {};
  DWORD got = 0;
  if (!ReadFile(file_, text, sizeof text - 1, &got, &at) || got == 0) return -1;
  return std::strtod(text, nullptr) / 1e6;
}

// Committed private memory as the process's own address space shows it: the
// sum of the committed private regions. Under emulation this is the guest's
// view, which the counters of the host process cannot give.
unsigned long long CommittedPrivate(HANDLE process) {
  unsigned long long total = 0;
  MEMORY_BASIC_INFORMATION info;
  const char* at = nullptr;
  while (VirtualQueryEx(process, at, &info, sizeof info) == sizeof info) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
    const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
    if (next <= at) break;
    at = next;
  }
  return total;
}

// Handles the process holds, counted in the system's handle table: Wine
// answers GetProcessHandleCount with 0 for every process, but keeps this
// table. -1 when it cannot be read.
long CountHandles(DWORD pid) {
  struct Entry {
    USHORT UniqueProcessId;
    USHORT CreatorBackTraceIndex;
    UCHAR ObjectTypeIndex;
    UCHAR HandleAttributes;
    USHORT HandleValue;
    PVOID Object;
    ULONG GrantedAccess;
  };
  struct Table {
    ULONG NumberOfHandles;
    Entry Handles[1];
  };
  using QuerySystem = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  constexpr ULONG kSystemHandleInformation = 16;
  constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
  auto query = reinterpret_cast<QuerySystem>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return -1;
  std::vector<unsigned char> buffer(1 << 16);
  LONG status;
  ULONG needed = 0;
  while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
             kInfoLengthMismatch &&
         buffer.size() < (64u << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  if (status < 0) return -1;
  const auto* table = reinterpret_cast<const Table*>(buffer.data());
  long count = 0;
  for (ULONG i = 0; i < table->NumberOfHandles; ++i) {
    if (table->Handles[i].UniqueProcessId == static_cast<USHORT>(pid)) ++count;
  }
  return count;
}

std::string ToAnsi(const wchar_t* text) {
  char buffer[256] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer - 1, nullptr, nullptr);
  return buffer;
}

BenchBlock::BenchBlock() : block_(new SharedBlock()), previous_(Block()) {
  LoadSystemLeadBytes();
  AttachBlock(block_);
}

BenchBlock::~BenchBlock() {
  StopMonitorThread();
  FreeTrackedWindows();
  ClearRules();
  AttachBlock(previous_);
  delete block_;
}

void BenchBlock::SetRules(const std::vector<TargetRecord>& rules) {
  ClearRules();
  if (rules.empty()) return;
  auto* targets =
      static_cast<TargetEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, rules.size() * sizeof(TargetEntry)));
  if (!targets) return;
  for (size_t i = 0; i < rules.size(); ++i) targets[i].record = rules[i];
  block_->targets = PointerValue(targets);
  block_->NumOfTargets = static_cast<int32_t>(rules.size());
}

void BenchBlock::ClearRules() {
  if (TargetEntry* targets = TargetsOf(block_)) HeapFree(GetProcessHeap(), 0, targets);
  block_->targets = 0;
  block_->NumOfTargets = 0;
}

void RunScan() {
  ClearSeenFlags();
  EnumWindows(TrackTopLevelWindow, 0);
  PruneTrackedWindows();
  UpdateWorkArea();
  ApplyTargets();
}
