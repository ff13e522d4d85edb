// bench-floor.exe: the floor pass run as the monitor runs its scans, for the
// idle-cost comparison: a thread with a small stack waits INTERVAL ms on an
// event, runs one floor pass, and waits again, for SECONDS seconds.
//   bench-floor INTERVAL SECONDS
#include <windows.h>
#include <process.h>

#include <cstdlib>

#include "Floor.h"

namespace {

DWORD g_interval = 500;
HANDLE g_wake = nullptr;
volatile LONG g_stop = 0;

unsigned __stdcall FloorThreadProc(void*) {
  while (!g_stop) {
    WaitForSingleObject(g_wake, g_interval);
    if (g_stop) break;
    RunFloorPass();
  }
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc != 3) return 2;
  g_interval = static_cast<DWORD>(std::atoi(__argv[1]));
  const DWORD seconds = static_cast<DWORD>(std::atoi(__argv[2]));
  g_wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!g_wake) return 1;
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 4096, FloorThreadProc, nullptr, 0, nullptr));
  if (!thread) return 1;
  WaitForSingleObject(thread, seconds * 1000);
  InterlockedExchange(&g_stop, 1);
  SetEvent(g_wake);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CloseHandle(g_wake);
  return 0;
}
