#include "FinderDriver.h"

#include "MouseInput.h"
#include "TestSupport.h"
#include "settings/window/WindowIds.h"

namespace {

DWORD ThreadOf(HWND window) { return GetWindowThreadProcessId(window, nullptr); }

BOOL CALLBACK CollectBar(HWND window, LPARAM param) {
  char name[32] = {};
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpiA(name, "Static") == 0 && IsWindowVisible(window)) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  }
  return TRUE;
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

}  // namespace

HWND CaptureOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(ThreadOf(window), &info) ? info.hwndCapture : nullptr;
}

std::vector<HWND> FrameBars(HWND editor) {
  std::vector<HWND> bars;
  EnumThreadWindows(ThreadOf(editor), CollectBar, reinterpret_cast<LPARAM>(&bars));
  return bars;
}

RECT UnionOf(const std::vector<HWND>& windows) {
  RECT all = {};
  for (HWND window : windows) {
    RECT rect;
    GetWindowRect(window, &rect);
    UnionRect(&all, &all, &rect);
  }
  return all;
}

std::string DescribeMouse(HWND editor) {
  POINT cursor = {};
  GetCursorPos(&cursor);
  HWND under = WindowFromPoint(cursor);
  HWND foreground = GetForegroundWindow();
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(ThreadOf(editor), &info);
  char text[512];
  wsprintfA(text, "cursor %ld,%ld over %s; capture %p (editor %p); foreground %s; editor's focus %p", cursor.x,
            cursor.y, ClassOf(under).c_str(), info.hwndCapture, editor, ClassOf(foreground).c_str(), info.hwndFocus);
  return text;
}

std::string DragFinderOnto(HWND editor, POINT target, const std::function<void()>& whileOver) {
  const POINT start = CenterOf(GetDlgItem(editor, IDC_FINDER));
  if (!MoveMouseTo(start)) return "the mouse did not come to the finder";
  PressLeftButton();
  if (!WaitFor([&] { return CaptureOf(editor) == editor; })) {
    const std::string what = "the finder did not take the mouse: " + DescribeMouse(editor);
    ReleaseLeftButton();
    return what;
  }
  const bool moved = MoveMouseTo(POINT{(start.x + target.x) / 2, (start.y + target.y) / 2}) && MoveMouseTo(target);
  if (moved) whileOver();
  ReleaseLeftButton();
  if (!moved) return "the mouse did not come to the target";
  if (!WaitFor([&] { return CaptureOf(editor) != editor; })) return "the finder kept the mouse: " + DescribeMouse(editor);
  return std::string();
}
