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
    std::strcpy(block_.companionPath, (ExeDir() + "NoSuchCompanionDLL.dll").c_str());
    AttachBlock(&block_);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kMainClass;
    RegisterClassExA(&wc);
    window = CreateWindowExA(0, kMainClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
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

  HWND window = nullptr;

 private:
  SharedBlock block_;
};

// One main window for the whole run: its shutdown work runs once per process.
TEST(HelpRequests, HelpCommandAndContextRequestReachTheControlOnlyWhenItIsThere) {
  RecordedHelpCalls calls;
  ASSERT_TRUE(calls.Ready());
  HelpBindingReset reset;
  MainWindow main;
  ASSERT_NE(main.window, nullptr);
  auto help = [&](WPARAM kind, LPARAM context) { return SendMessageA(main.window, kMsgHelpRequest, kind, context); };

  // Control missing: both requests do nothing, answer 0, and the program runs on.
  SetHelpControlPathForTest((ExeDir() + "NoSuchHelpControl.ocx").c_str());
  ASSERT_EQ(InitHelp(), 0);
  EXPECT_EQ(SendMessageA(main.window, WM_COMMAND, kCmdHelp, 0), 0);
  EXPECT_EQ(help(kHelpRequestContext, 12), 0);
  EXPECT_EQ(calls.Count(), 0);
  EXPECT_TRUE(IsWindow(main.window));
  CloseHelp();

  SetHelpControlPathForTest(StandInControlPath().c_str());
  ASSERT_EQ(InitHelp(), 1);
  calls.Clear();
  // The high word of the command is not looked at.
  EXPECT_EQ(SendMessageA(main.window, WM_COMMAND, MAKEWPARAM(kCmdHelp, 1), 0), 0);
  EXPECT_EQ(help(kHelpRequestContext, 12), 0);
  // Any other kind of request is no help request.
  for (WPARAM kind : {0, 7, 9}) EXPECT_EQ(help(kind, 12), 0);
  ASSERT_EQ(calls.Count(), 2);
  const UINT commands[] = {kHhDisplayTopic, kHhHelpContext};
  const uint32_t data[] = {0, 12};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(calls.At(i).window, ValueOf(main.window));
    EXPECT_STREQ(calls.At(i).file, kHelpFile);
    EXPECT_EQ(calls.At(i).command, commands[i]);
    EXPECT_EQ(calls.At(i).data, data[i]);
  }
}

}  // namespace
