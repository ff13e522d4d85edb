// The settings window and the about box never hold the program up: the
// program exits promptly and saves whatever is open inside them, and
// opening and closing them leaves nothing behind in the program.
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <string>

#include "PlenaraInstance.h"
#include "WindowDriver.h"
#include "app/Commands.h"
#include "settings/window/WindowIds.h"

namespace {

class ExitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartReal(plenara_));
    window_ = OpenWindow(plenara_, kCmdSettings);
    ASSERT_NE(window_, nullptr);
  }

  // The file is written again at exit: it is there afterwards although it
  // was removed just before.
  void ExpectPromptExitThatSaves() {
    const std::string ini = plenara_.Dir().File("Plenara.ini");
    DeleteFileA(ini.c_str());
    const DWORD start = GetTickCount();
    EXPECT_EQ(plenara_.Close(30000), 0u);
    EXPECT_LT(GetTickCount() - start, 8000u);
    EXPECT_NE(GetFileAttributesA(ini.c_str()), INVALID_FILE_ATTRIBUTES) << "not saved at exit";
  }

  PlenaraInstance plenara_{Companion::kReal};
  HWND window_ = nullptr;
};

TEST_F(ExitTest, WithTheSettingsWindowOpen) { ExpectPromptExitThatSaves(); }

TEST_F(ExitTest, WithTheRuleEditorOpen) {
  HWND editor = OpenEditor(window_);
  ASSERT_NE(editor, nullptr);
  // A drop-down list open in the editor as well.
  SendMessageA(GetDlgItem(editor, IDC_SIZE_ACTION), CB_SHOWDROPDOWN, TRUE, 0);
  ExpectPromptExitThatSaves();
}

TEST_F(ExitTest, WithAMessageBoxOfTheWindowOpen) {
  HWND editor = OpenEditor(window_);
  ASSERT_NE(editor, nullptr);
  Click(editor, IDOK);
  ASSERT_TRUE(WaitGone(editor));
  ASSERT_TRUE(WaitFor([&] { return ListRowCount(window_, IDC_TARGETS) == 1; }));
  Click(window_, IDC_TARGET_DELETE);
  ASSERT_NE(WaitOwnedWindow(window_, IDYES), nullptr);
  ExpectPromptExitThatSaves();
}

// The about box shows the version, the user and the files, closes on OK and
// comes again; a request while it is open opens no second one.
TEST_F(ExitTest, WithTheAboutBoxOpen) {
  HWND about = OpenWindow(plenara_, kCmdAbout);
  ASSERT_NE(about, nullptr);
  WaitFor([&] { return GetForegroundWindow() == about; });  // on top, for the picture
  EXPECT_EQ(FieldText(about, IDC_PRODUCT), "Plenara");
  EXPECT_EQ(FieldText(about, IDC_VERSION), Ansi(L"バージョン 1.0.0"));
  EXPECT_EQ(FieldText(about, IDC_USER), Ansi(L"使用者: ") + BlockView()->userName);
  EXPECT_EQ(FieldText(about, IDC_INI_PATH), plenara_.Dir().File("Plenara.ini"));
  EXPECT_EQ(FieldText(about, IDC_HELP_PATH), plenara_.Dir().File("Plenara.chm"));
  EXPECT_TRUE(SaveWindowPicture(about, "about-box.png"));
  PostMessageA(plenara_.MainWindow(), WM_COMMAND, kCmdAbout, 0);
  Click(about, IDOK);
  ASSERT_TRUE(WaitGone(about));
  ASSERT_TRUE(WaitFor([] { return BlockView()->aboutWindow == 0; }));
  ASSERT_NE(OpenWindow(plenara_, kCmdAbout), nullptr);
  ExpectPromptExitThatSaves();
}

// A move with the keyboard (the system menu's "Move") ends only on a key.
TEST_F(ExitTest, WhileBothWindowsAreMovedWithTheKeyboard) {
  HWND about = OpenWindow(plenara_, kCmdAbout);
  ASSERT_NE(about, nullptr);
  for (HWND window : {window_, about}) {
    PostMessageA(window, WM_SYSCOMMAND, SC_MOVE, 0);
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    ASSERT_TRUE(WaitFor([&] { return GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMOVESIZE); }));
  }
  ExpectPromptExitThatSaves();
}

// --- what stays behind ---

struct Census {
  int threads = 0;
  int windows = 0;
  DWORD handles = 0;
  bool moduleLoaded = false;
};

Census TakeCensus(const ChildProcess& process, bool withHandles = false) {
  Census census;
  HANDLE threads = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 thread = {};
  thread.dwSize = sizeof thread;
  for (BOOL more = Thread32First(threads, &thread); more; more = Thread32Next(threads, &thread)) {
    if (thread.th32OwnerProcessID == process.Pid()) ++census.threads;
  }
  CloseHandle(threads);
  HANDLE modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process.Pid());
  MODULEENTRY32 module = {};
  module.dwSize = sizeof module;
  for (BOOL more = Module32First(modules, &module); more; more = Module32Next(modules, &module)) {
    census.moduleLoaded |= lstrcmpiA(module.szModule, "PlenaraDLL.dll") == 0;
  }
  CloseHandle(modules);
  for (HWND window = FindWindowExA(nullptr, nullptr, nullptr, nullptr); window;
       window = FindWindowExA(nullptr, window, nullptr, nullptr)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    census.windows += pid == process.Pid();
  }
  // The open handles, found by trying to duplicate each possible handle
  // value: the system's own count is not available here.
  for (uintptr_t value = 4; withHandles && value < 4 * 8192; value += 4) {
    HANDLE copy = nullptr;
    if (DuplicateHandle(process.Handle(), reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS)) {
      ++census.handles;
      CloseHandle(copy);
    }
  }
  return census;
}

TEST(Lifecycle, FiftyOpeningsLeaveNoThreadHandleWindowOrModule) {
  PlenaraInstance plenara(Companion::kReal);
  ASSERT_TRUE(StartReal(plenara));
  // The first opening comes by itself (no settings file yet); close it,
  // and let one opening settle what the system keeps once per process.
  for (int warm = 0; warm < 2; ++warm) {
    HWND window = OpenWindow(plenara, kCmdSettings);
    ASSERT_NE(window, nullptr);
    PostMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return BlockView()->propertyWindow == 0 && !TakeCensus(plenara.Process()).moduleLoaded; }));
  }
  const Census before = TakeCensus(plenara.Process(), true);
  for (int i = 0; i < 50; ++i) {
    HWND window = OpenWindow(plenara, kCmdSettings);
    ASSERT_NE(window, nullptr) << "opening " << i;
    PostMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitGone(window)) << "opening " << i;
    // The program opens the next window only once this one's thread has ended.
    ASSERT_TRUE(WaitFor([&] {
      const Census now = TakeCensus(plenara.Process());
      return !now.moduleLoaded && now.threads <= before.threads;
    })) << "opening " << i;
  }
  const Census after = TakeCensus(plenara.Process(), true);
  std::printf("before: %d threads, %lu handles, %d windows; after: %d threads, %lu handles, %d windows\n",
              before.threads, before.handles, before.windows, after.threads, after.handles, after.windows);
  EXPECT_GT(before.handles, 0u);
  EXPECT_EQ(after.threads, before.threads);
  EXPECT_LE(after.handles, before.handles);
  EXPECT_EQ(after.windows, before.windows);
  EXPECT_FALSE(after.moduleLoaded);
}

}  // namespace
