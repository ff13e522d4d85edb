// soak-windows.exe: windows that come and go for the soak run, each mode in a
// process of its own, until the driver raises the stop flag.
//   soak-windows churn SEED RATE   top-level windows of several reused classes:
//                                  RATE opened (and as many closed) a second,
//                                  titles changed now and then
//   soak-windows mdi SEED RATE     an MDI frame whose children come and go,
//                                  the frame itself made anew now and then
//   soak-windows hang SEED         a window whose thread stops answering for a
//                                  few seconds now and then, and recovers
//   soak-windows wedge             a window whose thread stops for good; the
//                                  driver kills the process
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "SoakShared.h"

namespace {

constexpr size_t kMaxTopLevel = 10;
constexpr size_t kMaxChildren = 6;
constexpr int kStepsPerFrame = 60;
constexpr UINT_PTR kAnswerTimer = 1;
constexpr UINT kFirstChildId = 50000;

HINSTANCE g_instance = nullptr;
SoakTally* g_tally = nullptr;
unsigned g_seed = 1;
int g_self = 0;  // inside a call of our own: what the window sees then is not another program's doing
int g_serial = 0;

struct Self {
  Self() { ++g_self; }
  ~Self() { --g_self; }
  Self(const Self&) = delete;
  Self& operator=(const Self&) = delete;
};

unsigned Random(unsigned n) {
  g_seed = g_seed * 1103515245u + 12345u;
  return (g_seed >> 16) % n;
}

void Count(volatile LONG& field) { InterlockedIncrement(&field); }

std::wstring Wide(const char* text) {
  wchar_t buffer[128] = {};
  MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, 127);
  return buffer;
}

// Tallies what other programs do to a window.
void Observe(UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_self) {
    if (message == WM_NCDESTROY) Count(g_tally->closed);
    return;
  }
  switch (message) {
    case WM_WINDOWPOSCHANGING: {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
      if ((pos->flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE)) Count(g_tally->moved);
      break;
    }
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MAXIMIZE:
          Count(g_tally->maximized);
          break;
        case SC_MINIMIZE:
          Count(g_tally->minimized);
          break;
        case SC_CLOSE:
          Count(g_tally->closeAsked);
          break;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) Count(g_tally->activated);
      break;
    case WM_NCDESTROY:
      Count(g_tally->closed);
      break;
  }
}

LRESULT CALLBACK TopProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Observe(message, wParam, lParam);
  // A maximize or minimize moves the window too; it counts once.
  if (message == WM_SYSCOMMAND && ((wParam & 0xFFF0) == SC_MAXIMIZE || (wParam & 0xFFF0) == SC_MINIMIZE)) {
    Self self;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

BOOL CALLBACK AnswerBox(HWND box, LPARAM owner) {
  wchar_t name[16] = {};
  GetClassNameW(box, name, 16);
  if (GetWindow(box, GW_OWNER) == reinterpret_cast<HWND>(owner) && !std::wcscmp(name, L"#32770")) {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  return TRUE;
}

// A document with unsaved changes: a close asks first, and the user answers
// a second or two later.
LRESULT CALLBACK AskProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Observe(message, wParam, lParam);
  if (message == WM_TIMER && wParam == kAnswerTimer) {
    KillTimer(window, kAnswerTimer);
    EnumThreadWindows(GetCurrentThreadId(), AnswerBox, reinterpret_cast<LPARAM>(window));
    return 0;
  }
  if (message == WM_CLOSE) {
    SetTimer(window, kAnswerTimer, 1000 + Random(1000), nullptr);
    if (MessageBoxW(window, L"変更を保存しますか?", L"確認", MB_OKCANCEL) == IDOK && IsWindow(window)) {
      DestroyWindow(window);
    }
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Observe(message, wParam, lParam);
  HWND client = reinterpret_cast<HWND>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return DefFrameProcW(window, client, message, wParam, lParam);
}

LRESULT CALLBACK ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Observe(message, wParam, lParam);
  if (message == WM_SIZE && !g_self) {
    if (wParam == SIZE_MAXIMIZED) Count(g_tally->maximized);
    if (wParam == SIZE_MINIMIZED) Count(g_tally->minimized);
  }
  return DefMDIChildProcW(window, message, wParam, lParam);
}

bool EnsureClass(const char* name, WNDPROC proc) {
  const std::wstring wide = Wide(name);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = g_instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = wide.c_str();
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND OpenTop(const char* className, const wchar_t* title) {
  Self self;
  HWND window = CreateWindowExW(0, Wide(className).c_str(), title, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                static_cast<int>(Random(500)), static_cast<int>(Random(400)),
                                200 + static_cast<int>(Random(300)), 150 + static_cast<int>(Random(200)), nullptr,
                                nullptr, g_instance, nullptr);
  if (window) Count(g_tally->opened);
  return window;
}

void Rename(HWND window, const wchar_t* title) {
  {
    Self self;
    if (!SetWindowTextW(window, title)) return;
  }
  // Wine tells other processes' hooks of a new title only when asked to.
  NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_WINDOW, CHILDID_SELF);
  Count(g_tally->renamed);
}

void DropGone(std::vector<HWND>& windows) {
  for (size_t i = 0; i < windows.size();) {
    if (IsWindow(windows[i])) {
      ++i;
    } else {
      windows.erase(windows.begin() + static_cast<long>(i));
    }
  }
}

// Top-level windows: the oldest goes when ten are open, a new one comes at every step.

std::vector<HWND> g_tops;

void ChurnStep() {
  DropGone(g_tops);
  if (g_tops.size() >= kMaxTopLevel) {
    HWND oldest = g_tops.front();
    g_tops.erase(g_tops.begin());
    Self self;
    DestroyWindow(oldest);
  }
  const int n = ++g_serial;
  wchar_t title[64];
  const char* className = kSoakEditor;
  switch (Random(8)) {
    case 0:
    case 1:
      std::swprintf(title, 64, L"文書%d - エディタ", n);
      break;
    case 2:
      className = kSoakViewer;
      std::swprintf(title, 64, L"画像ビューア - pic%d.png", n);
      break;
    case 3:
      className = kSoakNote;
      std::swprintf(title, 64, L"メモ %d", n);
      break;
    case 4:
      className = kSoakTool;
      std::swprintf(title, 64, L"ツール %d", n);
      break;
    case 5:
      className = kSoakDoomed;
      std::swprintf(title, 64, L"閉じる %d", n);
      break;
    case 6:
      className = kSoakAsk;
      std::swprintf(title, 64, L"未保存 %d", n);
      break;
    default:
      className = kSoakNote;
      std::swprintf(title, 64, L"無題");
      break;
  }
  if (HWND window = OpenTop(className, title)) g_tops.push_back(window);
  // Every third step a title changes, so that windows start and stop matching.
  if (n % 3 == 0 && !g_tops.empty()) {
    static const wchar_t* const kRenames[] = {L"文書 - エディタ (変更)", L"最小 ツール", L"無題", L"閉じる 後で",
                                              L"画像ビューア", L"メモ - エディタ"};
    Rename(g_tops[Random(static_cast<unsigned>(g_tops.size()))], kRenames[Random(6)]);
  }
}

// An MDI frame: the oldest child goes when six are open; the frame is made anew every 60 steps.

HWND g_frame = nullptr;
HWND g_client = nullptr;
std::vector<HWND> g_children;

void OpenFrame() {
  Self self;
  g_frame = CreateWindowExW(0, Wide(kSoakFrame).c_str(), L"集計 - ワークブック", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                            40, 40, 600, 450, nullptr, nullptr, g_instance, nullptr);
  if (!g_frame) return;
  Count(g_tally->opened);
  CLIENTCREATESTRUCT ccs = {nullptr, kFirstChildId};
  RECT area = {};
  GetClientRect(g_frame, &area);
  g_client = CreateWindowExW(0, L"MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, area.right,
                             area.bottom, g_frame, nullptr, g_instance, &ccs);
  SetWindowLongPtrW(g_frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(g_client));
  ShowWindow(g_frame, SW_SHOWNOACTIVATE);
}

void CloseFrame() {
  if (!g_frame) return;
  Self self;
  DestroyWindow(g_frame);
  g_frame = nullptr;
  g_client = nullptr;
  g_children.clear();
}

void MdiStep() {
  const int n = ++g_serial;
  if (n % kStepsPerFrame == 0) CloseFrame();
  if (!g_frame || !IsWindow(g_frame)) OpenFrame();
  if (!g_client) return;
  DropGone(g_children);
  if (g_children.size() >= kMaxChildren) {
    HWND oldest = g_children.front();
    g_children.erase(g_children.begin());
    Self self;
    SendMessageW(g_client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(oldest), 0);
  }
  wchar_t title[64];
  const char* className = Random(2) ? kSoakDoc : kSoakSheet;
  switch (Random(4)) {
    case 0:
      std::swprintf(title, 64, L"表%d", n);
      break;
    case 1:
      std::swprintf(title, 64, L"下書き %d (閉)", n);
      break;
    case 2:
      std::swprintf(title, 64, L"集計 %d", n);
      break;
    default:
      std::swprintf(title, 64, L"シート%d", n);
      break;
  }
  HWND child;
  {
    Self self;
    child = CreateMDIWindowW(Wide(className).c_str(), title, 0, static_cast<int>(Random(200)),
                             static_cast<int>(Random(150)), 160 + static_cast<int>(Random(100)),
                             120 + static_cast<int>(Random(80)), g_client, g_instance, 0);
  }
  if (child) {
    Count(g_tally->opened);
    g_children.push_back(child);
  }
  if (n % 4 == 0 && !g_children.empty()) {
    Rename(g_children[Random(static_cast<unsigned>(g_children.size()))], Random(2) ? L"表 改" : L"メモ (閉)");
  }
}


void (*g_step)() = nullptr;

void CALLBACK StepTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_tally->stop) {
    PostQuitMessage(0);
    return;
  }
  g_step();
}

int RunSteps(void (*step)(), int rate) {
  g_step = step;
  SetTimer(nullptr, 0, static_cast<UINT>(1000 / (rate > 0 ? rate : 1)), StepTimer);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  Self self;
  for (HWND window : g_tops) {
    if (IsWindow(window)) DestroyWindow(window);
  }
  CloseFrame();
  return 0;
}

// Pumps this thread's messages for ms milliseconds.
void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD spent = GetTickCount() - start;
    if (spent >= ms || g_tally->stop) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

int RunHang() {
  HWND window = OpenTop(kSoakHang, L"応答なし - 計算中");
  if (!window) return 1;
  while (!g_tally->stop) {
    Pump(3000 + Random(3000));
    if (g_tally->stop) break;
    Count(g_tally->hangs);
    Sleep(2000 + Random(3000));
    Pump(50);
    Count(g_tally->recovered);
  }
  Self self;
  DestroyWindow(window);
  return 0;
}

int RunWedge() {
  HWND window = OpenTop(kSoakHang, L"応答なし - 停止");
  if (!window) return 1;
  Pump(1500);
  Count(g_tally->hangs);
  Sleep(INFINITE);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  g_instance = instance;
  HANDLE mapping = nullptr;
  g_tally = OpenSoakTally(mapping);
  if (!g_tally) return 1;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 2) return 2;
  const std::wstring mode = argv[1];
  g_seed = argc > 2 ? static_cast<unsigned>(_wtoi(argv[2])) : GetCurrentProcessId();
  const int rate = argc > 3 ? _wtoi(argv[3]) : 5;
  bool ok = EnsureClass(kSoakEditor, TopProc) && EnsureClass(kSoakViewer, TopProc) && EnsureClass(kSoakNote, TopProc) &&
            EnsureClass(kSoakTool, TopProc) && EnsureClass(kSoakDoomed, TopProc) && EnsureClass(kSoakAsk, AskProc) &&
            EnsureClass(kSoakHang, TopProc) && EnsureClass(kSoakFrame, FrameProc) &&
            EnsureClass(kSoakDoc, ChildProc) && EnsureClass(kSoakSheet, ChildProc);
  if (!ok) return 3;
  if (mode == L"churn") return RunSteps(ChurnStep, rate);
  if (mode == L"mdi") return RunSteps(MdiStep, rate);
  if (mode == L"hang") return RunHang();
  if (mode == L"wedge") return RunWedge();
  return 2;
}
