// A stand-in for the HTML Help control: appends every call as "window file
// command data" to the log whose address the test process puts in
// PLENARA_HELP_LOG, and answers initialisation with a known cookie.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" __declspec(dllexport) HWND WINAPI HtmlHelpA(HWND window, const char* file, UINT command, DWORD_PTR data) {
  char address[32] = {};
  if (!GetEnvironmentVariableA("PLENARA_HELP_LOG", address, sizeof address)) return nullptr;
  char* log = reinterpret_cast<char*>(std::strtoul(address, nullptr, 16));
  const size_t used = std::strlen(log);
  if (command == 0x1C && data) *reinterpret_cast<DWORD*>(data) = 0x7E570042;  // HH_INITIALIZE
  std::snprintf(log + used, 4096 - used, "%lu %s %u %lu\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)),
                file ? file : "-", command, command == 0x1C ? 1ul : static_cast<unsigned long>(data));
  return nullptr;
}
