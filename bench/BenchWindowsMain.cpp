// bench-windows.exe: owns the windows the benchmarks measure, in a process
// of its own, as another application's windows are.
//   bench-windows hold FIRST COUNT EVENT
//       opens windows FIRST .. FIRST+COUNT-1 of the mix in BenchWindows.h,
//       sets the named event EVENT once they are all shown, and keeps them
//       until its message-only window of class PlenaraBenchHold gets WM_CLOSE
//   bench-windows late COUNT INTERVAL OUTFILE [notify]
//       shows COUNT windows of class PlenaraBenchLate (tool windows, as the
//       held ones are) one after another, each at a different moment of the
//       monitor's interval, after a few that only warm up, and writes to OUTFILE
//       how long each took, from being shown to reaching the rectangle the
//       benchmark's once-only rule sets ("index,microseconds" lines; -1 when
//       it did not get there within five seconds); with notify, each showing
//       is reported to window-event hooks as Windows does (Wine reports only
//       creations to other processes)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "BenchWindows.h"

namespace {

HINSTANCE g_instance = nullptr;

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND client = reinterpret_cast<HWND>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return DefFrameProcW(window, client, message, wParam, lParam);
}

LRESULT CALLBACK MdiChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefMDIChildProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK HoldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool Register(const char* className, WNDPROC proc) {
  wchar_t name[64];
  std::swprintf(name, 64, L"%hs", className);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = g_instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = name;
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreateNamed(const char* className, const wchar_t* title, DWORD exStyle, DWORD style, int x, int y, int width,
                 int height, HWND parent) {
  wchar_t name[64];
  std::swprintf(name, 64, L"%hs", className);
  return CreateWindowExW(exStyle, name, title, style, x, y, width, height, parent, nullptr, g_instance, nullptr);
}

void AddControls(HWND parent) {
  static const wchar_t* const kClasses[kBenchControls] = {L"STATIC", L"BUTTON", L"EDIT"};
  static const wchar_t* const kTexts[kBenchControls] = {L"名前:", L"OK", L"テキスト"};
  for (int c = 0; c < kBenchControls; ++c) {
    CreateWindowExW(0, kClasses[c], kTexts[c], WS_CHILD | WS_VISIBLE, 2 + c * 20, 2, 18, 14, parent, nullptr,
                    g_instance, nullptr);
  }
}

bool AddMdiClient(HWND frame, int index) {
  CLIENTCREATESTRUCT ccs = {nullptr, 50000};
  RECT area = {};
  GetClientRect(frame, &area);
  HWND client = CreateWindowExW(0, L"MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, area.right,
                                area.bottom, frame, nullptr, g_instance, &ccs);
  if (!client) return false;
  SetWindowLongPtrW(frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(client));
  wchar_t childClass[64];
  std::swprintf(childClass, 64, L"%hs", kBenchMdiChildClass);
  for (int c = 0; c < kBenchMdiChildren; ++c) {
    wchar_t title[64];
    std::swprintf(title, 64, L"シート%d-%d", index, c + 1);
    CreateMDIWindowW(childClass, title, 0, c * 12, c * 12, 70, 50, client, g_instance, 0);
  }
  return true;
}

// Small windows spread over the desktop; created hidden and shown without
// activation, so that opening thousands does not pass the focus around. Tool
// windows get no taskbar button: the desktop's taskbar, emulated too, would
// otherwise work for minutes on thousands of buttons while the benchmarks
// measure. The monitor treats them as any other top-level window.
HWND OpenBenchWindow(int index) {
  const BenchKind& kind = KindOf(index);
  wchar_t title[128];
  std::swprintf(title, 128, kind.titleFormat, index);
  const bool mdi = kind.shape == BenchShape::kMdiFrame;
  const int width = mdi ? 180 : 72;
  const int height = mdi ? 140 : 52;
  const int x = (index * 37) % (1024 - width);
  const int y = (index * 53) % (740 - height);
  HWND window = CreateNamed(kind.className, title, WS_EX_TOOLWINDOW, WS_OVERLAPPEDWINDOW | (mdi ? WS_CLIPCHILDREN : 0),
                            x, y, width, height, nullptr);
  if (!window) return nullptr;
  if (mdi && !AddMdiClient(window, index)) {
    DestroyWindow(window);
    return nullptr;
  }
  if (kind.shape == BenchShape::kControls) AddControls(window);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  return window;
}

int Hold(int first, int count, const char* eventName) {
  for (const BenchKind& kind : kBenchKindTable) {
    if (!Register(kind.className, kind.shape == BenchShape::kMdiFrame ? FrameProc : DefWindowProcW)) return 2;
  }
  if (!Register(kBenchMdiChildClass, MdiChildProc) || !Register(kBenchHoldClass, HoldProc)) return 2;
  HWND hold = CreateNamed(kBenchHoldClass, L"hold", 0, 0, 0, 0, 0, 0, HWND_MESSAGE);
  if (!hold) return 2;
  int opened = 0;
  for (int i = first; i < first + count; ++i) {
    if (OpenBenchWindow(i)) ++opened;
  }
  if (HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, eventName)) {
    if (opened == count) SetEvent(ready);
    CloseHandle(ready);
  }
  if (opened != count) return 3;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

constexpr int kLateWarmUp = 5;

// The latency run: the moment the current window reached the rule's box.
LARGE_INTEGER g_reached = {};

LRESULT CALLBACK LateProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_WINDOWPOSCHANGED && g_reached.QuadPart == 0) {
    RECT r = {};
    GetWindowRect(window, &r);
    if (r.left == kLateX && r.top == kLateY && r.right - r.left == kLateWidth && r.bottom - r.top == kLateHeight) {
      QueryPerformanceCounter(&g_reached);
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Handles this thread's messages (the monitor's calls among them) until
// `until` holds or timeoutMs passes.
template <class Cond>
void PumpUntil(Cond until, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (until()) return;
    const DWORD spent = GetTickCount() - start;
    if (spent >= timeoutMs) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - spent, QS_ALLINPUT);
  }
}

int Late(int count, int intervalMs, const char* outPath, bool notify) {
  if (!Register(kBenchLateClass, LateProc)) return 2;
  FILE* out = std::fopen(outPath, "w");
  if (!out) return 2;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  // A fixed pseudo-random sequence of pauses, so that the windows appear at
  // every phase of the monitor's interval and every run is alike.
  uint32_t pauseState = 12345;
  int failures = 0;
  // The first windows only warm up: this process's first window calls, and
  // the emulator's first translation of their code, are not the monitor's.
  for (int i = -kLateWarmUp; i < count; ++i) {
    wchar_t title[64];
    std::swprintf(title, 64, L"遅延テスト %d", i);
    HWND window = CreateNamed(kBenchLateClass, title, WS_EX_TOOLWINDOW, WS_OVERLAPPEDWINDOW,
                              20 + (i + kLateWarmUp) % 10 * 8, 30, 60, 40, nullptr);
    if (!window) return 3;
    pauseState = pauseState * 1103515245u + 12345u;
    const DWORD pause = (pauseState >> 8) % static_cast<uint32_t>(intervalMs * 2 + 1);
    PumpUntil([] { return false; }, pause);
    g_reached.QuadPart = 0;
    LARGE_INTEGER shown;
    QueryPerformanceCounter(&shown);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    if (notify) NotifyWinEvent(EVENT_OBJECT_SHOW, window, OBJID_WINDOW, CHILDID_SELF);
    PumpUntil([] { return g_reached.QuadPart != 0; }, 5000);
    long long micros = -1;
    if (g_reached.QuadPart != 0) micros = (g_reached.QuadPart - shown.QuadPart) * 1000000 / frequency.QuadPart;
    if (i >= 0) {
      std::fprintf(out, "%d,%lld\n", i, micros);
      if (micros < 0) ++failures;
    }
    DestroyWindow(window);
  }
  std::fclose(out);
  return failures == 0 ? 0 : 4;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  g_instance = instance;
  if (__argc == 5 && std::strcmp(__argv[1], "hold") == 0) {
    return Hold(std::atoi(__argv[2]), std::atoi(__argv[3]), __argv[4]);
  }
  if ((__argc == 5 || __argc == 6) && std::strcmp(__argv[1], "late") == 0) {
    const bool notify = __argc == 6 && std::strcmp(__argv[5], "notify") == 0;
    return Late(std::atoi(__argv[2]), std::atoi(__argv[3]), __argv[4], notify);
  }
  return 1;
}
