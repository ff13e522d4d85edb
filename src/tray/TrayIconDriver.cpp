#include "tray/TrayIconDriver.h"

#include <cstddef>
#include <new>

namespace {

constexpr char kWindowClass[] = "WindowClassTrayIconDriver";
constexpr UINT kIconId = 0;
constexpr UINT kCallbackMessage = WM_USER;
constexpr UINT_PTR kTimerId = 1;
constexpr int kObjectSlot = 0;
constexpr int32_t kTipBytes = 64;  // with the NUL

// Every call uses the structure's first form, which every shell understands.
constexpr DWORD kNotifyIconDataSize = 88;
static_assert(NOTIFYICONDATAA_V1_SIZE == kNotifyIconDataSize, "first form of NOTIFYICONDATAA");
static_assert(offsetof(NOTIFYICONDATAA, cbSize) == 0, "cbSize");
static_assert(offsetof(NOTIFYICONDATAA, hWnd) == 4, "hWnd");
static_assert(offsetof(NOTIFYICONDATAA, uID) == 8, "uID");
static_assert(offsetof(NOTIFYICONDATAA, uFlags) == 12, "uFlags");
static_assert(offsetof(NOTIFYICONDATAA, uCallbackMessage) == 16, "uCallbackMessage");
static_assert(offsetof(NOTIFYICONDATAA, hIcon) == 20, "hIcon");
static_assert(offsetof(NOTIFYICONDATAA, szTip) == 24, "szTip");
static_assert(kNotifyIconDataSize - offsetof(NOTIFYICONDATAA, szTip) == kTipBytes, "first form's szTip");
static_assert(sizeof(WNDCLASSEXA) == 48, "WNDCLASSEXA");
static_assert(sizeof(LONG) == sizeof(void*), "slot 0 holds a pointer");

ShellNotifyFunction g_shellNotify = Shell_NotifyIconA;

// Copies text into a fresh buffer of at most kTipBytes, or returns null when
// memory runs out.
char* CopyTip(const char* text) {
  if (!text) text = "";
  const int32_t length = lstrlenA(text);
  const int32_t n = length + 1 < kTipBytes ? length + 1 : kTipBytes;
  char* copy = new (std::nothrow) char[n];
  if (copy) lstrcpynA(copy, text, n);
  return copy;
}

void RegisterWindowClass(WNDPROC procedure) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.cbWndExtra = sizeof(LONG);
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kWindowClass;
  // Fails harmlessly when an earlier driver registered it already.
  RegisterClassExA(&windowClass);
}

}  // namespace

ShellNotifyFunction ReplaceShellNotify(ShellNotifyFunction function) {
  const ShellNotifyFunction previous = g_shellNotify;
  g_shellNotify = function ? function : Shell_NotifyIconA;
  return previous;
}

TrayIconDriver::TrayIconDriver(HWND owner)
    : ownerWindow(owner),
      taskbarCreatedMessage(RegisterWindowMessageA("TaskbarCreated")),
      tipText(CopyTip("")) {
  RegisterWindowClass(WindowProc);
  hiddenWindow = CreateWindowExA(0, kWindowClass, nullptr, 0, 0, 0, 0, 0, ownerWindow, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
  if (hiddenWindow) SetWindowLongA(hiddenWindow, kObjectSlot, static_cast<LONG>(reinterpret_cast<LONG_PTR>(this)));
}

TrayIconDriver::~TrayIconDriver() {
  Hide();
  // Once the window went with its owner there is nothing left to touch: its
  // handle may by now name someone else's window.
  if (hiddenWindow) {
    SetWindowLongA(hiddenWindow, kObjectSlot, 0);
    DestroyWindow(hiddenWindow);
    hiddenWindow = nullptr;
  }
  delete[] tipText;
  if (ownsImages) {
    if (staticIcon) DestroyIcon(staticIcon);
    if (imageList) ImageList_Destroy(imageList);
  }
}

void TrayIconDriver::Show() {
  if (visible) return;
  Notify(NIM_ADD, CurrentIcon(), tipText);
  // Shown even when the shell refused: its next "TaskbarCreated" adds it again.
  visible = 1;
  if (animating) StartTimer();
}

void TrayIconDriver::Hide() {
  if (!visible) return;
  visible = 0;
  if (animating) StopTimer();
  Notify(NIM_DELETE, nullptr, nullptr);
}

void TrayIconDriver::SetTip(const char* text) {
  char* copy = CopyTip(text);
  if (!copy) return;  // out of memory: the old tip stays
  delete[] tipText;
  tipText = copy;
  if (visible) Notify(NIM_MODIFY, CurrentIcon(), tipText);
}

void TrayIconDriver::SetAnimating(BOOL flag) {
  if (flag == animating) return;
  animating = flag;
  if (animating) {
    // The picture changes only at the first tick.
    if (visible) StartTimer();
    return;
  }
  if (visible) StopTimer();
  currentFrame = firstFrame;
  if (visible) Notify(NIM_MODIFY, CurrentIcon(), tipText);
}

void TrayIconDriver::SetInterval(int32_t milliseconds) {
  if (milliseconds == interval) return;
  interval = milliseconds;
  if (animating && visible) {
    StopTimer();
    StartTimer();
  }
}

void TrayIconDriver::SetImageList(HIMAGELIST list) {
  if (list == imageList) return;
  if (ownsImages && imageList) ImageList_Destroy(imageList);
  imageList = list;
  if (visible) Notify(NIM_MODIFY, CurrentIcon(), tipText);
}

BOOL TrayIconDriver::Notify(DWORD message, HICON icon, const char* tip) {
  // Without its window an icon could be added but never addressed again.
  if (!hiddenWindow) {
    if (icon) DestroyIcon(icon);
    return FALSE;
  }
  NOTIFYICONDATAA data = {};
  data.cbSize = kNotifyIconDataSize;
  data.hWnd = hiddenWindow;
  data.uID = kIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kCallbackMessage;
  data.hIcon = icon;
  lstrcpynA(data.szTip, tip ? tip : "", kTipBytes);
  const BOOL result = g_shellNotify(message, &data);
  // The shell keeps a copy of its own; this one was made for the call.
  if (icon) DestroyIcon(icon);
  return result;
}

HICON TrayIconDriver::CurrentIcon() const {
  // An animated icon prefers the frames, a still one the static icon.
  if (animating) {
    return imageList ? ImageList_GetIcon(imageList, currentFrame, ILD_NORMAL) : CopyIcon(staticIcon);
  }
  if (staticIcon) return CopyIcon(staticIcon);
  return imageList ? ImageList_GetIcon(imageList, currentFrame, ILD_NORMAL) : nullptr;
}

void TrayIconDriver::NextFrame() {
  if (!imageList) return;
  int32_t next = currentFrame + 1;
  if (next >= ImageList_GetImageCount(imageList)) next = firstFrame;
  currentFrame = next;
}

void TrayIconDriver::InvokeHandler(MouseHandler handler) {
  if (!handler) return;
  SetForegroundWindow(hiddenWindow);
  POINT cursor = {};
  GetCursorPos(&cursor);
  // Last: the handler may end the program and this driver with it.
  handler(cursor.x, cursor.y);
}

// A window-less timer would get an identifier of its own that KillTimer
// never matches, so without the window there is no timer.
void TrayIconDriver::StartTimer() {
  if (hiddenWindow) SetTimer(hiddenWindow, kTimerId, static_cast<UINT>(interval), nullptr);
}

void TrayIconDriver::StopTimer() {
  if (hiddenWindow) KillTimer(hiddenWindow, kTimerId);
}

LRESULT CALLBACK TrayIconDriver::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* driver = reinterpret_cast<TrayIconDriver*>(static_cast<LONG_PTR>(GetWindowLongA(window, kObjectSlot)));
  const bool shown = driver && driver->visible;
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_DESTROY:
      // Destroyed with its owner: take the icon away and forget the window.
      if (driver) {
        if (shown) driver->Hide();
        driver->hiddenWindow = nullptr;
      }
      return 0;
    case WM_ENDSESSION:
      if (wParam && shown) driver->Hide();
      return 0;
    case WM_TIMER:
      if (shown && wParam == kTimerId) {
        driver->NextFrame();
        driver->Notify(NIM_MODIFY, driver->CurrentIcon(), driver->tipText);
      }
      return 0;
    case kCallbackMessage:
      if (shown && wParam == kIconId) {
        switch (static_cast<UINT>(lParam)) {
          case WM_LBUTTONUP: driver->InvokeHandler(driver->onLeftButtonUp); break;
          case WM_LBUTTONDBLCLK: driver->InvokeHandler(driver->onLeftDoubleClick); break;
          case WM_RBUTTONUP: driver->InvokeHandler(driver->onRightButtonUp); break;
          case WM_RBUTTONDBLCLK: driver->InvokeHandler(driver->onRightDoubleClick); break;
          case WM_MBUTTONUP: driver->InvokeHandler(driver->onMiddleButtonUp); break;
          case WM_MBUTTONDBLCLK: driver->InvokeHandler(driver->onMiddleDoubleClick); break;
          default: break;
        }
      }
      return 0;
    default:
      // The taskbar was re-created and has forgotten every icon.
      if (shown && driver->taskbarCreatedMessage && message == driver->taskbarCreatedMessage) {
        driver->Notify(NIM_ADD, driver->CurrentIcon(), driver->tipText);
      }
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
