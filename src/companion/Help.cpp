#include "companion/Help.h"

#include <cstring>

namespace {

using HtmlHelpEntry = HWND(WINAPI*)(HWND, const char*, UINT, DWORD_PTR);

constexpr char kControlName[] = "\\HHCTRL.OCX";

HMODULE g_control = nullptr;
HtmlHelpEntry g_entry = nullptr;
DWORD g_cookie = 0;
char g_testControlPath[MAX_PATH] = {};

// The control by its full path in the system folder: a bare name would be
// looked for in the program's folder and the current folder first, where
// anyone could plant a file of that name to run inside this process.
HMODULE LoadControl() {
  if (g_testControlPath[0]) return LoadLibraryA(g_testControlPath);
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length + sizeof kControlName > MAX_PATH) return nullptr;
  std::memcpy(path + length, kControlName, sizeof kControlName);
  return LoadLibraryA(path);
}

}  // namespace

int InitHelp() {
  if (g_entry) return 1;
  g_control = LoadControl();
  if (!g_control) return 0;
  g_entry = reinterpret_cast<HtmlHelpEntry>(reinterpret_cast<void*>(GetProcAddress(g_control, "HtmlHelpA")));
  if (!g_entry) {
    CloseHelp();
    return 0;
  }
  DWORD cookie = 0;
  CallHelp(nullptr, nullptr, kHhInitialize, reinterpret_cast<DWORD_PTR>(&cookie));
  g_cookie = cookie;
  return 1;
}

HWND CallHelp(HWND window, const char* file, UINT command, DWORD_PTR data) {
  if (!g_entry) return nullptr;
  HWND shown = g_entry(window, file, command, data);
  if (command < kHhFirstNonDisplayCommand && shown && IsWindow(shown)) SetForegroundWindow(shown);
  return shown;
}

bool PretranslateHelpMessage(MSG* msg) {
  return CallHelp(nullptr, nullptr, kHhPretranslateMessage, reinterpret_cast<DWORD_PTR>(msg)) != nullptr;
}

void CloseHelp() {
  if (!g_control) return;
  CallHelp(nullptr, nullptr, kHhCloseAll, 0);
  CallHelp(nullptr, nullptr, kHhUninitialize, g_cookie);
  FreeLibrary(g_control);
  g_control = nullptr;
  g_entry = nullptr;
  g_cookie = 0;
}

void SetHelpControlPathForTest(const char* path) {
  const size_t length = path ? std::strlen(path) : 0;
  if (length >= MAX_PATH) return;
  std::memcpy(g_testControlPath, path ? path : "", length + 1);
}
