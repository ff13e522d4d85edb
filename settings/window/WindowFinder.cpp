#include "settings/window/WindowFinder.h"

#include <vector>

namespace {

constexpr int kBarThickness = 3;

std::string ClassOf(HWND window) {
  char name[260] = {};
  const int length = GetClassNameA(window, name, sizeof name);
  return std::string(name, length > 0 ? length : 0);
}

// The title as the system keeps it, read without a message to the window:
// a window that hangs cannot hang the finder.
std::string TitleOf(HWND window) {
  std::vector<wchar_t> wide(1024);
  const int length = InternalGetWindowText(window, wide.data(), static_cast<int>(wide.size()));
  if (length <= 0) return std::string();
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string title(bytes > 0 ? bytes : 0, '\0');
  if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, wide.data(), length, &title[0], bytes, nullptr, nullptr);
  return title;
}

bool IsMdiClient(HWND window) { return lstrcmpiA(ClassOf(window).c_str(), "MDICLIENT") == 0; }

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
  found.className = ClassOf(chosen);
  found.title = TitleOf(chosen);
  GetWindowRect(chosen, &found.rect);
  if (found.mdiChild) {
    found.frame = top;
    found.frameClass = ClassOf(top);
    found.frameTitle = TitleOf(top);
  }
  return true;
}

FinderFrame::FinderFrame(HWND owner) {
  for (HWND& bar : bars_) {
    // A plain static control: it lets the mouse through to what lies below,
    // and paints itself in the colour its owner gives it.
    bar = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, "Static", "", WS_POPUP, 0, 0, 0, 0,
                          owner, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
}

FinderFrame::~FinderFrame() {
  for (HWND bar : bars_) {
    if (bar) DestroyWindow(bar);
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
