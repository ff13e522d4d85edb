#include "monitor/ApplyCalls.h"

#include <cstring>

#include "monitor/SystemLeadBytes.h"

namespace {

constexpr int kMaxTitleChars = 128;

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

// Only for messages without pointers: a message that times out is still
// handled later, when nothing may point into the sender's memory any more.
bool SendBounded(HWND window, DWORD thread, UINT message, WPARAM wParam, LPARAM lParam, PassState& pass) {
  if (IsHung(pass, thread)) return false;
  DWORD_PTR result = 0;
  if (SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &result)) {
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
  return SendBounded(window, thread, WM_NULL, 0, 0, pass);
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
  return SendBounded(window, thread, message, wParam, lParam, pass);
}

void ReadWindowTitle(HWND window, char* title, int size) {
  title[0] = '\0';
  DWORD process = 0;
  const DWORD thread = GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || thread == GetCurrentThreadId()) {
    if (GetWindowTextA(window, title, size) <= 0) title[0] = '\0';
    return;
  }
  WCHAR wide[kMaxTitleChars + 1];
  if (InternalGetWindowText(window, wide, kMaxTitleChars + 1) <= 0) return;
  // Each character takes at most two bytes in the system code page.
  char converted[2 * (kMaxTitleChars + 1)];
  if (WideCharToMultiByte(CP_ACP, 0, wide, -1, converted, sizeof converted, nullptr, nullptr) <= 0) return;
  // Never half a character.
  const size_t n = WholeCharsLength(converted, std::strlen(converted), size - 1, SystemLeadBytes());
  CopyMemory(title, converted, n);
  title[n] = '\0';
}
