#include "Floor.h"

#include <windows.h>

namespace {

// Handles of one pass; static, so the pass allocates nothing.
constexpr int kMaxWindows = 32768;
HWND g_windows[kMaxWindows];
int g_count = 0;
int g_mdiChildren = 0;

BOOL CALLBACK CountUnderClient(HWND, LPARAM) {
  ++g_mdiChildren;
  return TRUE;
}

// As cheap a test as a scan can make: ASCII letters only, whole names.
bool IsMdiClientName(const char* name) {
  const char* want = "MDICLIENT";
  for (;; ++name, ++want) {
    char c = *name;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != *want) return false;
    if (c == '\0') return true;
  }
}

BOOL CALLBACK LookForClient(HWND window, LPARAM) {
  char name[16];
  if (GetClassNameA(window, name, sizeof name) == 0 || !IsMdiClientName(name)) return TRUE;
  EnumChildWindows(window, CountUnderClient, 0);
  return FALSE;
}

BOOL CALLBACK Collect(HWND window, LPARAM) {
  if (g_count < kMaxWindows) g_windows[g_count++] = window;
  EnumChildWindows(window, LookForClient, 0);
  return TRUE;
}

}  // namespace

int FloorEnumerate() {
  g_count = 0;
  g_mdiChildren = 0;
  EnumWindows(Collect, 0);
  return g_count;
}

namespace {

void ReadShown(bool askThread) {
  RECT area;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  char className[129];
  char title[129];
  for (int i = 0; i < g_count; ++i) {
    HWND window = g_windows[i];
    if (!IsWindowVisible(window) || IsIconic(window)) continue;
    GetClassNameA(window, className, sizeof className);
    if (askThread) {
      DWORD process = 0;
      GetWindowThreadProcessId(window, &process);
    }
    GetWindowTextA(window, title, sizeof title);
    RECT r;
    GetWindowRect(window, &r);
  }
}

}  // namespace

void FloorReadShown() { ReadShown(false); }

void FloorReadShownAskingThread() { ReadShown(true); }

int RunFloorPass() {
  const int count = FloorEnumerate();
  FloorReadShown();
  return count;
}
