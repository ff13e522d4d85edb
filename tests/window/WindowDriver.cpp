#include "WindowDriver.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "settings/CompanionState.h"

std::string Ansi(const wchar_t* text) {
  char ansi[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi - 1, nullptr, nullptr);
  return ansi;
}

bool StartReal(PlenaraInstance& plenara) {
  return plenara.Start() && WaitFor([] {
    BlockView block;
    return block.Existed() && LoadCompanionState(*block.Get()).signature == kCompanionSignature;
  }, 20000);
}

HWND OpenWindow(PlenaraInstance& plenara, UINT command) {
  const auto field = command == kCmdAbout ? &SharedBlock::aboutWindow : &SharedBlock::propertyWindow;
  HWND window = nullptr;
  const auto shown = [&] {
    BlockView block;
    window = block.Existed() ? HandleOf(block.Get()->*field) : nullptr;
    return window && IsWindowVisible(window);
  };
  WaitFor([&] {
    if (shown()) return true;
    PostMessageA(plenara.MainWindow(), WM_COMMAND, command, 0);
    return WaitFor(shown, 1000);
  }, 20000);
  return window;
}

HWND WaitOwnedWindow(HWND owner, int controlId) {
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

bool WaitGone(HWND window) {
  return WaitFor([&] { return !IsWindow(window); }, 15000);
}

HWND OpenEditor(HWND window, int button) {
  Click(window, button);
  return WaitOwnedWindow(window, IDC_NAME);
}

void Click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void Type(HWND dialog, int id, const wchar_t* text) {
  SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void Choose(HWND dialog, int id, int choice) {
  HWND box = GetDlgItem(dialog, id);
  SendMessageA(box, CB_SETCURSEL, choice, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}

void SetCheck(HWND dialog, int id, bool checked) {
  HWND box = GetDlgItem(dialog, id);
  const auto state = [&] { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; };
  if (state() == checked) return;
  PostMessageA(box, BM_CLICK, 0, 0);
  WaitFor([&] { return state() == checked; }, 10000);
}

std::string FieldText(HWND dialog, int id) {
  char text[512] = {};
  SendMessageA(GetDlgItem(dialog, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

int SelectedListRow(HWND dialog, int listId) {
  return static_cast<int>(
      SendMessageA(GetDlgItem(dialog, listId), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

int ListRowCount(HWND dialog, int listId) {
  return static_cast<int>(SendMessageA(GetDlgItem(dialog, listId), LVM_GETITEMCOUNT, 0, 0));
}

TargetRecord NewRule(const wchar_t* name, const char* className, uint8_t classMatch) {
  TargetRecord rule = DefaultRule();
  std::strncpy(RuleName(rule), Ansi(name).c_str(), kMaxNameBytes);
  std::strncpy(rule.classPattern, className, kMaxPatternBytes);
  rule.classMatch = classMatch;
  return rule;
}

HeldRules ProgramRules(HANDLE process) {
  HeldRules rules;
  BlockView block;
  if (!block.Existed() || block->NumOfTargets <= 0 || !block->targets) return rules;
  std::vector<TargetEntry> entries(block->NumOfTargets);
  if (!ReadProcessMemory(process, PointerOf<void>(block->targets), entries.data(), entries.size() * sizeof(TargetEntry),
                         nullptr)) {
    return rules;
  }
  for (const TargetEntry& entry : entries) {
    HeldTarget target{entry.record, {}};
    if (entry.NumOfChildren > 0 && entry.children) {
      target.children.resize(entry.NumOfChildren);
      ReadProcessMemory(process, PointerOf<void>(entry.children), target.children.data(),
                        target.children.size() * sizeof(TargetRecord), nullptr);
    }
    rules.push_back(target);
  }
  return rules;
}

bool WaitForRules(HANDLE process, const std::function<bool(const HeldRules&)>& cond) {
  return WaitFor([&] { return cond(ProgramRules(process)); }, 15000);
}

namespace {

// The host path of a Windows path, as the compatibility layer maps it, or "".
std::string HostPathOf(const std::string& path) {
  using ToHost = char*(CDECL*)(const wchar_t*);
  auto toHost = reinterpret_cast<ToHost>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  wchar_t wide[MAX_PATH];
  if (!toHost || !MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH)) return std::string();
  char* host = toHost(wide);
  if (!host) return std::string();
  std::string result(host);
  HeapFree(GetProcessHeap(), 0, host);
  return result;
}

}  // namespace

bool RunHostCommand(const std::string& command) {
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
  return WaitFor([&] { return GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000);
}

bool SavePicture(RECT area, const std::string& name) {
  const std::string local = ExeDir() + "..\\..\\screenshots";
  CreateDirectoryA(local.c_str(), nullptr);
  const std::string folder = HostPathOf(local);
  const long left = area.left > 0 ? area.left : 0;
  const long top = area.top > 0 ? area.top : 0;
  char geometry[64];
  std::snprintf(geometry, sizeof geometry, "%ldx%ld+%ld+%ld", area.right - left, area.bottom - top, left, top);
  const std::string file = folder + "/" + name;
  return !folder.empty() &&
         RunHostCommand("rm -f '" + file + "'; /usr/bin/import -window root -crop " + geometry + " +repage '" + file + "'") &&
         GetFileAttributesA((local + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool SaveWindowPicture(HWND window, const std::string& name) {
  RECT area;
  if (!GetWindowRect(window, &area)) return false;
  // Let the window finish painting first.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  return SavePicture(area, name);
}
