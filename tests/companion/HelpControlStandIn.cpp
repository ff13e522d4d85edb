// A stand-in for the HTML Help control: records every call in the test
// process's log and answers as the test asked. Built a second time without
// its entry, as a control that loads but offers nothing.
#include <windows.h>

#include <cstring>

#include "HelpCallLog.h"

#ifndef HELP_STANDIN_NO_ENTRY

namespace {
constexpr UINT kInitialize = 0x1C;
constexpr UINT kUninitialize = 0x1D;
constexpr UINT kCloseAll = 0x12;
}  // namespace

#if defined(_MSC_VER) && defined(_M_IX86)
#pragma comment(linker, "/EXPORT:HtmlHelpA=_HtmlHelpA@16")
#endif

extern "C" __declspec(dllexport) HWND WINAPI HtmlHelpA(HWND window, const char* file, UINT command, DWORD_PTR data) {
  char name[64];
  HelpCallLogName(name, sizeof name);
  HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
  if (!mapping) return nullptr;
  auto* log = static_cast<HelpCallLog*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(HelpCallLog)));
  HWND reply = nullptr;
  if (log) {
    if (log->count < static_cast<int32_t>(sizeof log->calls / sizeof log->calls[0])) {
      HelpCall& call = log->calls[log->count++];
      call.window = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
      call.fileIsNull = file == nullptr;
      call.file[0] = '\0';
      if (file) lstrcpynA(call.file, file, MAX_PATH);
      call.command = command;
      call.data = static_cast<uint32_t>(data);
    }
    if (command == kInitialize && data) *reinterpret_cast<DWORD*>(data) = log->cookie;
    if (command != kInitialize && command != kUninitialize && command != kCloseAll) {
      reply = reinterpret_cast<HWND>(static_cast<uintptr_t>(log->reply));
    }
    UnmapViewOfFile(log);
  }
  CloseHandle(mapping);
  return reply;
}

#else

extern "C" __declspec(dllexport) int WINAPI NotTheHelpEntry() { return 0; }

#endif
