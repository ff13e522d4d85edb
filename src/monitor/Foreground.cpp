#include "monitor/Foreground.h"

#include <cstdint>

void ForceForeground(HWND window, bool queued) {
  // The lock time-out is the whole system's setting: it is changed only when
  // its value could be read, so it can always be put back.
  UINT savedTimeout = 0;
  const bool saved = SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &savedTimeout, 0) != 0;
  if (saved) SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);

  // With the target's input attached to the foreground thread's, the system
  // lets the foreground move to it.
  const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  const DWORD targetThread = GetWindowThreadProcessId(window, nullptr);
  AttachThreadInput(targetThread, foregroundThread, TRUE);
  SetForegroundWindow(window);
  AttachThreadInput(targetThread, foregroundThread, FALSE);

  if (saved) {
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(savedTimeout)),
                          0);
  }
  // Topmost and back: above every window that is not topmost, and not
  // topmost itself. Queued requests reach the window in this order too.
  const UINT flags = SWP_NOMOVE | SWP_NOSIZE | (queued ? SWP_ASYNCWINDOWPOS : 0);
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, flags);
  SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
}
