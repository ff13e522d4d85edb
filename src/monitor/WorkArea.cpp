#include "monitor/WorkArea.h"

#include <windows.h>

#include "monitor/WindowState.h"

namespace {
// Written only by the monitor thread while it runs.
Box g_workArea = {};
bool g_workAreaChanged = false;
}  // namespace

void UpdateWorkArea() {
  Box next;
  RECT r = {};
  if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0)) {
    next = Box{r.left, r.top, r.right - r.left, r.bottom - r.top};
  } else {
    next = GetWindowBox(GetDesktopWindow());
  }
  g_workAreaChanged = next.x != g_workArea.x || next.y != g_workArea.y || next.width != g_workArea.width ||
                      next.height != g_workArea.height;
  g_workArea = next;
}

Box WorkArea() { return g_workArea; }

bool WorkAreaChanged() { return g_workAreaChanged; }
