#include "settings/window/StartupEntry.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kMaxCommand = 32768;

// The program a Run value starts: the quoted part, or the whole text, cut
// out of command in place.
char* ProgramOf(char* command) {
  size_t length = std::strlen(command);
  while (length > 0 && command[length - 1] == ' ') command[--length] = '\0';
  while (*command == ' ') ++command;
  if (*command != '"') return command;
  ++command;
  if (char* close = std::strchr(command, '"')) *close = '\0';
  return command;
}

}  // namespace

bool HasStartupEntry(const char* programPath) {
  if (!programPath || !*programPath) return false;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  DWORD size = 0;
  bool found = false;
  if (RegQueryValueExA(key, kRunValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0 && size < kMaxCommand) {
    // One more byte than the value: its data need not end in a NUL.
    char* data = static_cast<char*>(std::calloc(size + 1, 1));
    if (data && RegQueryValueExA(key, kRunValue, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS) {
      char* command = data;
      char expanded[MAX_PATH * 2];
      if (type == REG_EXPAND_SZ) {
        const DWORD length = ExpandEnvironmentStringsA(data, expanded, sizeof expanded);
        if (length > 0 && length <= sizeof expanded) command = expanded;
      }
      // Paths are compared as the file system does: without regard to case.
      found = lstrcmpiA(ProgramOf(command), programPath) == 0;
    }
    std::free(data);
  }
  RegCloseKey(key);
  return found;
}

bool SetStartupEntry(const char* programPath, bool on) {
  if (on && (!programPath || !*programPath)) return false;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  LONG result = ERROR_SUCCESS;
  if (on) {
    const size_t length = std::strlen(programPath);
    char* command = static_cast<char*>(std::malloc(length + 3));
    if (command) {
      command[0] = '"';
      std::memcpy(command + 1, programPath, length);
      command[length + 1] = '"';
      command[length + 2] = '\0';
      result = RegSetValueExA(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                              static_cast<DWORD>(length + 3));
      std::free(command);
    } else {
      result = ERROR_OUTOFMEMORY;
    }
  } else {
    result = RegDeleteValueA(key, kRunValue);
    if (result == ERROR_FILE_NOT_FOUND) result = ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}
