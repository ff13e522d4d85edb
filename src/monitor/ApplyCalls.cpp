#include "monitor/ApplyCalls.h"

namespace {

bool IsHung(const PassState& pass, DWORD thread) {
  for (int i = 0; i < pass.hungCount; ++i) {
    if (pass.hungThreads[i] == thread) return true;
  }
  return false;
}

// A window that vanished does not make its thread hung.
void NoteNoAnswer(HWND window, DWORD thread, PassState& pass) {
  if (!IsWindow(window) || IsHung(pass, thread)) return;
  if (pass.hungCount < PassState::kMaxHungThreads) pass.hungThreads[pass.hungCount++] = thread;
}

bool SendBounded(HWND window, DWORD thread, UINT message, WPARAM wParam, LPARAM lParam, PassState& pass,
                 DWORD_PTR* result) {
  if (IsHung(pass, thread)) return false;
  if (SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, kAnswerTimeoutMs, result)) {
    return true;
  }
  NoteNoAnswer(window, thread, pass);
  return false;
}

}  // namespace

bool WindowAnswers(HWND window, PassState& pass) {
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (thread == 0) return false;
  if (thread == GetCurrentThreadId()) return true;
  DWORD_PTR result = 0;
  return SendBounded(window, thread, WM_NULL, 0, 0, pass, &result);
}

bool KnownHung(HWND window, const PassState& pass) {
  return IsHung(pass, GetWindowThreadProcessId(window, nullptr));
}

bool SendWithinTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, PassState& pass) {
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (thread == GetCurrentThreadId()) {
    SendMessageA(window, message, wParam, lParam);
    return true;
  }
  DWORD_PTR result = 0;
  return SendBounded(window, thread, message, wParam, lParam, pass, &result);
}

void ReadWindowTitle(HWND window, char* title, int size, PassState& pass) {
  title[0] = '\0';
  DWORD process = 0;
  const DWORD thread = GetWindowThreadProcessId(window, &process);
  int length = 0;
  if (process == GetCurrentProcessId() && thread != GetCurrentThreadId()) {
    DWORD_PTR result = 0;
    if (SendBounded(window, thread, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(title), pass,
                    &result)) {
      length = static_cast<int>(result);
    }
  } else {
    length = GetWindowTextA(window, title, size);
  }
  // Whatever the window answered, the text ends inside the buffer.
  if (length <= 0) title[0] = '\0';
  title[size - 1] = '\0';
}
