#include <gtest/gtest.h>

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

void ExpectCall(const HelpCall& call, HWND window, const char* file, UINT command, uint32_t data) {
  EXPECT_EQ(call.window, ValueOf(window));
  if (file) {
    EXPECT_FALSE(call.fileIsNull);
    EXPECT_STREQ(call.file, file);
  } else {
    EXPECT_TRUE(call.fileIsNull);
  }
  EXPECT_EQ(call.command, command);
  EXPECT_EQ(call.data, data);
}

TEST_F(HelpBinding, InitializesWithACookieAndClosesEverythingWithIt) {
  SetHelpControlPathForTest(StandInControlPath().c_str());
  ASSERT_EQ(InitHelp(), 1);
  EXPECT_NE(GetModuleHandleA(StandInControlPath().c_str()), nullptr);
  ASSERT_EQ(calls.Count(), 1);
  EXPECT_EQ(calls.At(0).window, 0u);
  EXPECT_TRUE(calls.At(0).fileIsNull);
  EXPECT_EQ(calls.At(0).command, kHhInitialize);
  EXPECT_NE(calls.At(0).data, 0u);  // where the control writes the cookie

  CloseHelp();
  ASSERT_EQ(calls.Count(), 3);
  ExpectCall(calls.At(1), nullptr, nullptr, kHhCloseAll, 0);
  ExpectCall(calls.At(2), nullptr, nullptr, kHhUninitialize, kCookie);
  EXPECT_EQ(GetModuleHandleA(StandInControlPath().c_str()), nullptr);

  // Unloaded now: requests and a second close reach nothing.
  EXPECT_EQ(CallHelp(nullptr, kHelpFile, kHhDisplayTopic, 0), nullptr);
  CloseHelp();
  EXPECT_EQ(calls.Count(), 3);
}

TEST_F(HelpBinding, RequestsReachTheControlUnchanged) {
  SetHelpControlPathForTest(StandInControlPath().c_str());
  ASSERT_EQ(InitHelp(), 1);
  calls.Clear();
  // A reply that is no window is handed back as it is, and brought nowhere.
  HWND notAWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));
  calls.ReplyWith(notAWindow);

  HWND owner = GetDesktopWindow();
  EXPECT_EQ(CallHelp(owner, kHelpFile, kHhHelpContext, 12), notAWindow);
  EXPECT_EQ(CallHelp(owner, kHelpFile, kHhDisplayTopic, 0), notAWindow);
  EXPECT_EQ(CallHelp(nullptr, nullptr, 0xFFFFFFFFu, 0xFFFFFFFFu), notAWindow);
  ASSERT_EQ(calls.Count(), 3);
  ExpectCall(calls.At(0), owner, kHelpFile, kHhHelpContext, 12);
  ExpectCall(calls.At(1), owner, kHelpFile, kHhDisplayTopic, 0);
  ExpectCall(calls.At(2), nullptr, nullptr, 0xFFFFFFFFu, 0xFFFFFFFFu);
}

TEST_F(HelpBinding, MissingControlOrEntryMakesEveryRequestANoOp) {
  const std::string missing = ExeDir() + "NoSuchHelpControl.ocx";
  for (const std::string& path : {missing, NoEntryControlPath()}) {
    SCOPED_TRACE(path);
    SetHelpControlPathForTest(path.c_str());
    EXPECT_EQ(InitHelp(), 0);
    // A control without its entry is unloaded again at once.
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);
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

// Two plain top-level windows of the tests' own class.
class TwoWindows {
 public:
  TwoWindows() {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClass;
    RegisterClassExA(&wc);
    other = Create("PlenaraHelpTestOther", SW_SHOW);
    help = Create("PlenaraHelpTestHelp", SW_SHOWNOACTIVATE);
  }
  ~TwoWindows() {
    if (help) DestroyWindow(help);
    if (other) DestroyWindow(other);
    UnregisterClassA(kClass, GetModuleHandleA(nullptr));
  }
  TwoWindows(const TwoWindows&) = delete;
  TwoWindows& operator=(const TwoWindows&) = delete;

  HWND other = nullptr;
  HWND help = nullptr;

 private:
  static constexpr char kClass[] = "PlenaraHelpTestWindow";
  static HWND Create(const char* title, int show) {
    HWND window = CreateWindowExA(0, kClass, title, WS_OVERLAPPEDWINDOW, 100, 100, 300, 200, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (window) ShowWindow(window, show);
    return window;
  }
};

bool MakeForeground(HWND window) {
  SetForegroundWindow(window);
  return WaitFor([&] { return GetForegroundWindow() == window; }, 5000);
}

TEST_F(HelpBinding, OnlyDisplayCommandsBringTheHelpWindowToTheFront) {
  TwoWindows windows;
  ASSERT_NE(windows.other, nullptr);
  ASSERT_NE(windows.help, nullptr);
  SetHelpControlPathForTest(StandInControlPath().c_str());
  ASSERT_EQ(InitHelp(), 1);
  calls.ReplyWith(windows.help);

  // HH_DISPLAY_TOPIC, HH_DISPLAY_TOC, HH_DISPLAY_INDEX, HH_DISPLAY_SEARCH.
  for (UINT command = 0; command < 4; ++command) {
    SCOPED_TRACE(command);
    ASSERT_TRUE(MakeForeground(windows.other));
    EXPECT_EQ(CallHelp(windows.other, kHelpFile, command, 0), windows.help);
    EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == windows.help; }, 5000));
  }

  // Context help, a text popup and a command that is negative as a signed
  // number leave the foreground where it was: the call returns only after
  // the binding would have moved it.
  for (UINT command : {kHhHelpContext, 0x0Eu, 0x04u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(command);
    ASSERT_TRUE(MakeForeground(windows.other));
    EXPECT_EQ(CallHelp(windows.other, kHelpFile, command, 12), windows.help);
    EXPECT_EQ(GetForegroundWindow(), windows.other);
  }
}

// A file planted where a bare library name would be looked for first.
class PlantedFile {
 public:
  PlantedFile(const std::string& from, const std::string& path) : path_(path) {
    planted_ = CopyFileTo(from, path);
  }
  ~PlantedFile() {
    SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path_.c_str());
  }
  PlantedFile(const PlantedFile&) = delete;
  PlantedFile& operator=(const PlantedFile&) = delete;
  bool Planted() const { return planted_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  bool planted_ = false;
};

class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& path) {
    GetCurrentDirectoryA(MAX_PATH, saved_);
    SetCurrentDirectoryA(path.c_str());
  }
  ~CurrentDirectory() { SetCurrentDirectoryA(saved_); }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

 private:
  char saved_[MAX_PATH] = {};
};

std::string SystemControlPath() {
  char dir[MAX_PATH] = {};
  GetSystemDirectoryA(dir, MAX_PATH);
  return std::string(dir) + "\\HHCTRL.OCX";
}

TEST_F(HelpBinding, LoadsTheSystemsControlNeverOnePlantedBesideTheProgramOrInTheCurrentFolder) {
  ScratchDir scratch("plenara-help");
  PlantedFile besideProgram(StandInControlPath(), ExeDir() + "HHCTRL.OCX");
  PlantedFile inCurrentFolder(StandInControlPath(), scratch.File("HHCTRL.OCX"));
  ASSERT_TRUE(besideProgram.Planted());
  ASSERT_TRUE(inCurrentFolder.Planted());
  CurrentDirectory current(scratch.Path());

  EXPECT_EQ(InitHelp(), 1);
  EXPECT_EQ(GetModuleHandleA(besideProgram.Path().c_str()), nullptr);
  EXPECT_EQ(GetModuleHandleA(inCurrentFolder.Path().c_str()), nullptr);
  EXPECT_NE(GetModuleHandleA(SystemControlPath().c_str()), nullptr);
  CloseHelp();
  // Neither plant ever ran: it would have logged HH_INITIALIZE at least.
  EXPECT_EQ(calls.Count(), 0);

  // The plants are real bait: a load by the bare name resolves to the one
  // beside the program. (Wine then maps its own control under that path
  // instead of running the file, so the path is what tells.)
  HMODULE bare = LoadLibraryA("HHCTRL.OCX");
  ASSERT_NE(bare, nullptr);
  char loaded[MAX_PATH] = {};
  GetModuleFileNameA(bare, loaded, MAX_PATH);
  FreeLibrary(bare);
  EXPECT_EQ(lstrcmpiA(loaded, besideProgram.Path().c_str()), 0) << loaded;
}

}  // namespace
