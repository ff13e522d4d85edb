#include "monitor/WindowState.h"

namespace {
Box BoxOf(const RECT& r) { return Box{r.left, r.top, r.right - r.left, r.bottom - r.top}; }
}  // namespace

bool IsWindowShown(HWND window) { return IsWindowVisible(window) && !IsIconic(window); }

Box GetWindowBox(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  return BoxOf(r);
}

Box GetClientBox(HWND window) {
  RECT r = {};
  GetClientRect(window, &r);
  return BoxOf(r);
}

Box ScreenToClientBox(HWND window, Box box) {
  POINT corner = {box.x, box.y};
  ScreenToClient(window, &corner);
  box.x = corner.x;
  box.y = corner.y;
  return box;
}
