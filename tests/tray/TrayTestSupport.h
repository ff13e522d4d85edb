#pragma once
// What the tray tests need around the driver: a recorder in front of the
// shell call that still forwards to Wine's notification area, pictures of
// icons to tell frames apart, and frames of plain colours.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>
#include <string>
#include <vector>

// One call as the shell received it, and what the shell answered.
struct ShellCall {
  DWORD message = 0;
  DWORD cbSize = 0;
  HWND window = nullptr;
  UINT id = 0;
  UINT flags = 0;
  UINT callbackMessage = 0;
  HICON icon = nullptr;
  uint32_t picture = 0;  // IconPicture of icon during the call
  std::string tip;
  BOOL result = FALSE;
  DWORD tick = 0;
};

// Records every call the driver makes while it lives; one at a time.
class ShellRecorder {
 public:
  ShellRecorder();
  ~ShellRecorder();
  ShellRecorder(const ShellRecorder&) = delete;
  ShellRecorder& operator=(const ShellRecorder&) = delete;

  const std::vector<ShellCall>& Calls() const { return calls_; }
  size_t Count() const { return calls_.size(); }
  const ShellCall& Last() const { return calls_.back(); }

 private:
  static BOOL WINAPI Record(DWORD message, PNOTIFYICONDATAA data);
  std::vector<ShellCall> calls_;
};

// A digest of an icon's colour and mask bits; 0 for no (or a dead) icon.
uint32_t IconPicture(HICON icon);
bool IconAlive(HICON icon);

// A 16x16 opaque icon of one colour.
HICON MakeSolidIcon(COLORREF colour);
// An image list of n frames in distinct colours.
HIMAGELIST MakeFrames(int n);
// The pictures the list's frames give, in order.
std::vector<uint32_t> FramePictures(HIMAGELIST list);

// One tick of the animation timer, delivered at once, for tests whose subject
// is not the timer's period.
inline void Tick(HWND hidden) { SendMessageA(hidden, WM_TIMER, 1, 0); }

// Asks Wine's notification area itself whether the icon of window is there.
bool InShell(HWND window);
// Takes the icon out of the notification area behind the driver's back, as a
// restarted taskbar would have lost it.
bool RemoveFromShell(HWND window);

#include <gtest/gtest.h>

class TrayIconDriver;

// Every call carries the same fixed fields, the delete included, and every
// icon handed over was a copy made for that call and is gone after it.
void ExpectFixedFields(const std::vector<ShellCall>& calls, HWND hidden);

// A driver under an owner window of the tests' own, with the recorder in
// front of the shell. Whatever a test leaves behind is deleted, and no icon
// may stay in the notification area.
class TrayTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Deletes the driver now (and leaves nothing for TearDown to delete).
  void DeleteDriver();

  ShellRecorder shell;
  HWND owner = nullptr;
  HWND hidden = nullptr;  // the driver's window as first made
  TrayIconDriver* driver = nullptr;
};
