#pragma once
// The program's real main window, created in the test process on a block of
// the test's own, with no settings module. One per test process: the main
// window's shutdown work runs once in a process's life.
#include <windows.h>

#include "shared/SharedBlock.h"

class MainWindowHost {
 public:
  MainWindowHost();
  ~MainWindowHost();
  MainWindowHost(const MainWindowHost&) = delete;
  MainWindowHost& operator=(const MainWindowHost&) = delete;

  HWND Window() const { return window_; }
  SharedBlock* Block() const { return block_; }

  // Sends from a thread of its own (as the settings window's thread would)
  // while this thread keeps dispatching messages; returns the answer.
  LRESULT SendFromOtherThread(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  SharedBlock* block_ = nullptr;
  HWND window_ = nullptr;
};
