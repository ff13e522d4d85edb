#pragma once
// Drives the real settings window as a user would (messages to its controls,
// the mouse) and takes pictures of windows for people to look at.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstdio>

#include "MonitorTestSupport.h"
#include "PlenaraInstance.h"
#include "app/Commands.h"
#include "settings/CompanionState.h"
#include "settings/SettingsModel.h"
#include "settings/window/WindowIds.h"

inline std::string Ansi(const wchar_t* text) {
  char ansi[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi - 1, nullptr, nullptr);
  return ansi;
}

// Plenara with the real settings module, once the module has read its file.
inline bool StartReal(PlenaraInstance& plenara) {
  return plenara.Start() && WaitFor([] {
    BlockView block;
    return block.Existed() && LoadCompanionState(*block.Get()).signature == kCompanionSignature;
  }, 20000);
}

// The settings window (kCmdSettings) or the about box (kCmdAbout), asked for
// until it shows: the program opens one only once the last one's thread ended.
inline HWND OpenWindow(PlenaraInstance& plenara, UINT command) {
  const auto field = command == kCmdAbout ? &SharedBlock::aboutWindow : &SharedBlock::propertyWindow;
  HWND window = nullptr;
  const auto shown = [&] {
    BlockView block;
    window = block.Existed() ? HandleOf(block.Get()->*field) : nullptr;
    return window && IsWindowVisible(window);
  };
  const auto ask = [&] { return PostMessageA(plenara.MainWindow(), WM_COMMAND, command, 0) && WaitFor(shown, 1000); };
  WaitFor([&] { return shown() || ask(); }, 20000);
  return window;
}

// A visible window owned by owner that has a control with controlId: the
// rule editor (IDC_NAME) or a message box (IDOK, IDYES).
inline HWND WaitOwnedWindow(HWND owner, int controlId) {
  HWND found = nullptr;
  WaitFor([&] {
    for (found = FindWindowExA(nullptr, nullptr, nullptr, nullptr); found;
         found = FindWindowExA(nullptr, found, nullptr, nullptr)) {
      if (GetWindow(found, GW_OWNER) == owner && IsWindowVisible(found) && GetDlgItem(found, controlId)) return true;
    }
    return false;
  }, 15000);
  return found;
}

inline bool WaitGone(HWND window) { return WaitFor([&] { return !IsWindow(window); }, 15000); }

// A click that may open a modal window, so it is posted, not sent.
inline void Click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

inline HWND OpenEditor(HWND window, int button = IDC_TARGET_ADD) {
  Click(window, button);
  return WaitOwnedWindow(window, IDC_NAME);
}

inline std::string FieldText(HWND dialog, int id) {
  char text[512] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

inline bool SetCheck(HWND dialog, int id, bool on) {
  const auto done = [&] { return IsDlgButtonChecked(dialog, id) == (on ? BST_CHECKED : BST_UNCHECKED); };
  if (!done()) Click(dialog, id);
  return WaitFor(done);
}

// Starts a command line of the host system. Its end cannot be awaited (a host
// program started from here gives no reliable exit): callers wait for what it does.
inline void StartHostCommand(std::string command) {
  command = "Z:\\bin\\sh -c \"" + command + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

// The mouse, through xdotool on the test display.
inline bool MoveMouseTo(POINT to) {
  StartHostCommand("/usr/bin/xdotool mousemove " + std::to_string(to.x) + " " + std::to_string(to.y));
  POINT now = {};
  return WaitFor([&] { return GetCursorPos(&now) && now.x == to.x && now.y == to.y; }, 5000);
}

// Saves the screen area of a window (and of another beside it) as a PNG file
// under build/screenshots, once it has painted; false when no file came.
inline bool SavePicture(const std::string& name, HWND window, HWND beside = nullptr) {
  RECT area, other;
  if (!GetWindowRect(window, &area)) return false;
  if (beside && GetWindowRect(beside, &other)) UnionRect(&area, &area, &other);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  const std::string folder = ExeDir() + "..\\..\\screenshots", file = folder + "\\" + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  DeleteFileA(file.c_str());
  // The host's path: the compatibility layer maps the file system to drive Z:.
  std::string host = file.substr(file.find(':') + 1);
  for (char& c : host) c = c == '\\' ? '/' : c;
  const long left = (std::max)(area.left, 0L), top = (std::max)(area.top, 0L);
  char crop[64];
  std::snprintf(crop, sizeof crop, "%ldx%ld+%ld+%ld", area.right - left, area.bottom - top, left, top);
  // Written under another name first, so that the file shows up only once complete.
  StartHostCommand("/usr/bin/import -window root -crop " + std::string(crop) + " +repage '" + host + ".part.png' && mv '" +
                   host + ".part.png' '" + host + "'");
  return file.rfind("Z:", 0) == 0 && WaitFor([&] { return GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000);
}
