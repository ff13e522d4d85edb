// The binding to the HTML Help control, against a stand-in that records
// every call.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "HelpTestSupport.h"
#include "companion/Help.h"

namespace {

constexpr char kHelpFile[] = "C:\\Plenara\\Plenara.chm";
constexpr uint32_t kCookie = 0x5EED0042;

// Every case leaves the binding unloaded and aimed at the system's control.
class HelpBinding : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(calls.Ready());
    calls.HandOutCookie(kCookie);
  }
  RecordedHelpCalls calls;
  HelpBindingReset reset;
};

struct AtExit {
  std::function<void()> work;
  ~AtExit() { work(); }
};

TEST_F(HelpBinding, InitializesWithACookiePassesRequestsUnchangedAndClosesEverything) {
  SetHelpControlPathForTest(StandInControlPath().c_str());
  ASSERT_EQ(InitHelp(), 1);
  EXPECT_NE(GetModuleHandleA(StandInControlPath().c_str()), nullptr);
  // A reply that is no window is handed back as it is, and brought nowhere.
  HWND notAWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));
  calls.ReplyWith(notAWindow);
  HWND owner = GetDesktopWindow();
  EXPECT_EQ(CallHelp(owner, kHelpFile, kHhHelpContext, 12), notAWindow);
  EXPECT_EQ(CallHelp(nullptr, nullptr, 0xFFFFFFFFu, 0xFFFFFFFFu), notAWindow);
  CloseHelp();
  EXPECT_EQ(GetModuleHandleA(StandInControlPath().c_str()), nullptr);

  const struct {
    HWND window;
    const char* file;
    UINT command;
    uint32_t data;
  } expected[] = {{nullptr, nullptr, kHhInitialize, 0},  // data: where the control writes the cookie
                  {owner, kHelpFile, kHhHelpContext, 12},
                  {nullptr, nullptr, 0xFFFFFFFFu, 0xFFFFFFFFu},
                  {nullptr, nullptr, kHhCloseAll, 0},
                  {nullptr, nullptr, kHhUninitialize, kCookie}};
  ASSERT_EQ(calls.Count(), 5);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    const HelpCall& call = calls.At(i);
    EXPECT_EQ(call.window, ValueOf(expected[i].window));
    EXPECT_EQ(call.fileIsNull != 0, expected[i].file == nullptr);
    if (expected[i].file) {
      EXPECT_STREQ(call.file, expected[i].file);
    }
    EXPECT_EQ(call.command, expected[i].command);
    if (i == 0) {
      EXPECT_NE(call.data, 0u);
    } else {
      EXPECT_EQ(call.data, expected[i].data);
    }
  }

  // Unloaded now: requests and a second close reach nothing.
  EXPECT_EQ(CallHelp(nullptr, kHelpFile, kHhDisplayTopic, 0), nullptr);
  CloseHelp();
  EXPECT_EQ(calls.Count(), 5);
}

TEST_F(HelpBinding, MissingControlOrEntryMakesEveryRequestANoOp) {
  for (const std::string& path : {ExeDir() + "NoSuchHelpControl.ocx", NoEntryControlPath()}) {
    SCOPED_TRACE(path);
    SetHelpControlPathForTest(path.c_str());
    EXPECT_EQ(InitHelp(), 0);
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);  // a control without its entry is unloaded at once
    EXPECT_EQ(CallHelp(GetDesktopWindow(), kHelpFile, kHhDisplayTopic, 0), nullptr);
    EXPECT_EQ(CallHelp(GetDesktopWindow(), kHelpFile, kHhHelpContext, 12), nullptr);
    CloseHelp();
  }
  EXPECT_EQ(calls.Count(), 0);
  // The binding stays usable: a later start with the control present works.
  SetHelpControlPathForTest(StandInControlPath().c_str());
  EXPECT_EQ(InitHelp(), 1);
  EXPECT_EQ(calls.Count(), 1);
}

HWND TestWindow(const char* title, int show) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "PlenaraHelpTestWindow";
  RegisterClassExA(&wc);
  HWND window = CreateWindowExA(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW, 100, 100, 300, 200, nullptr, nullptr,
                                wc.hInstance, nullptr);
  if (window) ShowWindow(window, show);
  return window;
}

bool MakeForeground(HWND window) {
  SetForegroundWindow(window);
  return WaitFor([&] { return GetForegroundWindow() == window; }, 5000);
}

TEST_F(HelpBinding, OnlyDisplayCommandsBringTheHelpWindowToTheFront) {
  HWND other = TestWindow("PlenaraHelpTestOther", SW_SHOW);
  HWND help = TestWindow("PlenaraHelpTestHelp", SW_SHOWNOACTIVATE);
  AtExit cleanup{[&] {
    DestroyWindow(help);
    DestroyWindow(other);
    UnregisterClassA("PlenaraHelpTestWindow", GetModuleHandleA(nullptr));
  }};
  ASSERT_NE(other, nullptr);
  ASSERT_NE(help, nullptr);
  SetHelpControlPathForTest(StandInControlPath().c_str());
  ASSERT_EQ(InitHelp(), 1);
  calls.ReplyWith(help);

  // HH_DISPLAY_TOPIC, HH_DISPLAY_TOC, HH_DISPLAY_INDEX, HH_DISPLAY_SEARCH.
  for (UINT command = 0; command < 4; ++command) {
    SCOPED_TRACE(command);
    ASSERT_TRUE(MakeForeground(other));
    EXPECT_EQ(CallHelp(other, kHelpFile, command, 0), help);
    EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == help; }, 5000));
  }
  // Context help, a text popup and a command that is negative as a signed
  // number leave the foreground where it was: the call returns only after
  // the binding would have moved it.
  for (UINT command : {kHhHelpContext, 0x0Eu, 0x04u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(command);
    ASSERT_TRUE(MakeForeground(other));
    EXPECT_EQ(CallHelp(other, kHelpFile, command, 12), help);
    EXPECT_EQ(GetForegroundWindow(), other);
  }
}

TEST_F(HelpBinding, LoadsTheSystemsControlNeverOnePlantedBesideTheProgramOrInTheCurrentFolder) {
  ScratchDir scratch("plenara-help");
  const std::string beside = ExeDir() + "HHCTRL.OCX";
  const std::string inCurrent = scratch.File("HHCTRL.OCX");
  char saved[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, saved);
  AtExit cleanup{[&] {
    SetCurrentDirectoryA(saved);
    DeleteFileA(beside.c_str());
  }};
  ASSERT_TRUE(CopyFileTo(StandInControlPath(), beside));
  ASSERT_TRUE(CopyFileTo(StandInControlPath(), inCurrent));
  ASSERT_TRUE(SetCurrentDirectoryA(scratch.Path().c_str()));

  EXPECT_EQ(InitHelp(), 1);
  EXPECT_EQ(GetModuleHandleA(beside.c_str()), nullptr);
  EXPECT_EQ(GetModuleHandleA(inCurrent.c_str()), nullptr);
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  EXPECT_NE(GetModuleHandleA((std::string(system) + "\\HHCTRL.OCX").c_str()), nullptr);
  CloseHelp();
  EXPECT_EQ(calls.Count(), 0);  // neither plant ever ran: it would have logged HH_INITIALIZE

  // The plants are real bait: a load by the bare name resolves to the one
  // beside the program. (Wine then maps its own control under that path
  // instead of running the file, so the path is what tells.)
  HMODULE bare = LoadLibraryA("HHCTRL.OCX");
  ASSERT_NE(bare, nullptr);
  char loaded[MAX_PATH] = {};
  GetModuleFileNameA(bare, loaded, MAX_PATH);
  FreeLibrary(bare);
  EXPECT_EQ(lstrcmpiA(loaded, beside.c_str()), 0) << loaded;
}

}  // namespace
