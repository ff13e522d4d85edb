#include "monitor/WindowEvents.h"

#include <process.h>

#include <atomic>

namespace {

constexpr DWORD kEventsStartMs = 5000;
constexpr DWORD kEventsEndMs = 2000;

// Owned by the thread that starts and stops the monitor.
HANDLE g_thread = nullptr;
DWORD g_threadId = 0;
// Set before the events thread starts and read by it while it runs.
HANDLE g_soon = nullptr;
HANDLE g_ready = nullptr;
std::atomic<bool> g_hooked{false};

void CALLBACK OnWindowEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
  if (event == EVENT_OBJECT_DESTROY || object != OBJID_WINDOW || child != CHILDID_SELF) return;
  if (WakesMonitor(window)) SetEvent(g_soon);
}

unsigned __stdcall WindowEventsProc(void*) {
  constexpr DWORD kFlags = WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS;
  // Creation, destruction (passed over) and showing are one range.
  HWINEVENTHOOK shown = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, nullptr, OnWindowEvent, 0, 0, kFlags);
  HWINEVENTHOOK renamed =
      SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, OnWindowEvent, 0, 0, kFlags);
  MSG msg;
  // The queue exists once this returns, so the stop's WM_QUIT cannot be lost.
  PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  g_hooked = shown != nullptr;
  SetEvent(g_ready);
  // Out-of-context events are delivered while this thread waits for messages.
  if (shown) {
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  }
  if (renamed) UnhookWinEvent(renamed);
  if (shown) UnhookWinEvent(shown);
  return 0;
}

}  // namespace

bool WakesMonitor(HWND window) {
  DWORD process = 0;
  // The flag that skips this process's own events is not honoured everywhere.
  if (!window || !GetWindowThreadProcessId(window, &process) || process == GetCurrentProcessId()) return false;
  HWND parent = GetAncestor(window, GA_PARENT);
  if (!parent || parent == GetDesktopWindow()) return true;
  char name[16];
  return GetClassNameA(parent, name, sizeof name) > 0 && lstrcmpiA(name, "MDIClient") == 0;
}

bool StartWindowEvents(HANDLE soon) {
  if (g_thread) return true;
  if (!g_ready) g_ready = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!g_ready) return false;
  g_soon = soon;
  g_hooked = false;
  unsigned id = 0;
  g_thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WindowEventsProc, nullptr, 0, &id));
  if (!g_thread) return false;
  g_threadId = id;
  // A thread that is slow to come up is still stopped, within a bound, by the stop.
  if (WaitForSingleObject(g_ready, kEventsStartMs) == WAIT_OBJECT_0 && !g_hooked) {
    WaitForSingleObject(g_thread, kEventsEndMs);
    CloseHandle(g_thread);
    g_thread = nullptr;
    return false;
  }
  return true;
}

bool StopWindowEvents() {
  if (!g_thread) return true;
  PostThreadMessageA(g_threadId, WM_QUIT, 0, 0);
  const bool ended = WaitForSingleObject(g_thread, kEventsEndMs) == WAIT_OBJECT_0;
  CloseHandle(g_thread);
  g_thread = nullptr;
  g_threadId = 0;
  return ended;
}
