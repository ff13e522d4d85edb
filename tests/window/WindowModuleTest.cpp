// Context help from the settings window in this process, on a stand-in main
// window that records what it is asked. This executable exports
// OpenSharedMemory and CloseSharedMemory as the program does and holds the
// real block name.
#include <gtest/gtest.h>
#include <windows.h>

#include <process.h>

#include <atomic>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "MainWindowHost.h"
#include "TestSupport.h"
#include "WindowDriver.h"
#include "app/Commands.h"
#include "help/HelpIds.h"
#include "settings/window/WindowIds.h"
#include "shared/SharedBlock.h"

namespace {

constexpr UINT kMsgKeyF1 = 0x004D;  // F1 as the system hands it to the control with the focus

std::vector<std::pair<WPARAM, LPARAM>> g_helpRequests;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kMsgHelpRequest) g_helpRequests.emplace_back(wParam, lParam);
  return message == kMsgHelpRequest ? 0 : DefWindowProcA(window, message, wParam, lParam);
}

unsigned __stdcall RunPropertyWindow(void*) {
  HMODULE module = LoadLibraryA((ExeDir() + "PlenaraDLL.dll").c_str());
  using Export = void(WINAPI*)();
  if (auto entry = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module, "OpenPropertyWindow")))) {
    entry();
  }
  FreeLibrary(module);
  return 0;
}

bool WaitHelp(LPARAM topic) {
  return WaitFor([&] { return !g_helpRequests.empty() && g_helpRequests.back() == std::make_pair(WPARAM{8}, topic); });
}

TEST(WindowModule, HelpAsksTheProgramForThePageOrTheField) {
  void* view = nullptr;
  int32_t existed = 1;
  HANDLE mapping = OpenSharedMemory(kBlockName, &view, kBlockSize, &existed);
  ASSERT_NE(mapping, nullptr);
  ASSERT_EQ(existed, 0) << "another Plenara holds the block";
  auto* block = static_cast<SharedBlock*>(view);
  HWND host = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  SetWindowLongPtrA(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HostProc));
  block->mainWindow = HandleValue(host);
  // On a worker thread with the program's small stack, as the program runs it.
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 4096, RunPropertyWindow, nullptr, 0, nullptr));
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (window = HandleOf(block->propertyWindow)) != nullptr && IsWindowVisible(window); }));

  Click(window, IDC_HELP_BUTTON);
  EXPECT_TRUE(WaitHelp(IDH_SETTINGS_WINDOW));
  // F1 reaches a control as WM_KEYF1; the control hands it on as WM_HELP.
  SendMessageA(GetDlgItem(window, IDC_TARGETS), kMsgKeyF1, 0, 0);
  EXPECT_TRUE(WaitHelp(IDH_SETTINGS_RULE_LIST));
  HWND editor = OpenEditor(window);
  ASSERT_NE(editor, nullptr);
  SendMessageA(GetDlgItem(editor, IDC_WIDTH), kMsgKeyF1, 0, 0);
  EXPECT_TRUE(WaitHelp(IDH_RULE_SIZE));
  Click(editor, IDC_RULE_HELP);
  EXPECT_TRUE(WaitHelp(IDH_RULE_EDITOR));

  // Closed as at the program's shutdown, with the editor open and this
  // thread answering nothing: the window and its thread end by themselves.
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(block->propertyWindow, 0u);
  EXPECT_EQ(GetModuleHandleA("PlenaraDLL.dll"), nullptr);
  CloseHandle(thread);
  DestroyWindow(host);
  CloseSharedMemory(mapping, view);
}


// --- an answer that comes late ---

// The program's real main window on a thread of its own; its handling of
// the next WM_USER+3 waits until the test lets it go, as a program busy for
// longer than the window waits would.
std::atomic<bool> g_holdDelete{false};
HANDLE g_letGo = nullptr;
WNDPROC g_mainProc = nullptr;

LRESULT CALLBACK HoldingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kMsgDeleteRecord && g_holdDelete.exchange(false)) WaitForSingleObject(g_letGo, 30000);
  return CallWindowProcA(g_mainProc, window, message, wParam, lParam);
}

unsigned __stdcall RunMainWindow(void* param) {
  auto* block = static_cast<SharedBlock*>(param);
  MainWindowHost host;
  lstrcpyA(block->companionPath, host.Block()->companionPath);
  AttachBlock(block);
  g_mainProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(host.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HoldingProc)));
  block->mainWindow = HandleValue(host.Window());
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

std::string NameAt(const SharedBlock& block, int index) { return RuleName(TargetsOf(&block)[index].record); }

TEST(WindowModule, AChangeTheProgramMadeLateIsNotTakenForTheRuleNowInItsPlace) {
  void* view = nullptr;
  int32_t existed = 1;
  HANDLE mapping = OpenSharedMemory(kBlockName, &view, kBlockSize, &existed);
  ASSERT_NE(mapping, nullptr);
  ASSERT_EQ(existed, 0) << "another Plenara holds the block";
  auto* block = static_cast<SharedBlock*>(view);
  g_letGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  unsigned programThreadId = 0;
  HANDLE programThread =
      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunMainWindow, block, 0, &programThreadId));
  ASSERT_TRUE(WaitFor([&] { return block->mainWindow != 0; }));
  HWND program = HandleOf(block->mainWindow);
  for (const wchar_t* name : {L"A", L"B", L"C"}) {
    block->transferRecord = NewRule(name);
    ASSERT_EQ(SendMessageA(program, kMsgInsertRecord, block->NumOfTargets, -1), 0);
  }
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 4096, RunPropertyWindow, nullptr, 0, nullptr));
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    window = HandleOf(block->propertyWindow);
    return window && IsWindowVisible(window) && ListRowCount(window, IDC_TARGETS) == 3;
  }));
  EXPECT_EQ(SelectedListRow(window, IDC_TARGETS), 0);

  // A is deleted, but the program gets to it only after the window gave up waiting.
  g_holdDelete = true;
  Click(window, IDC_TARGET_DELETE);
  HWND question = WaitOwnedWindow(window, IDYES);
  ASSERT_NE(question, nullptr);
  Click(question, IDYES);
  HWND noAnswer = WaitOwnedWindow(window, IDOK);
  ASSERT_NE(noAnswer, nullptr);
  Click(noAnswer, IDOK);
  ASSERT_TRUE(WaitGone(noAnswer));
  // A still shows in the first row and the user deletes it again; meanwhile the program catches up.
  EXPECT_EQ(ListRowCount(window, IDC_TARGETS), 3);
  Click(window, IDC_TARGET_DELETE);
  question = WaitOwnedWindow(window, IDYES);
  ASSERT_NE(question, nullptr);
  SetEvent(g_letGo);
  ASSERT_TRUE(WaitFor([&] { return block->NumOfTargets == 2; }));
  Click(question, IDYES);
  // B, now in the first row, stays: the window says why and shows the list as it is.
  HWND told = WaitOwnedWindow(window, IDOK);
  EXPECT_NE(told, nullptr) << "the second deletion was carried out";
  ASSERT_EQ(block->NumOfTargets, 2);
  EXPECT_EQ(NameAt(*block, 0), "B");
  EXPECT_EQ(NameAt(*block, 1), "C");
  if (told) Click(told, IDOK);
  EXPECT_TRUE(WaitFor([&] { return ListRowCount(window, IDC_TARGETS) == 2; }));

  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);
  PostThreadMessageA(programThreadId, WM_QUIT, 0, 0);
  EXPECT_EQ(WaitForSingleObject(programThread, 10000), WAIT_OBJECT_0);
  CloseHandle(programThread);
  CloseHandle(g_letGo);
  CloseSharedMemory(mapping, view);
}

}  // namespace
