#include "LateFixture.h"

#include <process.h>

#include <cstdio>
#include <string>

#include "BenchSupport.h"

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

bool RunLateFixture(int count, int interval, const char* perWindow, bool notify) {
  const std::string exe = ExeDir() + "bench-windows.exe";
  char line[1024];
  std::snprintf(line, sizeof line, "\"%s\" late %d %d \"%s\"%s", exe.c_str(), count, interval, perWindow,
                notify ? " notify" : "");
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

PollingLoop::PollingLoop(DWORD interval) : interval_(interval), wake_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  scans_.reserve(4096);
  if (wake_) thread_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Run, this, 0, nullptr));
}

PollingLoop::~PollingLoop() {
  Stop();
  if (wake_) CloseHandle(wake_);
}

void PollingLoop::Stop() {
  if (!thread_) return;
  InterlockedExchange(&stop_, 1);
  SetEvent(wake_);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
}

unsigned __stdcall PollingLoop::Run(void* self) {
  auto* loop = static_cast<PollingLoop*>(self);
  while (!loop->stop_) {
    WaitForSingleObject(loop->wake_, loop->interval_);
    if (loop->stop_) break;
    const double start = NowMicros();
    RunScan();
    loop->scans_.push_back((NowMicros() - start) / 1000.0);
  }
  return 0;
}
