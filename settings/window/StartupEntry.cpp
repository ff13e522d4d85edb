#include "settings/window/StartupEntry.h"

#include <windows.h>

#include <vector>

std::string StartupCommandFor(const std::string& programPath) { return "\"" + programPath + "\""; }

namespace {

// The program a Run value starts: the quoted part, or the whole text.
std::string ProgramOf(std::string command) {
  while (!command.empty() && (command.back() == ' ' || command.back() == '\0')) command.pop_back();
  size_t start = 0;
  while (start < command.size() && command[start] == ' ') ++start;
  command.erase(0, start);
  if (!command.empty() && command.front() == '"') {
    const size_t close = command.find('"', 1);
    return command.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  return command;
}

}  // namespace

bool HasStartupEntry(const std::string& programPath) {
  if (programPath.empty()) return false;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  DWORD size = 0;
  bool found = false;
  if (RegQueryValueExA(key, kRunValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0 && size < 32768) {
    std::vector<char> data(size + 1, '\0');
    if (RegQueryValueExA(key, kRunValue, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) ==
        ERROR_SUCCESS) {
      std::string command(data.data());
      if (type == REG_EXPAND_SZ) {
        char expanded[MAX_PATH * 2];
        const DWORD length = ExpandEnvironmentStringsA(command.c_str(), expanded, sizeof expanded);
        if (length > 0 && length <= sizeof expanded) command = expanded;
      }
      // Paths are compared as the file system does: without regard to case.
      found = lstrcmpiA(ProgramOf(command).c_str(), programPath.c_str()) == 0;
    }
  }
  RegCloseKey(key);
  return found;
}

bool SetStartupEntry(const std::string& programPath, bool on) {
  if (on && programPath.empty()) return false;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  LONG result = ERROR_SUCCESS;
  if (on) {
    const std::string command = StartupCommandFor(programPath);
    result = RegSetValueExA(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                            static_cast<DWORD>(command.size() + 1));
  } else {
    result = RegDeleteValueA(key, kRunValue);
    if (result == ERROR_FILE_NOT_FOUND) result = ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}
