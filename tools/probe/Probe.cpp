// A small Windows program that looks at a running Plenara from outside, for
// tools/run and the tests: plenara-probe COMMAND [ARGS]
//   wait-window CLASS [MS]   exits 0 once a top-level window of CLASS exists
//   close CLASS [MS]         posts WM_CLOSE to it, waits for its process to
//                            end and exits with that process's exit code
//   command CLASS ID         posts WM_COMMAND ID to it
//   tray-menu CLASS          right-clicks the tray icon of that window's process
//   desktop-ready - [MS]     exits 0 once windows can be made and the taskbar exists
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HWND WaitWindow(const char* className, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND window = FindWindowA(className, nullptr)) return window;
    if (GetTickCount() - start > timeoutMs) return nullptr;
    Sleep(50);
  }
}

int Close(const char* className, DWORD timeoutMs) {
  HWND window = WaitWindow(className, timeoutMs);
  if (!window) return 2;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
  PostMessageA(window, WM_CLOSE, 0, 0);
  if (!process) return 3;
  DWORD code = 4;
  if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return static_cast<int>(code);
}

// A process that starts before the virtual desktop is whole may be refused
// every window it asks for; the harness waits for this before any test runs.
int DesktopReady(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND probe = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    const bool taskbar = FindWindowA("Shell_TrayWnd", nullptr) != nullptr;
    if (probe) DestroyWindow(probe);
    if (probe && taskbar) return 0;
    if (GetTickCount() - start > timeoutMs) return 1;
    Sleep(100);
  }
}

int TrayMenu(const char* className) {
  HWND owner = WaitWindow(className, 5000);
  if (!owner) return 2;
  // The tray icon's own window is owned by the main window.
  HWND tray = nullptr;
  while ((tray = FindWindowExA(nullptr, tray, "WindowClassTrayIconDriver", nullptr))) {
    if (GetWindow(tray, GW_OWNER) == owner) break;
  }
  if (!tray) return 3;
  PostMessageA(tray, WM_USER, 0, WM_RBUTTONUP);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: plenara-probe wait-window|close|command|tray-menu CLASS [ARG]\n");
    return 64;
  }
  const DWORD timeout = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 10000;
  if (!std::strcmp(argv[1], "wait-window")) return WaitWindow(argv[2], timeout) ? 0 : 1;
  if (!std::strcmp(argv[1], "close")) return Close(argv[2], timeout);
  if (!std::strcmp(argv[1], "command") && argc > 3) {
    HWND window = WaitWindow(argv[2], 5000);
    if (!window) return 2;
    PostMessageA(window, WM_COMMAND, std::strtoul(argv[3], nullptr, 10), 0);
    return 0;
  }
  if (!std::strcmp(argv[1], "tray-menu")) return TrayMenu(argv[2]);
  if (!std::strcmp(argv[1], "desktop-ready")) return DesktopReady(timeout);
  return 64;
}
