#pragma once
// "Start with Windows": the value "Plenara" under the current user's Run key,
// holding the program's full path in quotes.
#include <cstddef>

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunValue[] = "Plenara";

// Whether the value is there and starts this program (programPath).
bool HasStartupEntry(const char* programPath);

// Adds or removes the value; false when the registry refused.
bool SetStartupEntry(const char* programPath, bool on);
