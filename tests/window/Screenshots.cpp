#include "Screenshots.h"

#include <cstdio>

#include "TestSupport.h"

namespace {

// The host path of a Windows path, as the compatibility layer maps it, or "".
std::string HostPathOf(const std::string& path) {
  using ToHost = char*(CDECL*)(const wchar_t*);
  auto toHost = reinterpret_cast<ToHost>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!toHost) return std::string();
  wchar_t wide[MAX_PATH];
  if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH)) return std::string();
  char* host = toHost(wide);
  if (!host) return std::string();
  std::string result(host);
  HeapFree(GetProcessHeap(), 0, host);
  return result;
}

}  // namespace

bool RunHostCommand(const std::string& command, DWORD timeoutMs) {
  // A host program started from here gives no reliable exit: it signs its
  // end by a marker file instead.
  ScratchDir scratch("plenara-host");
  const std::string marker = scratch.File("done");
  const std::string hostMarker = HostPathOf(marker);
  if (hostMarker.empty()) return false;
  std::string line = "Z:\\bin\\sh -c \"" + command + "; touch '" + hostMarker + "'\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return false;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return WaitFor([&] { return GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }, timeoutMs);
}

std::string PictureFolder() {
  const std::string folder = ExeDir() + "..\\..\\screenshots";
  CreateDirectoryA(folder.c_str(), nullptr);
  return HostPathOf(folder);
}

bool SaveWindowPicture(HWND window, const std::string& hostFolder, const std::string& name) {
  RECT rect;
  if (hostFolder.empty() || !GetWindowRect(window, &rect)) return false;
  // Let the window finish painting first.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  return SaveScreenPicture(rect, hostFolder, name);
}

bool SaveScreenPicture(RECT rect, const std::string& hostFolder, const std::string& name) {
  if (hostFolder.empty()) return false;
  const int left = rect.left > 0 ? rect.left : 0;
  const int top = rect.top > 0 ? rect.top : 0;
  const int width = rect.right - left;
  const int height = rect.bottom - top;
  char geometry[64];
  std::snprintf(geometry, sizeof geometry, "%dx%d+%d+%d", width, height, left, top);
  const std::string file = hostFolder + "/" + name;
  const std::string command = "rm -f '" + file + "'; /usr/bin/import -window root -crop " + geometry +
                              " +repage '" + file + "'";
  if (!RunHostCommand(command)) return false;
  const std::string local = ExeDir() + "..\\..\\screenshots\\" + name;
  return GetFileAttributesA(local.c_str()) != INVALID_FILE_ATTRIBUTES;
}
