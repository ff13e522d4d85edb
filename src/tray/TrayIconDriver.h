#pragma once
// One icon in the taskbar's notification area, with an optional animation
// through the frames of an image list and up to six mouse handlers. Knows
// nothing of the application that uses it.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>

// Called with the cursor position in screen coordinates.
using MouseHandler = void (*)(int32_t x, int32_t y);

class TrayIconDriver {
 public:
  explicit TrayIconDriver(HWND ownerWindow);
  ~TrayIconDriver();
  TrayIconDriver(const TrayIconDriver&) = delete;
  TrayIconDriver& operator=(const TrayIconDriver&) = delete;

  void Show();
  void Hide();
  BOOL IsVisible() const { return visible; }
  // Only the setters the program calls are here: the others (a still icon,
  // the first frame, the left and middle button-up handlers and the right and
  // middle double-click handlers) were dropped as nothing called them. Their
  // fields stay at their defaults (no still icon, frame 0, no handler) and
  // the code that reads them stays; add a setter back when a caller needs one.
  void SetOwnsImages(BOOL owns) { ownsImages = owns; }
  // A null text counts as an empty one.
  void SetTip(const char* text);
  const char* GetTip() const { return tipText ? tipText : ""; }
  void SetAnimating(BOOL flag);
  void SetInterval(int32_t milliseconds);
  void SetImageList(HIMAGELIST list);
  void SetRightButtonUpHandler(MouseHandler handler) { onRightButtonUp = handler; }
  void SetLeftDoubleClickHandler(MouseHandler handler) { onLeftDoubleClick = handler; }
  UINT TaskbarCreatedMessage() const { return taskbarCreatedMessage; }

  // Read-only views for callers that need to know the state (tests among them).
  // HiddenWindow is null once the window has been destroyed with its owner.
  HWND HiddenWindow() const { return hiddenWindow; }
  int32_t CurrentFrame() const { return currentFrame; }

 private:
  BOOL Notify(DWORD message, HICON icon, const char* tip);
  HICON CurrentIcon() const;
  void NextFrame();
  void InvokeHandler(MouseHandler handler);
  void StartTimer();
  void StopTimer();
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  BOOL visible = 0;
  HWND hiddenWindow = nullptr;
  HWND ownerWindow = nullptr;
  UINT taskbarCreatedMessage = 0;
  BOOL ownsImages = 0;
  char* tipText = nullptr;
  HICON staticIcon = nullptr;
  BOOL animating = 0;
  int32_t interval = 1000;
  HIMAGELIST imageList = nullptr;
  int32_t firstFrame = 0;
  int32_t currentFrame = 0;
  MouseHandler onLeftButtonUp = nullptr;
  MouseHandler onRightButtonUp = nullptr;
  MouseHandler onMiddleButtonUp = nullptr;
  MouseHandler onLeftDoubleClick = nullptr;
  MouseHandler onRightDoubleClick = nullptr;
  MouseHandler onMiddleDoubleClick = nullptr;
};

// The shell call behind every notification. Tests put a recorder in front of
// it that still forwards to the shell; null puts the shell's own back.
// Returns the function it replaces.
using ShellNotifyFunction = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAA data);
ShellNotifyFunction ReplaceShellNotify(ShellNotifyFunction function);
