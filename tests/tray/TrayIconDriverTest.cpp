// The driver's window, its calls to the shell, the tip, the pictures, the
// mouse handlers, a re-created taskbar and the two orders of shutdown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "TrayTestSupport.h"
#include "tray/TrayIconDriver.h"

namespace {

// "プレナラ" in code page 932.
constexpr char kJapaneseTip[] = "\x83\x76\x83\x8C\x83\x69\x83\x89";

void ExpectLast(const ShellRecorder& shell, DWORD message, uint32_t picture, const std::string& tip) {
  EXPECT_EQ(shell.Last().message, message);
  EXPECT_EQ(shell.Last().picture, picture);
  EXPECT_EQ(shell.Last().tip, tip);
  EXPECT_TRUE(shell.Last().result);
}

TEST_F(TrayTest, AnOwnedHiddenWindowAnIconAddedAndRemovedOnceAndTheTipCutTo63Bytes) {
  char name[64] = {};
  GetClassNameA(hidden, name, sizeof name);
  EXPECT_STREQ(name, "WindowClassTrayIconDriver");
  EXPECT_EQ(GetClassLongA(hidden, GCL_CBWNDEXTRA), 4);
  EXPECT_EQ(GetWindowLongA(hidden, 0), reinterpret_cast<LONG>(driver));
  EXPECT_EQ(GetWindow(hidden, GW_OWNER), owner);
  EXPECT_FALSE(IsWindowVisible(hidden));
  EXPECT_EQ(driver->TaskbarCreatedMessage(), RegisterWindowMessageA("TaskbarCreated"));
  {
    // A second driver gets a window of its own; never shown, it never calls the shell.
    TrayIconDriver second(owner);
    EXPECT_NE(second.HiddenWindow(), nullptr);
    EXPECT_NE(second.HiddenWindow(), hidden);
    second.SetTip("tip");
    second.SetAnimating(1);
  }
  HIMAGELIST frames = MakeFrames(5);
  const uint32_t picture = FramePictures(frames)[0];
  driver->SetOwnsImages(1);
  driver->SetImageList(frames);
  // The tip is cut to its first 63 bytes; while hidden it is only stored.
  const std::string longer = std::string(63, 'b') + "XYZ";
  driver->SetTip(longer.c_str());
  EXPECT_EQ(std::string(driver->GetTip()), longer.substr(0, 63));
  EXPECT_EQ(shell.Count(), 0u);

  driver->Show();
  driver->Show();
  ASSERT_EQ(shell.Count(), 1u);
  ExpectLast(shell, NIM_ADD, picture, longer.substr(0, 63));
  EXPECT_TRUE(driver->IsVisible());
  EXPECT_TRUE(InShell(hidden));
  // A shown icon gets a new tip at once, with its picture.
  driver->SetTip(std::string(300, 'e').c_str());
  ASSERT_EQ(shell.Count(), 2u);
  ExpectLast(shell, NIM_MODIFY, picture, std::string(63, 'e'));
  driver->SetTip(nullptr);
  EXPECT_STREQ(driver->GetTip(), "");
  ExpectLast(shell, NIM_MODIFY, picture, "");
  driver->SetTip(kJapaneseTip);
  driver->Hide();
  driver->Hide();
  ASSERT_EQ(shell.Count(), 5u);
  ExpectLast(shell, NIM_DELETE, 0, "");
  EXPECT_FALSE(driver->IsVisible());
  EXPECT_FALSE(InShell(hidden));
  driver->Show();
  ASSERT_EQ(shell.Count(), 6u);
  ExpectLast(shell, NIM_ADD, picture, kJapaneseTip);
  EXPECT_TRUE(InShell(hidden));
  ExpectFixedFields(shell.Calls(), hidden);
}

TEST_F(TrayTest, StillIconPrefersTheStaticIconAnimatedOneTheFramesAndOwnedImagesAreDestroyed) {
  HIMAGELIST frames = MakeFrames(3);
  const std::vector<uint32_t> pictures = FramePictures(frames);
  HICON still = MakeSolidIcon(RGB(20, 40, 60));
  const uint32_t stillPicture = IconPicture(still);
  driver->SetImageList(frames);
  driver->Show();
  EXPECT_EQ(shell.Last().picture, pictures[0]);
  driver->SetStaticIcon(still);
  EXPECT_EQ(shell.Last().message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(shell.Last().picture, stillPicture);
  EXPECT_NE(shell.Last().icon, still);  // a copy, never the driver's own

  // Animating with frames: the frames; stopping shows the still icon again.
  driver->SetInterval(60000);  // the test steps the frames itself
  driver->SetAnimating(1);
  Tick(hidden);
  EXPECT_EQ(shell.Last().picture, pictures[1]);
  driver->SetAnimating(0);
  EXPECT_EQ(shell.Last().picture, stillPicture);
  // Animating without frames: the still icon at every tick.
  driver->SetImageList(nullptr);
  driver->SetAnimating(1);
  Tick(hidden);
  EXPECT_EQ(shell.Last().picture, stillPicture);
  EXPECT_EQ(driver->CurrentFrame(), 0);
  driver->SetAnimating(0);
  // Neither: an icon-less call that still carries the tip.
  driver->SetStaticIcon(nullptr);
  EXPECT_EQ(shell.Last().icon, nullptr);
  ExpectFixedFields(shell.Calls(), hidden);

  // Not owned: the caller's images outlive the driver.
  driver->SetStaticIcon(still);
  driver->SetImageList(frames);
  DeleteDriver();
  EXPECT_TRUE(IconAlive(still));
  EXPECT_EQ(ImageList_GetImageCount(frames), 3);
  ImageList_Destroy(frames);
  // Owned: destroyed when replaced (not by itself) and at the end.
  HICON second = MakeSolidIcon(RGB(4, 5, 6));
  {
    TrayIconDriver owning(owner);
    owning.SetOwnsImages(1);
    owning.SetStaticIcon(still);
    owning.SetStaticIcon(still);
    EXPECT_TRUE(IconAlive(still));
    owning.SetStaticIcon(second);
    EXPECT_FALSE(IconAlive(still));
  }
  EXPECT_FALSE(IconAlive(second));
}

// Which handler ran, where, and which window was foreground while it ran.
struct HandlerCall {
  int slot;
  int32_t x;
  int32_t y;
  HWND foreground;
};
std::vector<HandlerCall> g_handlerCalls;

template <int slot>
void RecordHandler(int32_t x, int32_t y) {
  g_handlerCalls.push_back({slot, x, y, GetForegroundWindow()});
}

LRESULT Notification(HWND hidden, WPARAM id, LPARAM event) { return SendMessageA(hidden, WM_USER, id, event); }

TEST_F(TrayTest, EachMouseEventRunsItsOwnHandlerAtTheCursorInTheForeground) {
  // A window of the tests' own holds the foreground.
  HWND other = CreateWindowExA(0, "STATIC", "foreground", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200, nullptr,
                               nullptr, nullptr, nullptr);
  SetForegroundWindow(other);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == other; }, 30000));
  g_handlerCalls.clear();
  driver->SetRightButtonUpHandler(RecordHandler<1>);
  Notification(hidden, 0, WM_RBUTTONUP);  // hidden: the shell has no icon to notify about
  EXPECT_TRUE(g_handlerCalls.empty());
  driver->SetRightButtonUpHandler(nullptr);
  driver->Show();
  Notification(hidden, 0, WM_RBUTTONUP);  // an empty slot takes nothing, not even the foreground
  EXPECT_EQ(GetForegroundWindow(), other);

  driver->SetLeftButtonUpHandler(RecordHandler<0>);
  driver->SetRightButtonUpHandler(RecordHandler<1>);
  driver->SetMiddleButtonUpHandler(RecordHandler<2>);
  driver->SetLeftDoubleClickHandler(RecordHandler<3>);
  driver->SetRightDoubleClickHandler(RecordHandler<4>);
  driver->SetMiddleDoubleClickHandler(RecordHandler<5>);
  const LPARAM kEvents[] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK,
                            WM_MBUTTONDBLCLK};
  // Wine may settle a moved cursor only later, so take it as it is now.
  POINT cursor = {};
  GetCursorPos(&cursor);
  ASSERT_NE(cursor.x, cursor.y);  // so that swapped coordinates would show
  for (int slot = 0; slot < 6; ++slot) {
    g_handlerCalls.clear();
    EXPECT_EQ(Notification(hidden, 0, kEvents[slot]), 0);
    ASSERT_EQ(g_handlerCalls.size(), 1u) << "event " << kEvents[slot];
    EXPECT_EQ(g_handlerCalls[0].slot, slot);
    EXPECT_EQ(g_handlerCalls[0].x, cursor.x);
    EXPECT_EQ(g_handlerCalls[0].y, cursor.y);
    EXPECT_EQ(g_handlerCalls[0].foreground, hidden);
  }
  // Another icon's notification, button presses and moves: nothing.
  g_handlerCalls.clear();
  Notification(hidden, 1, WM_RBUTTONUP);
  for (LPARAM event : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_MOUSEMOVE, WM_CONTEXTMENU}) {
    Notification(hidden, 0, event);
  }
  EXPECT_TRUE(g_handlerCalls.empty());
  EXPECT_EQ(shell.Count(), 1u);  // and nothing went to the shell either
  DestroyWindow(other);
}

TEST_F(TrayTest, RecreatedTaskbarGetsAShownIconBackWithItsFrameAndTip) {
  HIMAGELIST frames = MakeFrames(5);
  const std::vector<uint32_t> pictures = FramePictures(frames);
  driver->SetOwnsImages(1);
  driver->SetImageList(frames);
  driver->SetTip(kJapaneseTip);
  driver->SetInterval(60000);  // the test steps the frames itself
  driver->SetAnimating(1);
  driver->Show();
  Tick(hidden);
  Tick(hidden);
  // The taskbar restarted and lost the icon.
  ASSERT_TRUE(RemoveFromShell(hidden));
  const size_t before = shell.Count();
  SendMessageA(hidden, driver->TaskbarCreatedMessage(), 0, 0);
  ASSERT_EQ(shell.Count(), before + 1);
  ExpectLast(shell, NIM_ADD, pictures[2], kJapaneseTip);
  EXPECT_TRUE(InShell(hidden));
  EXPECT_TRUE(driver->IsAnimating());
  EXPECT_EQ(driver->CurrentFrame(), 2);
  // A hidden icon stays away.
  driver->Hide();
  const size_t hiddenCount = shell.Count();
  SendMessageA(hidden, driver->TaskbarCreatedMessage(), 0, 0);
  EXPECT_EQ(shell.Count(), hiddenCount);
  EXPECT_FALSE(InShell(hidden));
  ExpectFixedFields(shell.Calls(), hidden);
}

TEST_F(TrayTest, EndOfSessionRemovesTheIconOnlyWhenTheSessionEnds) {
  driver->Show();
  SendMessageA(hidden, WM_ENDSESSION, 0, 0);
  EXPECT_TRUE(InShell(hidden));
  EXPECT_EQ(shell.Count(), 1u);
  SendMessageA(hidden, WM_ENDSESSION, 1, 0);
  EXPECT_FALSE(driver->IsVisible());
  EXPECT_FALSE(InShell(hidden));
  ASSERT_EQ(shell.Count(), 2u);
  EXPECT_EQ(shell.Last().message, static_cast<DWORD>(NIM_DELETE));
}

TEST_F(TrayTest, OwnerDestroyedFirstTakesTheIconAwayAndDeleteTouchesNothing) {
  driver->SetOwnsImages(1);
  driver->SetImageList(MakeFrames(5));
  driver->SetInterval(100);
  driver->SetAnimating(1);
  driver->Show();
  DestroyWindow(owner);
  EXPECT_FALSE(IsWindow(hidden));
  EXPECT_EQ(driver->HiddenWindow(), nullptr);
  EXPECT_FALSE(driver->IsVisible());
  ASSERT_EQ(shell.Count(), 2u);
  ExpectLast(shell, NIM_DELETE, 0, "");
  EXPECT_EQ(shell.Last().window, hidden);
  EXPECT_FALSE(InShell(hidden));
  // With the window gone nothing may start a timer or reach the shell for it.
  driver->Show();
  driver->SetTip("late");
  driver->SetAnimating(0);
  driver->SetAnimating(1);
  driver->Hide();
  DeleteDriver();
  EXPECT_EQ(shell.Count(), 2u);
}

TEST_F(TrayTest, DeletedFirstRemovesIconAndWindowAndLeavesTheOwnerAndTheClass) {
  driver->SetOwnsImages(1);
  driver->SetImageList(MakeFrames(5));
  driver->SetInterval(100);
  driver->SetAnimating(1);
  driver->Show();
  DeleteDriver();
  EXPECT_FALSE(IsWindow(hidden));
  EXPECT_TRUE(IsWindow(owner));
  ASSERT_EQ(shell.Count(), 2u);
  ExpectLast(shell, NIM_DELETE, 0, "");
  EXPECT_FALSE(InShell(hidden));
  DestroyWindow(owner);
  EXPECT_EQ(shell.Count(), 2u);
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  EXPECT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "WindowClassTrayIconDriver", &windowClass));
}

TEST_F(TrayTest, ProgramFramesLoadAsDistinctPictures) {
  // As the program builds its list: the icons at their own size, mask only.
  HIMAGELIST frames = ImageList_Create(16, 16, ILC_MASK, 5, 0);
  for (int i = 0; i < 5; ++i) {
    const std::string name = "TRAYICON" + std::to_string(i);
    HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), name.c_str(), IMAGE_ICON, 0, 0, 0));
    ASSERT_NE(icon, nullptr) << name;
    ImageList_ReplaceIcon(frames, -1, icon);
    DestroyIcon(icon);
  }
  const std::vector<uint32_t> pictures = FramePictures(frames);
  ASSERT_EQ(pictures.size(), 5u);
  for (size_t i = 0; i < pictures.size(); ++i) {
    for (size_t j = i + 1; j < pictures.size(); ++j) EXPECT_NE(pictures[i], pictures[j]) << i << " " << j;
  }
  driver->SetOwnsImages(1);
  driver->SetImageList(frames);
  driver->Show();
  EXPECT_EQ(shell.Last().picture, pictures[0]);
}

}  // namespace
