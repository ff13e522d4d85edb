#include "MouseInput.h"

#include <cstdio>
#include <string>

#include "Screenshots.h"
#include "TestSupport.h"

bool MoveMouseTo(POINT screen) {
  char command[96];
  std::snprintf(command, sizeof command, "/usr/bin/xdotool mousemove %ld %ld", screen.x, screen.y);
  RunHostCommand(command);
  return WaitFor([&] {
    POINT now = {};
    GetCursorPos(&now);
    return now.x == screen.x && now.y == screen.y;
  }, 5000);
}

void PressLeftButton() { RunHostCommand("/usr/bin/xdotool mousedown 1"); }

void ReleaseLeftButton() { RunHostCommand("/usr/bin/xdotool mouseup 1"); }

POINT CenterOf(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}
