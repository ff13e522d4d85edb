#include "settings/window/WindowFinder.h"

namespace {

constexpr int kBarThickness = 3;
constexpr int kTitleChars = 400;  // two bytes each at most, and the NUL
static_assert(kTitleChars * 2 + 1 <= kFoundTitleSize);

void ClassOf(HWND window, char (&name)[kFoundClassSize]) {
  name[0] = '\0';
  if (GetClassNameA(window, name, sizeof name) <= 0) name[0] = '\0';
}

// The title as the system keeps it, read without a message to the window:
// a window that hangs cannot hang the finder.
void TitleOf(HWND window, char (&title)[kFoundTitleSize]) {
  title[0] = '\0';
  wchar_t wide[kTitleChars + 1];
  const int length = InternalGetWindowText(window, wide, kTitleChars + 1);
  if (length <= 0) return;
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, length, title, sizeof title - 1, nullptr, nullptr);
  title[bytes > 0 ? bytes : 0] = '\0';
}

bool IsMdiClient(HWND window) {
  char name[kFoundClassSize];
  ClassOf(window, name);
  return lstrcmpiA(name, "MDICLIENT") == 0;
}

}  // namespace

bool FindWindowAt(POINT screen, FoundWindow& found) {
  found = FoundWindow{};
  HWND hit = WindowFromPoint(screen);
  if (!hit || GetWindowThreadProcessId(hit, nullptr) == GetCurrentThreadId()) return false;
  HWND top = GetAncestor(hit, GA_ROOT);
  if (!top || top == GetDesktopWindow() || GetWindowThreadProcessId(top, nullptr) == GetCurrentThreadId()) return false;
  HWND chosen = top;
  for (HWND window = hit; window && window != top; window = GetAncestor(window, GA_PARENT)) {
    HWND parent = GetAncestor(window, GA_PARENT);
    if (parent && IsMdiClient(parent)) {
      chosen = window;
      found.mdiChild = true;
      break;
    }
  }
  found.window = chosen;
  ClassOf(chosen, found.className);
  TitleOf(chosen, found.title);
  GetWindowRect(chosen, &found.rect);
  if (found.mdiChild) {
    found.frame = top;
    ClassOf(top, found.frameClass);
    TitleOf(top, found.frameTitle);
  }
  return true;
}

void FinderFrame::Open(HWND owner) {
  Close();
  for (HWND& bar : bars_) {
    // A plain static control: it lets the mouse through to what lies below,
    // and paints itself in the colour its owner gives it.
    bar = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, "Static", "", WS_POPUP, 0, 0, 0, 0,
                          owner, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
}

void FinderFrame::Close() {
  for (HWND& bar : bars_) {
    if (bar) DestroyWindow(bar);
    bar = nullptr;
  }
}

void FinderFrame::Show(const RECT& rect) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const RECT sides[4] = {
      {rect.left, rect.top, width, kBarThickness},
      {rect.left, rect.bottom - kBarThickness, width, kBarThickness},
      {rect.left, rect.top, kBarThickness, height},
      {rect.right - kBarThickness, rect.top, kBarThickness, height},
  };
  for (int i = 0; i < 4; ++i) {
    if (!bars_[i]) continue;
    SetWindowPos(bars_[i], HWND_TOPMOST, sides[i].left, sides[i].top, sides[i].right, sides[i].bottom,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
  }
}

void FinderFrame::Hide() {
  for (HWND bar : bars_) {
    if (bar) ShowWindow(bar, SW_HIDE);
  }
}

bool FinderFrame::Owns(HWND window) const {
  for (HWND bar : bars_) {
    if (bar && bar == window) return true;
  }
  return false;
}
