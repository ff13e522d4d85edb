#pragma once
// What the stand-in help control saw, kept in a named mapping of the test
// process so that it outlives every load and unload of the stand-in.
#include <windows.h>

#include <cstdint>
#include <cstdio>

struct HelpCall {
  uint32_t window;
  uint32_t fileIsNull;
  char file[MAX_PATH];
  uint32_t command;
  uint32_t data;
};

struct HelpCallLog {
  uint32_t reply;   // what display and context requests return
  uint32_t cookie;  // what HH_INITIALIZE writes through its data pointer
  int32_t count;
  HelpCall calls[32];
};

inline void HelpCallLogName(char* name, size_t size) {
  std::snprintf(name, size, "PlenaraTestHelpCalls-%lu", GetCurrentProcessId());
}
