// The tray icon driver against Wine's notification area, with a recorder in
// front of the shell call that still forwards to it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "tray/TrayIconDriver.h"

namespace {

// The centre colour of a solid icon; CLR_INVALID for no (or a dead) icon.
COLORREF ColourOf(HICON icon) {
  ICONINFO info = {};
  if (!icon || !GetIconInfo(icon, &info)) return CLR_INVALID;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, info.hbmColor);
  const COLORREF colour = GetPixel(dc, 8, 8);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return colour;
}

constexpr COLORREF kFrames[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};

HIMAGELIST MakeFrames() {
  HIMAGELIST list = ImageList_Create(16, 16, ILC_MASK | ILC_COLOR24, 3, 0);
  for (COLORREF c : kFrames) {
    const std::vector<uint32_t> pixels(16 * 16, GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
    const std::vector<uint8_t> mask(16 * 16 / 8, 0);  // opaque everywhere
    HICON icon = CreateIcon(nullptr, 16, 16, 1, 32, mask.data(), reinterpret_cast<const BYTE*>(pixels.data()));
    ImageList_ReplaceIcon(list, -1, icon);
    DestroyIcon(icon);
  }
  return list;
}

struct ShellCall {
  DWORD message;
  NOTIFYICONDATAA data;  // the first 88 bytes, as the driver sent them
  COLORREF colour;       // of the icon during the call
  BOOL result;
};
std::vector<ShellCall> g_calls;
ShellNotifyFunction g_shell = nullptr;

BOOL WINAPI Record(DWORD message, PNOTIFYICONDATAA data) {
  ShellCall call = {message, {}, ColourOf(data->hIcon), g_shell(message, data)};
  std::memcpy(&call.data, data, NOTIFYICONDATAA_V1_SIZE);
  g_calls.push_back(call);
  return call.result;
}

// Asks the notification area itself, behind the driver's back.
BOOL AskShell(HWND window, DWORD message) {
  NOTIFYICONDATAA data = {};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = window;
  return g_shell(message, &data);
}
// A modification that changes nothing succeeds exactly when the icon is there.
bool InShell(HWND window) { return AskShell(window, NIM_MODIFY) != FALSE; }

// The frames shown by the modifications from call `from` on.
std::vector<int> FramesFrom(size_t from) {
  std::vector<int> frames;
  for (size_t i = from; i < g_calls.size(); ++i) {
    if (g_calls[i].message != NIM_MODIFY) continue;
    int k = 0;
    while (k < 3 && kFrames[k] != g_calls[i].colour) ++k;
    frames.push_back(k);
  }
  return frames;
}

class Tray : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    g_shell = ReplaceShellNotify(Record);
    // The notification area comes up a little after the desktop.
    ASSERT_TRUE(WaitFor([] { return FindWindowA("Shell_TrayWnd", nullptr) != nullptr; }, 60000));
    owner = CreateWindowExA(0, "STATIC", "tray owner", WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    driver = new TrayIconDriver(owner);
    hidden = driver->HiddenWindow();
    ASSERT_NE(hidden, nullptr);
    driver->SetOwnsImages(1);
    driver->SetImageList(MakeFrames());
  }
  // Every call carries the same fixed fields, and each icon handed over was
  // a copy made for that call alone. Nothing stays behind.
  void TearDown() override {
    delete driver;
    DestroyWindow(owner);
    EXPECT_FALSE(IsWindow(hidden));
    EXPECT_FALSE(InShell(hidden));
    for (const ShellCall& call : g_calls) {
      EXPECT_EQ(call.data.cbSize, 88u);
      EXPECT_EQ(call.data.hWnd, hidden);
      EXPECT_EQ(call.data.uID, 0u);
      EXPECT_EQ(call.data.uFlags, 7u);
      EXPECT_EQ(call.data.uCallbackMessage, 1024u);
      EXPECT_EQ(ColourOf(call.data.hIcon), CLR_INVALID);
    }
    ReplaceShellNotify(g_shell);
  }
  void Tick() { SendMessageA(hidden, WM_TIMER, 1, 0); }
  bool TimerPending() const {
    MSG msg;
    return PeekMessageA(&msg, hidden, WM_TIMER, WM_TIMER, PM_NOREMOVE) != 0;
  }

  HWND owner = nullptr;
  HWND hidden = nullptr;
  TrayIconDriver* driver = nullptr;
};

TEST_F(Tray, FramesStepAndWrapAtTheIntervalAndStoppingReturnsToTheFirst) {
  // The tip keeps its first 63 bytes, as the first form of the structure holds no more.
  const std::string tip63(63, 't');
  driver->SetTip(std::string(100, 't').c_str());
  EXPECT_EQ(std::string(driver->GetTip()), tip63);
  driver->SetInterval(100);
  driver->Show();
  driver->Show();
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(g_calls[0].colour, kFrames[0]);
  EXPECT_EQ(std::string(g_calls[0].data.szTip), tip63);
  EXPECT_TRUE(InShell(hidden));
  driver->SetAnimating(1);
  // Were the same state or period to restart the timer, these calls would starve it.
  ASSERT_TRUE(WaitFor(
      [&] {
        driver->SetAnimating(1);
        driver->SetInterval(100);
        return FramesFrom(1).size() >= 4;
      },
      30000));
  EXPECT_EQ(FramesFrom(1), (std::vector<int>{1, 2, 0, 1}));
  driver->SetAnimating(0);
  EXPECT_EQ(driver->CurrentFrame(), 0);
  EXPECT_EQ(g_calls.back().colour, kFrames[0]);
  EXPECT_TRUE(g_calls.back().result);
  const size_t stopped = g_calls.size();
  driver->SetAnimating(0);
  EXPECT_FALSE(WaitFor([&] { return g_calls.size() > stopped; }, 400));
}

TEST_F(Tray, ARecreatedTaskbarGetsAShownIconBackWithItsFrameAndAHiddenOneStaysAway) {
  driver->SetAnimating(1);
  // A hidden icon runs no timer, whatever its period.
  driver->SetInterval(20);
  EXPECT_FALSE(WaitFor([&] { return TimerPending(); }, 600));
  driver->SetInterval(60000);  // the test steps the frames itself
  driver->Show();
  Tick();
  Tick();
  // The taskbar restarted and lost the icon.
  ASSERT_TRUE(AskShell(hidden, NIM_DELETE));
  const size_t before = g_calls.size();
  SendMessageA(hidden, driver->TaskbarCreatedMessage(), 0, 0);
  ASSERT_EQ(g_calls.size(), before + 1);
  EXPECT_EQ(g_calls.back().message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(g_calls.back().colour, kFrames[2]);
  EXPECT_TRUE(InShell(hidden));
  driver->Hide();
  const size_t hiddenCount = g_calls.size();
  SendMessageA(hidden, driver->TaskbarCreatedMessage(), 0, 0);
  EXPECT_EQ(g_calls.size(), hiddenCount);
  EXPECT_FALSE(InShell(hidden));
}

POINT g_handled = {-1, -1};
HWND g_foreground = nullptr;
void OnRightButtonUp(int32_t x, int32_t y) {
  g_handled = {x, y};
  g_foreground = GetForegroundWindow();
}

TEST_F(Tray, AClickRunsItsHandlerInTheForegroundAnEmptySlotNothingAndOnlyTheSessionsEndHides) {
  // A window of the test's own holds the foreground.
  HWND other = CreateWindowExA(0, "STATIC", "foreground", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200, nullptr,
                               nullptr, nullptr, nullptr);
  SetForegroundWindow(other);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == other; }, 30000));
  driver->SetRightButtonUpHandler(OnRightButtonUp);
  driver->Show();
  // An empty slot takes nothing, not even the foreground; another icon's
  // notification and a button press run nothing.
  EXPECT_EQ(SendMessageA(hidden, WM_USER, 0, WM_LBUTTONDBLCLK), 0);
  EXPECT_EQ(GetForegroundWindow(), other);
  SendMessageA(hidden, WM_USER, 1, WM_RBUTTONUP);
  SendMessageA(hidden, WM_USER, 0, WM_RBUTTONDOWN);
  EXPECT_EQ(g_handled.x, -1);
  // Wine may settle a moved cursor only later, so take it as it is now.
  POINT cursor = {};
  GetCursorPos(&cursor);
  ASSERT_NE(cursor.x, cursor.y);  // so that swapped coordinates would show
  EXPECT_EQ(SendMessageA(hidden, WM_USER, 0, WM_RBUTTONUP), 0);
  EXPECT_EQ(g_handled.x, cursor.x);
  EXPECT_EQ(g_handled.y, cursor.y);
  EXPECT_EQ(g_foreground, hidden);
  // The icon goes only when the session really ends.
  SendMessageA(hidden, WM_ENDSESSION, 0, 0);
  EXPECT_TRUE(InShell(hidden));
  SendMessageA(hidden, WM_ENDSESSION, 1, 0);
  EXPECT_FALSE(driver->IsVisible());
  EXPECT_FALSE(InShell(hidden));
  EXPECT_EQ(g_calls.back().message, static_cast<DWORD>(NIM_DELETE));
  DestroyWindow(other);
}

}  // namespace
