// The program's real main window on a thread of this process, with the real
// settings module (this executable exports OpenSharedMemory and
// CloseSharedMemory as the program does, and holds the real block name). Its
// handling of a deletion is held back past the settings window's time-out.
#include <process.h>

#include <atomic>

#include "MainWindowHost.h"
#include "WindowDriver.h"

namespace {

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
  lstrcpyA(block->companionPath, (ExeDir() + "PlenaraDLL.dll").c_str());
  AttachBlock(block);
  g_mainProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(host.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HoldingProc)));
  block->mainWindow = HandleValue(host.Window());
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  // Nothing to save at shutdown, which closes the settings window and waits for its thread.
  block->companionPath[0] = '\0';
  return 0;
}

TEST(LateAnswer, AChangeTheProgramMadeLateIsNotTakenForTheRuleNowInItsPlace) {
  BlockView view;
  SharedBlock* block = view.Get();
  ASSERT_TRUE(block && !view.Existed()) << "another Plenara holds the block";
  g_letGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  unsigned programId = 0;
  HANDLE program = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunMainWindow, block, 0, &programId));
  ASSERT_TRUE(WaitFor([&] { return block->mainWindow != 0; }));
  for (const char* name : {"A", "B", "C"}) {
    block->transferRecord = DefaultRule();
    lstrcpyA(RuleName(block->transferRecord), name);
    ASSERT_EQ(SendMessageA(HandleOf(block->mainWindow), kMsgInsertRecord, block->NumOfTargets, -1), 0);
  }
  PostMessageA(HandleOf(block->mainWindow), WM_COMMAND, kCmdSettings, 0);
  const auto rows = [&] { return SendDlgItemMessageA(HandleOf(block->propertyWindow), IDC_TARGETS, LVM_GETITEMCOUNT, 0, 0); };
  ASSERT_TRUE(WaitFor([&] { return block->propertyWindow && rows() == 3; }));
  HWND window = HandleOf(block->propertyWindow);
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
  EXPECT_EQ(rows(), 3);
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
  EXPECT_EQ(std::string(RuleName(TargetsOf(block)[0].record)) + RuleName(TargetsOf(block)[1].record), "BC");
  if (told) Click(told, IDOK);
  EXPECT_TRUE(WaitFor([&] { return rows() == 2; }));

  PostThreadMessageA(programId, WM_QUIT, 0, 0);
  EXPECT_EQ(WaitForSingleObject(program, 20000), WAIT_OBJECT_0);
  EXPECT_EQ(block->propertyWindow, 0u);
  CloseHandle(program);
  CloseHandle(g_letGo);
}

}  // namespace
