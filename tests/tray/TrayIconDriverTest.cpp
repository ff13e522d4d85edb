// The driver's window, its calls to the shell, the tip, the mouse handlers,
// a re-created taskbar and the two orders of shutdown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "TrayTestSupport.h"
#include "tray/TrayIconDriver.h"

namespace {

// "プレナラ" in code page 932.
constexpr char kJapaneseTip[] = "\x83\x76\x83\x8C\x83\x69\x83\x89";

// Every call carries the same fixed fields, the delete included, and every
// icon handed over was a copy made for that call and is gone after it.
void ExpectFixedFields(const std::vector<ShellCall>& calls, HWND hidden) {
  for (const ShellCall& call : calls) {
    SCOPED_TRACE(testing::Message() << "message " << call.message);
    EXPECT_EQ(call.cbSize, 88u);
    EXPECT_EQ(call.window, hidden);
    EXPECT_EQ(call.id, 0u);
    EXPECT_EQ(call.flags, 7u);
    EXPECT_EQ(call.callbackMessage, 1024u);
    if (call.icon) {
      EXPECT_FALSE(IconAlive(call.icon));
    }
  }
}

TEST_F(TrayTest, ConstructorMakesAnOwnedHiddenWindowAndAddsNoIcon) {
  char name[64] = {};
  GetClassNameA(hidden, name, sizeof name);
  EXPECT_STREQ(name, "WindowClassTrayIconDriver");
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "WindowClassTrayIconDriver", &windowClass));
  EXPECT_EQ(windowClass.style, 0u);
  EXPECT_EQ(windowClass.cbClsExtra, 0);
  EXPECT_EQ(windowClass.cbWndExtra, 4);
  EXPECT_EQ(windowClass.hIcon, nullptr);
  EXPECT_EQ(windowClass.hCursor, nullptr);
  EXPECT_EQ(windowClass.hbrBackground, nullptr);
  EXPECT_EQ(GetWindowLongA(hidden, 0), reinterpret_cast<LONG>(driver));
  EXPECT_EQ(GetWindow(hidden, GW_OWNER), owner);
  EXPECT_FALSE(IsWindowVisible(hidden));
  EXPECT_EQ(driver->TaskbarCreatedMessage(), RegisterWindowMessageA("TaskbarCreated"));
  EXPECT_NE(driver->TaskbarCreatedMessage(), 0u);

  EXPECT_FALSE(driver->IsVisible());
  EXPECT_FALSE(driver->IsAnimating());
  EXPECT_STREQ(driver->GetTip(), "");
  EXPECT_EQ(driver->Interval(), 1000);
  EXPECT_EQ(driver->CurrentFrame(), 0);
  EXPECT_EQ(shell.Count(), 0u);
  EXPECT_FALSE(InShell(hidden));

  // A second driver beside the first gets a window of its own.
  TrayIconDriver second(owner);
  EXPECT_NE(second.HiddenWindow(), nullptr);
  EXPECT_NE(second.HiddenWindow(), hidden);
}

TEST_F(TrayTest, ShowAddsOnceWithTipAndHideRemovesOnce) {
  HIMAGELIST frames = MakeFrames(5);
  const std::vector<uint32_t> pictures = FramePictures(frames);
  driver->SetOwnsImages(1);
  driver->SetImageList(frames);
  driver->SetTip(kJapaneseTip);
  EXPECT_EQ(shell.Count(), 0u);  // nothing is shown yet

  driver->Show();
  driver->Show();
  ASSERT_EQ(shell.Count(), 1u);
  EXPECT_EQ(shell.Last().message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(shell.Last().picture, pictures[0]);
  EXPECT_EQ(shell.Last().tip, kJapaneseTip);
  EXPECT_TRUE(shell.Last().result);
  EXPECT_TRUE(driver->IsVisible());
  EXPECT_TRUE(InShell(hidden));

  driver->Hide();
  driver->Hide();
  ASSERT_EQ(shell.Count(), 2u);
  EXPECT_EQ(shell.Last().message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(shell.Last().icon, nullptr);
  EXPECT_EQ(shell.Last().tip, "");
  EXPECT_TRUE(shell.Last().result);
  EXPECT_FALSE(driver->IsVisible());
  EXPECT_FALSE(InShell(hidden));

  // Shown again after hiding: added anew.
  driver->Show();
  ASSERT_EQ(shell.Count(), 3u);
  EXPECT_EQ(shell.Last().message, static_cast<DWORD>(NIM_ADD));
  EXPECT_TRUE(shell.Last().result);
  EXPECT_TRUE(InShell(hidden));
  ExpectFixedFields(shell.Calls(), hidden);
}

TEST_F(TrayTest, TipIsCutToItsFirst63Bytes) {
  const std::string exact(63, 'a');
  driver->SetTip(exact.c_str());
  EXPECT_EQ(std::string(driver->GetTip()), exact);

  const std::string longer = std::string(63, 'b') + "XYZ";
  driver->SetTip(longer.c_str());
  EXPECT_EQ(std::string(driver->GetTip()), longer.substr(0, 63));
  const std::string sixtyFour = std::string(63, 'c') + "d";
  driver->SetTip(sixtyFour.c_str());
  EXPECT_EQ(std::string(driver->GetTip()), sixtyFour.substr(0, 63));
  EXPECT_EQ(shell.Count(), 0u);  // hidden: stored only

  driver->SetImageList(MakeFrames(1));
  driver->SetOwnsImages(1);
  driver->Show();
  ASSERT_EQ(shell.Count(), 1u);
  EXPECT_EQ(shell.Last().tip, sixtyFour.substr(0, 63));

  // A new tip on a shown icon goes to the shell at once, with the picture.
  const std::string many(300, 'e');
  driver->SetTip(many.c_str());
  ASSERT_EQ(shell.Count(), 2u);
  EXPECT_EQ(shell.Last().message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(shell.Last().tip, many.substr(0, 63));
  EXPECT_NE(shell.Last().picture, 0u);
  EXPECT_TRUE(shell.Last().result);

  driver->SetTip(kJapaneseTip);
  EXPECT_EQ(shell.Last().tip, kJapaneseTip);
  driver->SetTip("");
  EXPECT_EQ(shell.Last().tip, "");
  driver->SetTip(nullptr);
  EXPECT_STREQ(driver->GetTip(), "");
  EXPECT_EQ(shell.Last().tip, "");
  ExpectFixedFields(shell.Calls(), hidden);
}

TEST_F(TrayTest, StillIconPrefersTheStaticIconAndAnimatedOneTheFrames) {
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
  EXPECT_TRUE(IconAlive(still));

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
  const size_t before = shell.Count();
  Tick(hidden);
  Tick(hidden);
  ASSERT_EQ(shell.Count(), before + 2);
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
  DestroyIcon(still);
  ImageList_Destroy(frames);
}

TEST_F(TrayTest, OwnedStaticIconsAreDestroyedWhenReplacedAndAtTheEnd) {
  driver->SetOwnsImages(1);
  HICON first = MakeSolidIcon(RGB(1, 2, 3));
  HICON second = MakeSolidIcon(RGB(4, 5, 6));
  driver->SetStaticIcon(first);
  driver->SetStaticIcon(first);  // the same one again is kept
  EXPECT_TRUE(IconAlive(first));
  driver->SetStaticIcon(second);
  EXPECT_FALSE(IconAlive(first));
  EXPECT_TRUE(IconAlive(second));
  DeleteDriver();
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

enum Slot { kLeftUp, kRightUp, kMiddleUp, kLeftDouble, kRightDouble, kMiddleDouble };

LRESULT Shell(HWND hidden, WPARAM id, LPARAM event) { return SendMessageA(hidden, WM_USER, id, event); }

TEST_F(TrayTest, MouseNotificationsRunTheirHandlerAtTheCursor) {
  g_handlerCalls.clear();
  driver->SetRightButtonUpHandler(RecordHandler<kRightUp>);
  driver->SetLeftDoubleClickHandler(RecordHandler<kLeftDouble>);
  driver->SetImageList(MakeFrames(1));
  driver->SetOwnsImages(1);

  // Hidden: the shell has no icon to notify about, and nothing runs.
  Shell(hidden, 0, WM_RBUTTONUP);
  EXPECT_TRUE(g_handlerCalls.empty());

  driver->Show();
  EXPECT_EQ(Shell(hidden, 0, WM_RBUTTONUP), 0);
  // Wine may settle a moved cursor only later, so take it as it is now.
  POINT cursor = {};
  GetCursorPos(&cursor);
  ASSERT_NE(cursor.x, cursor.y);  // so that swapped coordinates would show
  ASSERT_EQ(g_handlerCalls.size(), 1u);
  EXPECT_EQ(g_handlerCalls[0].slot, kRightUp);
  EXPECT_EQ(g_handlerCalls[0].x, cursor.x);
  EXPECT_EQ(g_handlerCalls[0].y, cursor.y);

  Shell(hidden, 0, WM_LBUTTONDBLCLK);
  ASSERT_EQ(g_handlerCalls.size(), 2u);
  EXPECT_EQ(g_handlerCalls[1].slot, kLeftDouble);

  // Another icon's notification, button presses, moves and empty slots: nothing.
  Shell(hidden, 1, WM_RBUTTONUP);
  Shell(hidden, 7, WM_LBUTTONDBLCLK);
  for (LPARAM event : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP, WM_MBUTTONUP,
                       WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK, WM_CONTEXTMENU}) {
    Shell(hidden, 0, event);
  }
  EXPECT_EQ(g_handlerCalls.size(), 2u);
  EXPECT_EQ(shell.Count(), 1u);  // and nothing went to the shell either
}

TEST_F(TrayTest, EachMouseEventHasItsOwnSlot) {
  g_handlerCalls.clear();
  driver->SetLeftButtonUpHandler(RecordHandler<kLeftUp>);
  driver->SetRightButtonUpHandler(RecordHandler<kRightUp>);
  driver->SetMiddleButtonUpHandler(RecordHandler<kMiddleUp>);
  driver->SetLeftDoubleClickHandler(RecordHandler<kLeftDouble>);
  driver->SetRightDoubleClickHandler(RecordHandler<kRightDouble>);
  driver->SetMiddleDoubleClickHandler(RecordHandler<kMiddleDouble>);
  driver->Show();
  const struct {
    LPARAM event;
    int slot;
  } kCases[] = {{WM_LBUTTONUP, kLeftUp},         {WM_RBUTTONUP, kRightUp},
                {WM_MBUTTONUP, kMiddleUp},       {WM_LBUTTONDBLCLK, kLeftDouble},
                {WM_RBUTTONDBLCLK, kRightDouble}, {WM_MBUTTONDBLCLK, kMiddleDouble}};
  for (const auto& c : kCases) {
    g_handlerCalls.clear();
    Shell(hidden, 0, c.event);
    ASSERT_EQ(g_handlerCalls.size(), 1u) << "event " << c.event;
    EXPECT_EQ(g_handlerCalls[0].slot, c.slot) << "event " << c.event;
  }
}

// A visible window of the tests' own that holds the foreground.
class ForegroundWindow {
 public:
  ForegroundWindow() {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "PlenaraTrayTestForeground";
    RegisterClassExA(&windowClass);
    window_ = CreateWindowExA(0, "PlenaraTrayTestForeground", "foreground", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50,
                              50, 300, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(window_);
    WaitFor([&] { return GetForegroundWindow() == window_; }, 30000);
  }
  ~ForegroundWindow() { DestroyWindow(window_); }
  HWND Get() const { return window_; }

 private:
  HWND window_ = nullptr;
};

TEST_F(TrayTest, OnlyAFilledSlotTakesTheForeground) {
  g_handlerCalls.clear();
  ForegroundWindow other;
  ASSERT_EQ(GetForegroundWindow(), other.Get());
  driver->Show();

  Shell(hidden, 0, WM_RBUTTONUP);  // empty slot
  EXPECT_EQ(GetForegroundWindow(), other.Get());

  driver->SetRightButtonUpHandler(RecordHandler<kRightUp>);
  Shell(hidden, 0, WM_RBUTTONUP);
  ASSERT_EQ(g_handlerCalls.size(), 1u);
  EXPECT_EQ(g_handlerCalls[0].foreground, hidden);
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
  ASSERT_EQ(driver->CurrentFrame(), 2);

  // The taskbar restarted and lost the icon.
  ASSERT_TRUE(RemoveFromShell(hidden));
  ASSERT_FALSE(InShell(hidden));
  const size_t before = shell.Count();
  SendMessageA(hidden, driver->TaskbarCreatedMessage(), 0, 0);
  ASSERT_EQ(shell.Count(), before + 1);
  EXPECT_EQ(shell.Last().message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(shell.Last().picture, pictures[2]);
  EXPECT_EQ(shell.Last().tip, kJapaneseTip);
  EXPECT_TRUE(shell.Last().result);
  EXPECT_TRUE(InShell(hidden));
  EXPECT_TRUE(driver->IsVisible());
  EXPECT_TRUE(driver->IsAnimating());
  EXPECT_EQ(driver->CurrentFrame(), 2);

  // A hidden icon stays away.
  driver->Hide();
  const size_t hiddenCount = shell.Count();
  SendMessageA(hidden, driver->TaskbarCreatedMessage(), 0, 0);
  EXPECT_EQ(shell.Count(), hiddenCount);
  EXPECT_FALSE(InShell(hidden));
  EXPECT_FALSE(driver->IsVisible());
  ExpectFixedFields(shell.Calls(), hidden);
}

TEST_F(TrayTest, OnlyItsOwnTimerStepsAShownIcon) {
  HIMAGELIST frames = MakeFrames(3);
  const std::vector<uint32_t> pictures = FramePictures(frames);
  driver->SetOwnsImages(1);
  driver->SetImageList(frames);
  Tick(hidden);  // hidden: nothing moves
  EXPECT_EQ(driver->CurrentFrame(), 0);
  EXPECT_EQ(shell.Count(), 0u);

  driver->Show();
  SendMessageA(hidden, WM_TIMER, 2, 0);
  EXPECT_EQ(driver->CurrentFrame(), 0);
  EXPECT_EQ(shell.Count(), 1u);
  const size_t expected[] = {1, 2, 0, 1};
  for (size_t frame : expected) {
    Tick(hidden);
    EXPECT_EQ(driver->CurrentFrame(), static_cast<int32_t>(frame));
    EXPECT_EQ(shell.Last().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(shell.Last().picture, pictures[frame]);
    EXPECT_TRUE(shell.Last().result);
  }
  ExpectFixedFields(shell.Calls(), hidden);
}

TEST_F(TrayTest, EndOfSessionRemovesTheIconOnlyWhenTheSessionEnds) {
  driver->Show();
  SendMessageA(hidden, WM_ENDSESSION, 0, 0);
  EXPECT_TRUE(driver->IsVisible());
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
  ASSERT_TRUE(InShell(hidden));

  DestroyWindow(owner);
  EXPECT_FALSE(IsWindow(hidden));
  EXPECT_EQ(driver->HiddenWindow(), nullptr);
  EXPECT_FALSE(driver->IsVisible());
  ASSERT_EQ(shell.Count(), 2u);
  EXPECT_EQ(shell.Last().message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(shell.Last().window, hidden);
  EXPECT_TRUE(shell.Last().result);
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

TEST_F(TrayTest, DeletedFirstRemovesIconAndWindowAndLeavesTheOwner) {
  driver->SetOwnsImages(1);
  driver->SetImageList(MakeFrames(5));
  driver->SetInterval(100);
  driver->SetAnimating(1);
  driver->Show();
  ASSERT_TRUE(InShell(hidden));

  DeleteDriver();
  EXPECT_FALSE(IsWindow(hidden));
  EXPECT_TRUE(IsWindow(owner));
  ASSERT_EQ(shell.Count(), 2u);
  EXPECT_EQ(shell.Last().message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_TRUE(shell.Last().result);
  EXPECT_FALSE(InShell(hidden));

  DestroyWindow(owner);
  EXPECT_EQ(shell.Count(), 2u);
  // The class stays registered for the next driver.
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  EXPECT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "WindowClassTrayIconDriver", &windowClass));
}

TEST_F(TrayTest, NeverShownDriverNeverCallsTheShell) {
  driver->SetTip("tip");
  driver->SetImageList(MakeFrames(2));
  driver->SetOwnsImages(1);
  driver->SetAnimating(1);
  driver->SetAnimating(0);
  DeleteDriver();
  EXPECT_EQ(shell.Count(), 0u);
}

TEST_F(TrayTest, ProgramFramesLoadAsDistinctPictures) {
  // As the program builds its list: the icons at their own size, mask only.
  HIMAGELIST frames = ImageList_Create(16, 16, ILC_MASK, 5, 0);
  for (int i = 0; i < 5; ++i) {
    const std::string name = "TRAYICON" + std::to_string(i);
    HICON icon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), name.c_str(), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
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
  EXPECT_TRUE(shell.Last().result);
}

}  // namespace
