// The binding to the HTML Help control and the main window's help
// requests, against a stand-in control that records every call.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "HelpCallLog.h"
#include "TestSupport.h"
#include "app/Commands.h"
#include "app/MainWindow.h"
#include "companion/Help.h"
#include "shared/SharedBlock.h"

namespace {

constexpr char kHelpFile[] = "C:\\Plenara\\Plenara.chm";
constexpr uint32_t kCookie = 0x5EED0042;

std::string StandInControlPath() { return ExeDir() + "HelpControlStandIn.dll"; }
uint32_t ValueOf(HWND window) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)); }

// One call to the control as "window file command data".
std::string Call(uint32_t window, const char* file, uint32_t command, uint32_t data) {
  return std::to_string(window) + " " + (file ? file : "(null)") + " " + std::to_string(command) + " " +
         std::to_string(data);
}

std::vector<std::string> Recorded(const HelpCallLog* log) {
  std::vector<std::string> calls;
  for (int32_t i = 0; i < log->count; ++i) {
    const HelpCall& c = log->calls[i];
    calls.push_back(Call(c.window, c.fileIsNull ? nullptr : c.file, c.command, c.data));
  }
  return calls;
}

// Every case records the stand-in's calls in a log it finds by name, and
// leaves the binding unloaded and aimed at the system's control.
class HelpBinding : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[64];
    HelpCallLogName(name, sizeof name);
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(HelpCallLog), name);
    calls = static_cast<HelpCallLog*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(HelpCallLog)));
    ASSERT_NE(calls, nullptr);
    ZeroMemory(calls, sizeof *calls);
    calls->cookie = kCookie;
  }
  void TearDown() override {
    CloseHelp();
    SetHelpControlPathForTest(nullptr);
    if (calls) UnmapViewOfFile(calls);
    if (mapping_) CloseHandle(mapping_);
  }
  HelpCallLog* calls = nullptr;
  HANDLE mapping_ = nullptr;
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
  calls->reply = ValueOf(notAWindow);
  HWND owner = GetDesktopWindow();
  EXPECT_EQ(CallHelp(owner, kHelpFile, kHhHelpContext, 12), notAWindow);
  EXPECT_EQ(CallHelp(nullptr, nullptr, 0xFFFFFFFFu, 0xFFFFFFFFu), notAWindow);
  CloseHelp();
  EXPECT_EQ(GetModuleHandleA(StandInControlPath().c_str()), nullptr);

  ASSERT_GE(calls->count, 1);
  const uint32_t cookieAt = calls->calls[0].data;  // where the control writes the cookie
  EXPECT_NE(cookieAt, 0u);
  EXPECT_EQ(Recorded(calls), (std::vector<std::string>{Call(0, nullptr, kHhInitialize, cookieAt),
                                                       Call(ValueOf(owner), kHelpFile, kHhHelpContext, 12),
                                                       Call(0, nullptr, 0xFFFFFFFFu, 0xFFFFFFFFu),
                                                       Call(0, nullptr, kHhCloseAll, 0),
                                                       Call(0, nullptr, kHhUninitialize, kCookie)}));

  // Unloaded now: requests and a second close reach nothing.
  EXPECT_EQ(CallHelp(nullptr, kHelpFile, kHhDisplayTopic, 0), nullptr);
  CloseHelp();
  EXPECT_EQ(calls->count, 5);
}

TEST_F(HelpBinding, MissingControlOrEntryMakesEveryRequestANoOp) {
  for (const std::string& path : {ExeDir() + "NoSuchHelpControl.ocx", ExeDir() + "HelpControlNoEntry.dll"}) {
    SCOPED_TRACE(path);
    SetHelpControlPathForTest(path.c_str());
    EXPECT_EQ(InitHelp(), 0);
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);  // a control without its entry is unloaded at once
    EXPECT_EQ(CallHelp(GetDesktopWindow(), kHelpFile, kHhDisplayTopic, 0), nullptr);
    EXPECT_EQ(CallHelp(GetDesktopWindow(), kHelpFile, kHhHelpContext, 12), nullptr);
    CloseHelp();
  }
  EXPECT_EQ(calls->count, 0);
  // The binding stays usable: a later start with the control present works.
  SetHelpControlPathForTest(StandInControlPath().c_str());
  EXPECT_EQ(InitHelp(), 1);
  EXPECT_EQ(calls->count, 1);
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
  calls->reply = ValueOf(help);

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
  EXPECT_EQ(calls->count, 0);  // neither plant ever ran: it would have logged HH_INITIALIZE

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

// A main window on a block of the test's own; its creation runs the real
// start-up work (the tray icon, and a companion that is not there). One for
// the whole run: its shutdown work runs once per process.
TEST_F(HelpBinding, MainWindowsHelpCommandAndContextRequestReachTheControlOnlyWhenItIsThere) {
  SharedBlock block;
  std::memset(&block, 0, sizeof block);
  std::strcpy(block.helpPath, kHelpFile);
  std::strcpy(block.companionPath, (ExeDir() + "NoSuchCompanionDLL.dll").c_str());
  AttachBlock(&block);
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "PlenaraHelpTestMain";
  RegisterClassExA(&wc);
  HWND main = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  AtExit cleanup{[&] {
    DestroyWindow(main);
    MSG msg;  // the shutdown work posts the loop's end; this thread has no loop
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    UnregisterClassA(wc.lpszClassName, wc.hInstance);
    AttachBlock(nullptr);
  }};
  ASSERT_NE(main, nullptr);
  auto help = [&](WPARAM kind, LPARAM context) { return SendMessageA(main, kMsgHelpRequest, kind, context); };

  // Control missing: both requests do nothing, answer 0, and the program runs on.
  SetHelpControlPathForTest((ExeDir() + "NoSuchHelpControl.ocx").c_str());
  ASSERT_EQ(InitHelp(), 0);
  EXPECT_EQ(SendMessageA(main, WM_COMMAND, kCmdHelp, 0), 0);
  EXPECT_EQ(help(kHelpRequestContext, 12), 0);
  EXPECT_EQ(calls->count, 0);
  EXPECT_TRUE(IsWindow(main));
  CloseHelp();

  SetHelpControlPathForTest(StandInControlPath().c_str());
  ASSERT_EQ(InitHelp(), 1);
  calls->count = 0;
  // The high word of the command is not looked at.
  EXPECT_EQ(SendMessageA(main, WM_COMMAND, MAKEWPARAM(kCmdHelp, 1), 0), 0);
  EXPECT_EQ(help(kHelpRequestContext, 12), 0);
  // Any other kind of request is no help request.
  for (WPARAM kind : {0, 7, 9}) EXPECT_EQ(help(kind, 12), 0);
  EXPECT_EQ(Recorded(calls), (std::vector<std::string>{Call(ValueOf(main), kHelpFile, kHhDisplayTopic, 0),
                                                       Call(ValueOf(main), kHelpFile, kHhHelpContext, 12)}));
}

}  // namespace
