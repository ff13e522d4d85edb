#pragma once
// A copy of the real Plenara.exe in a scratch folder, optionally with the
// test companion beside it as its settings module, started and always ended
// again. Only one runs at a time (the shared block is the single-instance
// lock), so tests that use it hold the desktop lock.
#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "shared/SharedBlock.h"

// kReal: the real settings module, PlenaraDLL.dll of this build.
enum class Companion { kNone, kTest, kNoExports, kReal };

class PlenaraInstance {
 public:
  explicit PlenaraInstance(Companion companion = Companion::kTest);
  ~PlenaraInstance();
  PlenaraInstance(const PlenaraInstance&) = delete;
  PlenaraInstance& operator=(const PlenaraInstance&) = delete;

  // An order for the test companion (companion.ini, section [test]).
  void Configure(const char* key, const std::string& value);

  // Starts the program and waits for its main window; false if none came.
  bool Start();
  HWND MainWindow() const { return main_; }
  ChildProcess& Process() { return process_; }
  const ScratchDir& Dir() const { return dir_; }
  std::string ExePath() const { return exe_; }

  // What the test companion has recorded so far.
  std::string Log() const;
  bool WaitForLog(const std::string& text, DWORD timeoutMs = 10000) const;

  // Posts WM_CLOSE to the main window and returns the exit code
  // (STILL_ACTIVE when the process did not end in time).
  DWORD Close(DWORD timeoutMs = 15000);

 private:
  ScratchDir dir_;
  Companion companion_;
  std::string exe_;
  ChildProcess process_;
  HWND main_ = nullptr;
};

// The running instance's block, opened from the test process for a moment.
class BlockView {
 public:
  BlockView();
  ~BlockView();
  BlockView(const BlockView&) = delete;
  BlockView& operator=(const BlockView&) = delete;
  bool Existed() const { return existed_ != 0; }
  SharedBlock* operator->() const { return static_cast<SharedBlock*>(view_); }
  SharedBlock* Get() const { return static_cast<SharedBlock*>(view_); }

 private:
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
  int32_t existed_ = 0;
};

// Count of lines of the log that contain text.
int CountOf(const std::string& log, const std::string& text);
