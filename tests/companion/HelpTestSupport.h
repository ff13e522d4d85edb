#pragma once
// The help tests' view of the stand-in control's log, and where the stand-ins
// lie.
#include <windows.h>

#include <string>

#include "HelpCallLog.h"
#include "TestSupport.h"
#include "companion/Help.h"

// Creates the log for this process; the stand-in finds it by name. Every
// call made while it exists is recorded.
class RecordedHelpCalls {
 public:
  RecordedHelpCalls() {
    char name[64];
    HelpCallLogName(name, sizeof name);
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(HelpCallLog), name);
    log_ = static_cast<HelpCallLog*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(HelpCallLog)));
    if (log_) ZeroMemory(log_, sizeof *log_);
  }
  ~RecordedHelpCalls() {
    if (log_) UnmapViewOfFile(log_);
    if (mapping_) CloseHandle(mapping_);
  }
  RecordedHelpCalls(const RecordedHelpCalls&) = delete;
  RecordedHelpCalls& operator=(const RecordedHelpCalls&) = delete;

  bool Ready() const { return log_ != nullptr; }
  int Count() const { return log_->count; }
  const HelpCall& At(int i) const { return log_->calls[i]; }
  void Clear() { log_->count = 0; }
  void ReplyWith(HWND window) { log_->reply = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)); }
  void HandOutCookie(uint32_t cookie) { log_->cookie = cookie; }

 private:
  HANDLE mapping_ = nullptr;
  HelpCallLog* log_ = nullptr;
};

// Leaves the binding unloaded and aimed at the system's control, whatever a
// test did.
struct HelpBindingReset {
  HelpBindingReset() = default;
  ~HelpBindingReset() {
    CloseHelp();
    SetHelpControlPathForTest(nullptr);
  }
  HelpBindingReset(const HelpBindingReset&) = delete;
  HelpBindingReset& operator=(const HelpBindingReset&) = delete;
};

inline std::string StandInControlPath() { return ExeDir() + "HelpControlStandIn.dll"; }
inline std::string NoEntryControlPath() { return ExeDir() + "HelpControlNoEntry.dll"; }

inline uint32_t ValueOf(HWND window) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)); }
