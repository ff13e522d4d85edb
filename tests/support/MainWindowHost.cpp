#include "MainWindowHost.h"

#include <atomic>
#include <thread>

#include "TestSupport.h"
#include "app/Commands.h"
#include "app/MainWindow.h"

MainWindowHost::MainWindowHost() {
  block_ = static_cast<SharedBlock*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(SharedBlock)));
  // A settings module that cannot exist: every companion call does nothing.
  lstrcpyA(block_->companionPath, "Z:\\nonexistent\\PlenaraTestDLL.dll");
  AttachBlock(block_);
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kMainClassName;
  RegisterClassExA(&wc);
  window_ = CreateWindowExA(0, kMainClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
}

MainWindowHost::~MainWindowHost() {
  if (IsWindow(window_)) DestroyWindow(window_);
  // Swallow the WM_QUIT that the window's destruction posted.
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  UnregisterClassA(kMainClassName, GetModuleHandleA(nullptr));
  AttachBlock(nullptr);
  HeapFree(GetProcessHeap(), 0, block_);
}

LRESULT MainWindowHost::SendFromOtherThread(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    result = SendMessageA(window_, message, wParam, lParam);
    done = true;
  });
  WaitFor([&] { return done.load(); }, 60000);
  worker.join();
  return result;
}
