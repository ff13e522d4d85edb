#include "WindowDriver.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "Screenshots.h"
#include "app/Commands.h"
#include "settings/CompanionState.h"
#include "settings/window/WindowIds.h"

std::string Ansi(const wchar_t* text) {
  char ansi[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi - 1, nullptr, nullptr);
  return ansi;
}

bool StartReal(PlenaraInstance& plenara) {
  if (!plenara.Start()) return false;
  return WaitFor([] {
    BlockView block;
    return block.Existed() && LoadCompanionState(*block.Get()).signature == kCompanionSignature;
  }, 20000);
}

HWND PropertyWindowOf() {
  BlockView block;
  return block.Existed() ? HandleOf(block->propertyWindow) : nullptr;
}

HWND WaitPropertyWindow(DWORD timeoutMs) {
  HWND window = nullptr;
  WaitFor([&] { return (window = PropertyWindowOf()) != nullptr && IsWindowVisible(window); }, timeoutMs);
  return window;
}

HWND OpenPropertyWindow(PlenaraInstance& plenara) {
  if (HWND open = PropertyWindowOf()) return open;
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdSettings, 0);
  return WaitPropertyWindow();
}

HWND WaitAboutWindow(DWORD timeoutMs) {
  HWND window = nullptr;
  WaitFor([&] {
    BlockView block;
    window = block.Existed() ? HandleOf(block->aboutWindow) : nullptr;
    return window && IsWindowVisible(window);
  }, timeoutMs);
  return window;
}

namespace {

struct OwnedSearch {
  HWND owner;
  int controlId;
  HWND found;
};

BOOL CALLBACK FindOwned(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<OwnedSearch*>(param);
  if (GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window) && GetDlgItem(window, search->controlId)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

DWORD ThreadOf(HWND window) { return GetWindowThreadProcessId(window, nullptr); }

}  // namespace

HWND WaitOwnedWindow(HWND owner, int controlId, DWORD timeoutMs) {
  OwnedSearch search{owner, controlId, nullptr};
  WaitFor([&] {
    search.found = nullptr;
    EnumWindows(FindOwned, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  }, timeoutMs);
  return search.found;
}

bool WaitGone(HWND window, DWORD timeoutMs) {
  return WaitFor([&] { return !IsWindow(window); }, timeoutMs);
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

namespace {

void TypeAnsi(HWND dialog, int id, const char* text) { SetDlgItemTextA(dialog, id, text); }

void TypeNumber(HWND dialog, int id, int32_t value) { TypeAnsi(dialog, id, std::to_string(value).c_str()); }

}  // namespace

void FillEditor(HWND editor, const TargetRecord& rule) {
  TypeAnsi(editor, IDC_NAME, RuleName(rule));
  Choose(editor, IDC_CLASS_MODE, rule.classMatch);
  TypeAnsi(editor, IDC_CLASS, rule.classPattern);
  Choose(editor, IDC_TITLE_MODE, rule.titleMatch);
  TypeAnsi(editor, IDC_TITLE, rule.titlePattern);
  Choose(editor, IDC_SIZE_ACTION, rule.sizeAction);
  Choose(editor, IDC_WIDTH_MODE, rule.widthSpec.mode);
  TypeNumber(editor, IDC_WIDTH, rule.widthSpec.value);
  Choose(editor, IDC_HEIGHT_MODE, rule.heightSpec.mode);
  TypeNumber(editor, IDC_HEIGHT, rule.heightSpec.value);
  SetCheck(editor, IDC_POSITION, rule.positionAction == kPositionSet);
  Choose(editor, IDC_X_ANCHOR, rule.xSpec.anchor);
  Choose(editor, IDC_X_OFFSET, rule.xSpec.offsetKind);
  TypeNumber(editor, IDC_X, rule.xSpec.value);
  Choose(editor, IDC_Y_ANCHOR, rule.ySpec.anchor);
  Choose(editor, IDC_Y_OFFSET, rule.ySpec.offsetKind);
  TypeNumber(editor, IDC_Y, rule.ySpec.value);
  SetCheck(editor, IDC_ACTIVATE, rule.activate != 0);
  SetCheck(editor, IDC_CLOSE_WINDOW, rule.close != 0);
  SetCheck(editor, IDC_ENABLED, rule.enabled != 0);
  SetCheck(editor, IDC_APPLY_ONCE, rule.applyOnce != 0);
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

SettingsRecord ActiveSettings() {
  BlockView block;
  SettingsRecord settings{};
  if (block.Existed()) settings = block->activeSettings;
  return settings;
}

bool WaitForRules(HANDLE process, const std::function<bool(const HeldRules&)>& cond, DWORD timeoutMs) {
  return WaitFor([&] { return cond(ProgramRules(process)); }, timeoutMs);
}

bool MoveMouseTo(POINT screen) {
  char command[96];
  std::snprintf(command, sizeof command, "/usr/bin/xdotool mousemove %ld %ld", screen.x, screen.y);
  RunHostCommand(command);
  return WaitFor([&] {
    POINT now = {};
    GetCursorPos(&now);
    return now.x == screen.x && now.y == screen.y;
  }, 5000);
}

void PressLeftButton() { RunHostCommand("/usr/bin/xdotool mousedown 1"); }

void ReleaseLeftButton() { RunHostCommand("/usr/bin/xdotool mouseup 1"); }

POINT CenterOf(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

HWND CaptureOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(ThreadOf(window), &info) ? info.hwndCapture : nullptr;
}

namespace {

BOOL CALLBACK CollectBar(HWND window, LPARAM param) {
  char name[32] = {};
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpiA(name, "Static") == 0 && IsWindowVisible(window)) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  }
  return TRUE;
}

}  // namespace

std::vector<HWND> FrameBars(HWND editor) {
  std::vector<HWND> bars;
  EnumThreadWindows(ThreadOf(editor), CollectBar, reinterpret_cast<LPARAM>(&bars));
  return bars;
}

std::string DragFinderOnto(HWND editor, POINT target, const std::function<void()>& whileOver) {
  const POINT start = CenterOf(GetDlgItem(editor, IDC_FINDER));
  if (!MoveMouseTo(start)) return "the mouse did not come to the finder";
  PressLeftButton();
  if (!WaitFor([&] { return CaptureOf(editor) == editor; })) {
    ReleaseLeftButton();
    return "the finder did not take the mouse";
  }
  const bool moved = MoveMouseTo(POINT{(start.x + target.x) / 2, (start.y + target.y) / 2}) && MoveMouseTo(target);
  if (moved) whileOver();
  ReleaseLeftButton();
  if (!moved) return "the mouse did not come to the target";
  if (!WaitFor([&] { return CaptureOf(editor) != editor; })) return "the finder kept the mouse";
  return std::string();
}
