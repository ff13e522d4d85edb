// The main window's two help requests, through the real window procedure.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "HelpTestSupport.h"
#include "app/Commands.h"
#include "app/MainWindow.h"
#include "companion/Help.h"
#include "shared/SharedBlock.h"

namespace {

constexpr char kMainClass[] = "PlenaraHelpTestMain";
constexpr char kHelpFile[] = "C:\\Plenara\\Plenara.chm";

// A main window on a block of the test's own. Its creation runs the real
// start-up work: the tray icon, and a companion that is not there.
class MainWindow {
 public:
  MainWindow() {
    std::memset(&block_, 0, sizeof block_);
    std::strcpy(block_.helpPath, kHelpFile);
    const std::string companion = ExeDir() + "NoSuchCompanionDLL.dll";
    std::strcpy(block_.companionPath, companion.c_str());
    AttachBlock(&block_);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kMainClass;
    RegisterClassExA(&wc);
    window = CreateWindowExA(0, kMainClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  ~MainWindow() {
    if (window) DestroyWindow(window);
    // The shutdown work posts the loop's end; this thread has no loop.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    UnregisterClassA(kMainClass, GetModuleHandleA(nullptr));
    AttachBlock(nullptr);
  }
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND window = nullptr;

 private:
  SharedBlock block_;
};

LRESULT Command(HWND window, WORD id) { return SendMessageA(window, WM_COMMAND, id, 0); }
LRESULT HelpRequest(HWND window, WPARAM kind, LPARAM context) {
  return SendMessageA(window, kMsgHelpRequest, kind, context);
}

// One main window for the whole run: its shutdown work runs once per process.
TEST(HelpRequests, HelpCommandAndContextRequestReachTheControlOnlyWhenItIsThere) {
  RecordedHelpCalls calls;
  ASSERT_TRUE(calls.Ready());
  HelpBindingReset reset;
  MainWindow main;
  ASSERT_NE(main.window, nullptr);

  // Control missing: both requests do nothing, answer 0, and the program
  // runs on.
  SetHelpControlPathForTest((ExeDir() + "NoSuchHelpControl.ocx").c_str());
  ASSERT_EQ(InitHelp(), 0);
  EXPECT_EQ(Command(main.window, kCmdHelp), 0);
  EXPECT_EQ(HelpRequest(main.window, kHelpRequestContext, 12), 0);
  EXPECT_EQ(calls.Count(), 0);
  EXPECT_TRUE(IsWindow(main.window));
  CloseHelp();

  // Control present.
  SetHelpControlPathForTest(StandInControlPath().c_str());
  ASSERT_EQ(InitHelp(), 1);
  calls.Clear();

  EXPECT_EQ(Command(main.window, kCmdHelp), 0);
  ASSERT_EQ(calls.Count(), 1);
  EXPECT_EQ(calls.At(0).window, ValueOf(main.window));
  EXPECT_STREQ(calls.At(0).file, kHelpFile);
  EXPECT_EQ(calls.At(0).command, kHhDisplayTopic);
  EXPECT_EQ(calls.At(0).data, 0u);

  EXPECT_EQ(HelpRequest(main.window, kHelpRequestContext, 12), 0);
  ASSERT_EQ(calls.Count(), 2);
  EXPECT_EQ(calls.At(1).window, ValueOf(main.window));
  EXPECT_STREQ(calls.At(1).file, kHelpFile);
  EXPECT_EQ(calls.At(1).command, kHhHelpContext);
  EXPECT_EQ(calls.At(1).data, 12u);

  // Any other kind of request is no help request.
  EXPECT_EQ(HelpRequest(main.window, 7, 12), 0);
  EXPECT_EQ(HelpRequest(main.window, 9, 12), 0);
  EXPECT_EQ(HelpRequest(main.window, 0, 0), 0);
  EXPECT_EQ(calls.Count(), 2);

  // The high word of the command is not looked at.
  EXPECT_EQ(SendMessageA(main.window, WM_COMMAND, MAKEWPARAM(kCmdHelp, 1), 0), 0);
  EXPECT_EQ(calls.Count(), 3);

  CloseHelp();
  EXPECT_EQ(calls.At(calls.Count() - 1).command, kHhUninitialize);
}

}  // namespace
