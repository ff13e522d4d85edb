// Context help from the settings window in this process, on a stand-in main
// window that records what it is asked. This executable exports
// OpenSharedMemory and CloseSharedMemory as the program does and holds the
// real block name.
#include <gtest/gtest.h>
#include <windows.h>

#include <process.h>

#include <cstring>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "WindowDriver.h"
#include "app/Commands.h"
#include "help/HelpIds.h"
#include "settings/window/WindowIds.h"
#include "shared/SharedBlock.h"

namespace {

constexpr char kHostClass[] = "PlenaraWindowTestHost";
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
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = HostProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kHostClass;
  RegisterClassExA(&wc);
  HWND host = CreateWindowExA(0, kHostClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
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
  Click(window, IDC_TARGET_ADD);
  HWND editor = WaitOwnedWindow(window, IDC_NAME);
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
  UnregisterClassA(kHostClass, GetModuleHandleA(nullptr));
  CloseSharedMemory(mapping, view);
}

}  // namespace
