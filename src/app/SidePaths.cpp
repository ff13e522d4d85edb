#include "app/SidePaths.h"

#include <cstring>

void CopyWholeChars(char* dst, size_t size, const char* src, const LeadByteTable& leads) {
  if (size == 0) return;
  const size_t n = WholeCharsLength(src, std::strlen(src), size - 1, leads);
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

namespace {

void Join(char* dst, const char* base, const char* suffix, const LeadByteTable& leads) {
  char joined[2 * kPathSize];
  const size_t baseLength = std::strlen(base);
  std::memcpy(joined, base, baseLength);
  std::strcpy(joined + baseLength, suffix);
  CopyWholeChars(dst, kPathSize, joined, leads);
}

}  // namespace

SidePaths DeriveSidePaths(const char* modulePath, const LeadByteTable& leads) {
  SidePaths paths;
  std::memset(&paths, 0, sizeof paths);
  CopyWholeChars(paths.modulePath, kPathSize, modulePath, leads);
  std::memcpy(paths.moduleDir, paths.modulePath, kPathSize);

  const ptrdiff_t slash = FindLastChar(paths.moduleDir, '\\', leads);
  if (slash >= 0) paths.moduleDir[slash + 1] = '\0';

  // A dot is never the second byte of a double-byte character, so the last
  // dot byte is the last dot character. Without one the whole path is the base.
  char base[kPathSize];
  std::memcpy(base, paths.modulePath, kPathSize);
  if (char* dot = std::strrchr(base, '.')) *dot = '\0';

  Join(paths.iniPath, base, ".ini", leads);
  Join(paths.helpPath, base, ".chm", leads);
  Join(paths.companionPath, base, "DLL.dll", leads);
  return paths;
}
