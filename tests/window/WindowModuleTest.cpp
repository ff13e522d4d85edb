// The settings window in this process, on a stand-in main window whose
// thread the test controls: help requests, a program that does not answer
// in time, a refused change half-way through a copy, and a close while the
// program answers nothing at all. This executable exports OpenSharedMemory
// and CloseSharedMemory as the program does and holds the real block name.
#include <gtest/gtest.h>
#include <windows.h>

#include <process.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "WindowDriver.h"
#include "app/Commands.h"
#include "settings/SettingsModel.h"
#include "settings/window/HelpTopics.h"
#include "settings/window/WindowIds.h"
#include "shared/SharedBlock.h"
#include "targets/TargetStore.h"

namespace {

constexpr char kHostClass[] = "PlenaraWindowTestHost";
// F1 as the system hands it to the control with the focus.
constexpr UINT kMsgKeyF1 = 0x004D;

struct HostLog {
  std::vector<std::pair<WPARAM, LPARAM>> helpRequests;
  bool failNextChildInsert = false;
};
HostLog g_host;

// The program's main window as far as the settings window can tell: the
// real rule-list handlers, and a record of help requests and commands.
LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kMsgGetRecord:
      return GetRecord(wParam, lParam);
    case kMsgGetChildCount:
      return GetChildCount(wParam, lParam);
    case kMsgInsertRecord:
      if (g_host.failNextChildInsert && static_cast<int32_t>(lParam) >= 0) {
        g_host.failNextChildInsert = false;
        FailNextRuleGrowths(1);
      }
      return InsertRecord(wParam, lParam);
    case kMsgDeleteRecord:
      return DeleteRecord(wParam, lParam);
    case kMsgSetRecord:
      return SetRecord(wParam, lParam);
    case kMsgApplySettings:
      return ApplySettings(wParam, lParam);
    case kMsgHelpRequest:
      g_host.helpRequests.emplace_back(wParam, lParam);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// The program's failed-insertion message box, closed as a user would.
void CALLBACK CloseInsertionMessage(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = FindWindowA("#32770", nullptr);
  while (box) {
    DWORD pid = 0;
    if (GetWindowThreadProcessId(box, &pid) == GetCurrentThreadId()) {
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      return;
    }
    box = FindWindowExA(nullptr, box, "#32770", nullptr);
  }
}

unsigned __stdcall RunExport(void* name) {
  HMODULE module = LoadLibraryA((ExeDir() + "PlenaraDLL.dll").c_str());
  if (!module) return 1;
  using Export = void(WINAPI*)();
  if (auto entry = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module, static_cast<char*>(name))))) {
    entry();
  }
  FreeLibrary(module);
  return 0;
}

class WindowModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int32_t existed = 1;
    mapping_ = OpenSharedMemory(kBlockName, &view_, kBlockSize, &existed);
    ASSERT_NE(mapping_, nullptr);
    ASSERT_EQ(existed, 0) << "another Plenara holds the block";
    AttachBlock(block());
    std::strcpy(block()->iniPath, dir_.File("Plenara.ini").c_str());
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kHostClass;
    RegisterClassExA(&wc);
    host_ = CreateWindowExA(0, kHostClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    block()->mainWindow = HandleValue(host_);
    g_host = HostLog{};
    RunExport(const_cast<char*>("ReadSetting"));
  }

  void TearDown() override {
    if (thread_) {
      if (HWND window = HandleOf(block()->propertyWindow)) PostMessageA(window, WM_CLOSE, 0, 0);
      WaitFor([&] { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; }, 20000);
      CloseHandle(thread_);
    }
    if (host_) DestroyWindow(host_);
    UnregisterClassA(kHostClass, GetModuleHandleA(nullptr));
    if (!mapping_) return;
    FreeTargets();
    AttachBlock(nullptr);
    CloseSharedMemory(mapping_, view_);
  }

  SharedBlock* block() const { return static_cast<SharedBlock*>(view_); }

  // The settings window on a worker thread with the program's small stack.
  HWND Open() {
    thread_ = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 4096, RunExport, const_cast<char*>("OpenPropertyWindow"), 0, nullptr));
    HWND window = nullptr;
    WaitFor([&] { return (window = HandleOf(block()->propertyWindow)) != nullptr && IsWindowVisible(window); }, 20000);
    return window;
  }

  void AddTarget(const char* name, int children) {
    TargetRecord record = DefaultRule();
    std::strcpy(RuleName(record), name);
    block()->transferRecord = record;
    ASSERT_EQ(InsertRecord(block()->NumOfTargets, -1), 0);
    const int32_t parent = block()->NumOfTargets - 1;
    for (int k = 0; k < children; ++k) {
      std::strcpy(RuleName(block()->transferRecord), ("child " + std::to_string(k)).c_str());
      ASSERT_EQ(InsertRecord(k, parent), 0);
    }
  }

  bool WaitHelp(LPARAM topic) {
    return WaitFor([&] {
      for (const auto& request : g_host.helpRequests) {
        if (request.first == kHelpRequestContext && request.second == topic) return true;
      }
      return false;
    });
  }

  // Keeps this thread, the program's stand-in, from answering anything.
  static void StayDeaf(DWORD ms) {
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    WaitForSingleObject(never, ms);
    CloseHandle(never);
  }

  ScratchDir dir_{"plenara-window"};
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
  HWND host_ = nullptr;
  HANDLE thread_ = nullptr;
};

TEST_F(WindowModuleTest, HelpAsksTheProgramForThePageOrTheField) {
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  Click(window, IDC_HELP_BUTTON);
  EXPECT_TRUE(WaitHelp(IDH_SETTINGS_WINDOW));
  // F1 reaches a control as WM_KEYF1; the control hands it on as WM_HELP.
  SendMessageA(GetDlgItem(window, IDC_TARGETS), kMsgKeyF1, 0, 0);
  EXPECT_TRUE(WaitHelp(IDH_SETTINGS_RULE_LIST));

  Click(window, IDC_TARGET_ADD);
  HWND editor = WaitOwnedWindow(window, IDC_NAME);
  ASSERT_NE(editor, nullptr);
  SendMessageA(GetDlgItem(editor, IDC_WIDTH), kMsgKeyF1, 0, 0);
  EXPECT_TRUE(WaitHelp(IDH_RULE_SIZE));
  Click(editor, IDC_RULE_HELP);
  EXPECT_TRUE(WaitHelp(IDH_RULE_EDITOR));
  Click(editor, IDCANCEL);
  EXPECT_TRUE(WaitGone(editor));
  EXPECT_EQ(block()->NumOfTargets, 0);
}

TEST_F(WindowModuleTest, AnUnansweredChangeIsToldAndTheListIsReadAgain) {
  AddTarget("one", 0);
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitFor([&] { return ListRowCount(window, IDC_TARGETS) == 1; }));
  Click(window, IDC_TARGET_COPY);
  StayDeaf(3000 + 1500);
  // The window gave up waiting and says so.
  HWND message = WaitOwnedWindow(window, IDOK);
  ASSERT_NE(message, nullptr);
  EXPECT_NE(FieldText(message, 0xFFFF).find(Ansi(L"応答しない")), std::string::npos);
  Click(message, IDOK);
  ASSERT_TRUE(WaitGone(message));
  // Whether the late copy was made or dropped is the system's affair; the
  // original is there, and once the program answers again the window shows
  // what it holds.
  ASSERT_GE(block()->NumOfTargets, 1);
  EXPECT_STREQ(RuleName(TargetsOf(block())[0].record), "one");
  EXPECT_TRUE(WaitFor([&] { return ListRowCount(window, IDC_TARGETS) == block()->NumOfTargets; }));
  EXPECT_TRUE(WaitFor([&] { return FieldText(window, IDC_STATUS) == Ansi(L"Plenara から一覧を読み直しました。直前の変更が反映されているか確かめてください。"); }));
}

TEST_F(WindowModuleTest, ARefusedStepHalfWayThroughACopyLeavesTheListAsItWas) {
  AddTarget("parent", 2);
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitFor([&] { return ListRowCount(window, IDC_TARGETS) == 1; }));
  g_host.failNextChildInsert = true;
  const UINT_PTR closer = SetTimer(nullptr, 0, 100, CloseInsertionMessage);
  Click(window, IDC_TARGET_COPY);
  HWND message = WaitOwnedWindow(window, IDOK);
  KillTimer(nullptr, closer);
  ASSERT_NE(message, nullptr);
  Click(message, IDOK);
  ASSERT_TRUE(WaitGone(message));
  // The copy's first child was refused: the half-made copy went again.
  ASSERT_EQ(block()->NumOfTargets, 1);
  EXPECT_STREQ(RuleName(TargetsOf(block())[0].record), "parent");
  EXPECT_EQ(TargetsOf(block())[0].NumOfChildren, 2);
  EXPECT_EQ(ListRowCount(window, IDC_TARGETS), 1);
}

TEST_F(WindowModuleTest, WindowClosesWhileTheProgramAnswersNothing) {
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  Click(window, IDC_TARGET_ADD);
  HWND editor = WaitOwnedWindow(window, IDC_NAME);
  ASSERT_NE(editor, nullptr);
  Choose(editor, IDC_SIZE_ACTION, kSizeSet);
  Choose(editor, IDC_WIDTH_MODE, kSizeAbsolute);
  Type(editor, IDC_WIDTH, L"x");
  Click(editor, IDOK);
  ASSERT_NE(WaitOwnedWindow(editor, IDOK), nullptr);
  // As at the program's shutdown: WM_CLOSE, then a wait that handles nothing.
  const DWORD start = GetTickCount();
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(thread_, 10000), WAIT_OBJECT_0);
  EXPECT_LT(GetTickCount() - start, 5000u);
  EXPECT_EQ(block()->propertyWindow, 0u);
  EXPECT_EQ(GetModuleHandleA("PlenaraDLL.dll"), nullptr);
}

}  // namespace
