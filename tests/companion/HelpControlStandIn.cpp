// A stand-in for the HTML Help control: appends every call as "window file
// command data" to the log whose address the test process puts in
// PLENARA_HELP_LOG, and answers initialisation with a known cookie. A
// message shown to it for pre-translation is logged by its number in place
// of the data; it takes WM_USER+77 (as the help window takes its keys) and
// leaves every other.
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
  const MSG* message = command == 0xFD ? reinterpret_cast<const MSG*>(data) : nullptr;
  const unsigned long shown = command == 0x1C ? 1ul
                              : message    ? static_cast<unsigned long>(message->message)
                                           : static_cast<unsigned long>(data);
  std::snprintf(log + used, 4096 - used, "%lu %s %u %lu\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)),
                file ? file : "-", command, shown);
  return message && message->message == WM_USER + 77 ? reinterpret_cast<HWND>(1) : nullptr;
}
