#pragma once
// The names of the files that live beside the program, all derived from the
// program's own full path.
#include "monitor/LeadBytes.h"

constexpr size_t kPathSize = 260;

struct SidePaths {
  char moduleDir[kPathSize];      // folder with its trailing backslash
  char modulePath[kPathSize];
  char iniPath[kPathSize];        // base + ".ini"
  char helpPath[kPathSize];       // base + ".chm"
  char companionPath[kPathSize];  // base + "DLL.dll"
};

// modulePath is a full path as GetModuleFileNameA gives it (at most 259
// bytes). The backslash is looked for by whole characters, so a double-byte
// character whose second byte is 0x5C (such as 表) never cuts the folder.
// A name that would not fit its field is cut without splitting a character.
SidePaths DeriveSidePaths(const char* modulePath, const LeadByteTable& leads);

// Copies at most size-1 bytes of src and a NUL into dst, stepping back so
// that no double-byte character is split.
void CopyWholeChars(char* dst, size_t size, const char* src, const LeadByteTable& leads);
