#include "monitor/Closing.h"

#include <process.h>

#include <atomic>
#include <cstdint>

#include "shared/SharedBlock.h"

namespace {

constexpr UINT kMsgSendClose = WM_APP + 1;
constexpr int kMaxPendingCloses = 64;
constexpr DWORD kClosingStartMs = 5000;
constexpr DWORD kClosingEndMs = 2000;

// Written under the lock by whichever thread sends or learns of a return;
// the closing thread itself is started and ended under it too.
SRWLOCK g_lock = SRWLOCK_INIT;
uint32_t g_pending[kMaxPendingCloses] = {};
std::atomic<int> g_pendingCount{0};
HANDLE g_thread = nullptr;
DWORD g_threadId = 0;

class Exclusive {
 public:
  Exclusive() { AcquireSRWLockExclusive(&g_lock); }
  ~Exclusive() { ReleaseSRWLockExclusive(&g_lock); }
  Exclusive(const Exclusive&) = delete;
  Exclusive& operator=(const Exclusive&) = delete;
};

int IndexOf(uint32_t window) {
  const int count = g_pendingCount.load();
  for (int i = 0; i < count; ++i) {
    if (g_pending[i] == window) return i;
  }
  return -1;
}

void Forget(uint32_t window) {
  const int i = IndexOf(window);
  if (i < 0) return;
  const int last = g_pendingCount.load() - 1;
  g_pending[i] = g_pending[last];
  g_pendingCount = last;
}

// Called on the closing thread once the window's procedure has returned.
VOID CALLBACK CloseReturned(HWND window, UINT, ULONG_PTR, LRESULT) {
  Exclusive lock;
  Forget(HandleValue(window));
}

unsigned __stdcall ClosingThreadProc(void* ready) {
  MSG msg;
  // The queue exists once this returns, so the starter may post to it.
  PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  SetEvent(static_cast<HANDLE>(ready));
  // The returns arrive as callbacks inside GetMessageA.
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd || msg.message != kMsgSendClose) continue;
    HWND window = reinterpret_cast<HWND>(msg.wParam);
    if (!SendMessageCallbackA(window, WM_SYSCOMMAND, SC_CLOSE, 0, CloseReturned, 0)) {
      Exclusive lock;
      Forget(HandleValue(window));
    }
  }
  return 0;
}

bool StartClosingThread() {
  if (g_thread) return true;
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!ready) return false;
  unsigned id = 0;
  g_thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ClosingThreadProc, ready, 0, &id));
  if (g_thread) {
    g_threadId = id;
    WaitForSingleObject(ready, kClosingStartMs);
  }
  CloseHandle(ready);
  return g_thread != nullptr;
}

// Entries for windows that are gone: their answer may never come.
void ForgetVanished() {
  for (int i = g_pendingCount.load() - 1; i >= 0; --i) {
    if (!IsWindow(HandleOf(g_pending[i]))) Forget(g_pending[i]);
  }
}

}  // namespace

void SendClose(HWND window) {
  Exclusive lock;
  if (g_pendingCount.load() == kMaxPendingCloses) ForgetVanished();
  // With every slot taken by an open question, this close waits for a later scan.
  if (g_pendingCount.load() == kMaxPendingCloses || !StartClosingThread()) return;
  g_pending[g_pendingCount.load()] = HandleValue(window);
  g_pendingCount = g_pendingCount.load() + 1;
  if (!PostThreadMessageA(g_threadId, kMsgSendClose, reinterpret_cast<WPARAM>(window), 0)) {
    Forget(HandleValue(window));
  }
}

bool ClosePending(HWND window) {
  // A scan with no close open takes no lock.
  if (g_pendingCount.load() == 0) return false;
  Exclusive lock;
  const int i = IndexOf(HandleValue(window));
  if (i < 0) return false;
  if (IsWindow(window)) return true;
  Forget(HandleValue(window));
  return false;
}

void StopClosing() {
  Exclusive lock;
  if (g_thread) {
    PostThreadMessageA(g_threadId, WM_QUIT, 0, 0);
    WaitForSingleObject(g_thread, kClosingEndMs);
    CloseHandle(g_thread);
    g_thread = nullptr;
    g_threadId = 0;
  }
  g_pendingCount = 0;
}
