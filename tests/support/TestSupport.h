#pragma once
// Helpers shared by the Windows tests: waiting with a time-out, scratch
// folders, and programs started and always ended again.
#include <windows.h>

#include <functional>
#include <string>

// Polls cond (pumping this thread's messages) until it holds or timeoutMs
// passes; returns its last value.
bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs = 10000);

// Folder of the running test executable, with its trailing backslash.
std::string ExeDir();

// A fresh folder under the temporary folder, removed with its contents.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& hint = "plenara");
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& Path() const { return path_; }  // with trailing backslash
  std::string File(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

bool CopyFileTo(const std::string& from, const std::string& to);
std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);

// A child process that is ended (and waited for) when this goes out of scope.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Start(const std::string& exe, const std::string& args = "", const std::string& dir = "");
  // Exit code, or STILL_ACTIVE when it did not end within timeoutMs.
  DWORD WaitExit(DWORD timeoutMs = 15000);
  bool Running() const;
  void Kill();
  DWORD Pid() const { return pid_; }
  HANDLE Handle() const { return process_; }

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// Threads of the process pid, as the system lists them now.
int ThreadCount(DWORD pid);

// Top-level windows of a class (optionally only those of one process).
HWND FindWindowOfProcess(const char* className, DWORD pid);
