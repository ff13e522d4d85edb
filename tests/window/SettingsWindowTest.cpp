// The settings window and the about box of the real settings module, driven
// as a user would: messages to the controls, the mouse through xdotool.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <process.h>
#include <algorithm>
#include <atomic>
#include <functional>
#include <tuple>
#include <utility>
#include <vector>

#include "MainWindowHost.h"
#include "MonitorTestSupport.h"
#include "PlenaraInstance.h"
#include "app/Commands.h"
#include "settings/CompanionState.h"
#include "settings/SettingsModel.h"
#include "settings/window/StartupEntry.h"
#include "settings/window/WindowIds.h"

namespace {

std::string Ansi(const wchar_t* text) {
  char ansi[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi - 1, nullptr, nullptr);
  return ansi;
}
// Plenara with the real settings module, once the module has read its file.
bool StartReal(PlenaraInstance& plenara) {
  const auto ready = [] { return LoadCompanionState(*BlockView().Get()).signature == kCompanionSignature; };
  return plenara.Start() && WaitFor(ready, 20000);
}
// The settings window (kCmdSettings) or the about box (kCmdAbout), asked for until it shows.
HWND OpenWindow(PlenaraInstance& plenara, UINT command) {
  const auto field = command == kCmdAbout ? &SharedBlock::aboutWindow : &SharedBlock::propertyWindow;
  HWND window = nullptr;
  const auto shown = [&] { return (window = HandleOf(BlockView().Get()->*field)) && IsWindowVisible(window); };
  const auto ask = [&] { return PostMessageA(plenara.MainWindow(), WM_COMMAND, command, 0) && WaitFor(shown, 1000); };
  WaitFor([&] { return shown() || ask(); }, 20000);
  return window;
}
// A visible window owned by owner with the control controlId: the rule editor (IDC_NAME) or a message box.
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
bool WaitGone(HWND window) { return WaitFor([&] { return !IsWindow(window); }, 15000); }
// A click that may open a modal window, so it is posted, not sent.
void Click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
HWND OpenEditor(HWND window, int button = IDC_TARGET_ADD) {
  Click(window, button);
  return WaitOwnedWindow(window, IDC_NAME);
}
bool Answer(HWND owner, int button) {
  HWND box = WaitOwnedWindow(owner, button);
  return box && (Click(box, button), WaitGone(box));
}
std::string FieldText(HWND dialog, int id) {
  char text[512];
  return std::string(text, GetDlgItemTextA(dialog, id, text, sizeof text));
}
bool SetCheck(HWND dialog, int id, bool on) {
  const auto done = [&] { return IsDlgButtonChecked(dialog, id) == (on ? BST_CHECKED : BST_UNCHECKED); };
  if (!done()) Click(dialog, id);
  return WaitFor(done);
}
LRESULT SelectedRow(HWND window) {
  return SendDlgItemMessageA(window, IDC_TARGETS, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
}
LRESULT Rows(HWND window) { return SendDlgItemMessageA(window, IDC_TARGETS, LVM_GETITEMCOUNT, 0, 0); }
GUITHREADINFO ThreadOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info;
}
// Starts a host command line. It gives no reliable exit: callers wait for what it does.
void StartHostCommand(std::string command) {
  command = "Z:\\bin\\sh -c \"" + command + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}
bool MoveMouseTo(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  const POINT to = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  StartHostCommand("/usr/bin/xdotool mousemove " + std::to_string(to.x) + " " + std::to_string(to.y));
  return WaitFor([&] { POINT now; return GetCursorPos(&now) && now.x == to.x && now.y == to.y; }, 5000);
}
// A picture of a window (and of another beside it) under build/screenshots; the host's files are drive Z:.
bool SavePicture(const std::string& name, HWND window, HWND beside = nullptr) {
  RECT area, other;
  if (!GetWindowRect(window, &area)) return false;
  if (beside && GetWindowRect(beside, &other)) UnionRect(&area, &area, &other);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  const std::string folder = ExeDir() + "..\\..\\screenshots", file = folder + "\\" + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  DeleteFileA(file.c_str());
  std::string host = file.substr(2);
  for (char& c : host) c = c == '\\' ? '/' : c;
  const long left = (std::max)(area.left, 0L), top = (std::max)(area.top, 0L);
  StartHostCommand("/usr/bin/import -window root -crop " + std::to_string(area.right - left) + "x" +
                   std::to_string(area.bottom - top) + "+" + std::to_string(left) + "+" + std::to_string(top) +
                   " +repage '" + host + "'");
  return WaitFor([&] { return GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000);
}
// The rule list as the program holds it, read from its memory.
struct HeldTarget { TargetRecord record; std::vector<TargetRecord> children; };
std::vector<HeldTarget> ProgramRules(HANDLE process) {
  BlockView block;
  std::vector<HeldTarget> rules(block.Existed() ? std::clamp(block->NumOfTargets, 0, 64) : 0);
  for (size_t i = 0; i < rules.size(); ++i) {
    TargetEntry entry = {};
    ReadProcessMemory(process, PointerOf<TargetEntry>(block->targets) + i, &entry, sizeof entry, nullptr);
    rules[i] = {entry.record, std::vector<TargetRecord>(std::clamp(entry.NumOfChildren, 0, 64))};
    ReadProcessMemory(process, PointerOf<void>(entry.children), rules[i].children.data(),
                      rules[i].children.size() * sizeof(TargetRecord), nullptr);
  }
  return rules;
}
RECT WorkArea() {
  RECT work = {};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}
bool Same(const TargetRecord& a, const TargetRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
TargetRecord NewRule(const wchar_t* name, const char* className = "", uint8_t classMatch = kMatchAny) {
  TargetRecord rule = DefaultRule();
  std::strncpy(RuleName(rule), Ansi(name).c_str(), kMaxNameBytes);
  std::strncpy(rule.classPattern, className, kMaxPatternBytes);
  rule.classMatch = classMatch;
  return rule;
}
void Choose(HWND editor, int id, int choice) {
  SendDlgItemMessageA(editor, id, CB_SETCURSEL, choice, 0);
  SendMessageA(editor, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(editor, id)));
}
// Opens the editor with a click on button, types the fields of r that this test sets and confirms.
void AddThroughEditor(HWND window, int button, const TargetRecord& r) {
  HWND editor = OpenEditor(window, button);
  ASSERT_NE(editor, nullptr);
  SetDlgItemTextA(editor, IDC_NAME, RuleName(r));
  SetDlgItemTextA(editor, IDC_CLASS, r.classPattern);
  SetDlgItemTextA(editor, IDC_TITLE, r.titlePattern);
  const std::pair<int, int> choices[] = {{IDC_CLASS_MODE, r.classMatch},     {IDC_TITLE_MODE, r.titleMatch},
                                         {IDC_SIZE_ACTION, r.sizeAction},    {IDC_WIDTH_MODE, r.widthSpec.mode},
                                         {IDC_Y_ANCHOR, r.ySpec.anchor},     {IDC_Y_OFFSET, r.ySpec.offsetKind}};
  for (const auto& [id, choice] : choices) Choose(editor, id, choice);
  const std::pair<int, int> checks[] = {{IDC_POSITION, r.positionAction}, {IDC_CLOSE_WINDOW, r.close},
                                        {IDC_ENABLED, r.enabled}, {IDC_APPLY_ONCE, r.applyOnce}};
  for (const auto& [id, on] : checks) ASSERT_TRUE(SetCheck(editor, id, on != 0));
  for (const auto& [id, value] : {std::pair{IDC_WIDTH, r.widthSpec.value}, std::pair{IDC_Y, r.ySpec.value}}) {
    SetDlgItemInt(editor, id, static_cast<UINT>(value), TRUE);
  }
  Click(editor, IDOK);
  ASSERT_TRUE(WaitGone(editor)) << "the editor refused what was typed: " << FieldText(editor, IDC_RULE_STATUS);
}
// The open handles, found by duplicating each possible value: the system's own count is 0 here.
DWORD HandleCount(HANDLE process) {
  DWORD count = 0;
  for (uintptr_t value = 4; value < 4 * 8192; value += 4) {
    HANDLE copy = nullptr;
    count += DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                             DUPLICATE_SAME_ACCESS) && CloseHandle(copy);
  }
  return count;
}
std::string RunValue() {
  char data[1024] = {};
  DWORD size = sizeof data;
  RegGetValueA(HKEY_CURRENT_USER, kRunKey, kRunValue, RRF_RT_REG_SZ, nullptr, data, &size);
  return data;
}
// One step of a session: what the user does, then what the window or the program shows once it is done.
struct Step {
  const char* label;
  std::function<void()> act;
  std::function<bool()> done;
};
bool Walk(std::initializer_list<Step> steps) {
  for (const Step& step : steps) {
    SCOPED_TRACE(step.label);
    step.act();
    if (!WaitFor(step.done)) {
      ADD_FAILURE() << "not shown";
      return false;
    }
  }
  return true;
}

// A list view of the program's settings window, reached through memory in the program's process:
// a row's cell, its check box, its selection.
class RemoteList {
 public:
  RemoteList(HANDLE process, HWND list) : process_(process), list_(list) {
    memory_ = static_cast<char*>(VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
  }
  ~RemoteList() { VirtualFreeEx(process_, memory_, 0, MEM_RELEASE); }
  RemoteList(const RemoteList&) = delete;
  RemoteList& operator=(const RemoteList&) = delete;
  std::string Cell(int row, int column) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = memory_ + 1024;
    item.cchTextMax = 1024;
    Call(LVM_GETITEMTEXTA, row, item);
    char text[1024] = {};
    ReadProcessMemory(process_, memory_ + 1024, text, sizeof text - 1, nullptr);
    return text;
  }
  void SetState(int row, UINT mask, UINT state) {
    LVITEMA item = {};
    item.stateMask = mask;
    item.state = state;
    Call(LVM_SETITEMSTATE, row, item);
  }
  void Check(int row, bool on) { SetState(row, LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(on ? 2 : 1)); }
  void Select(int row) { SetState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED); }

 private:
  void Call(UINT message, int row, const LVITEMA& item) {
    WriteProcessMemory(process_, memory_, &item, sizeof item, nullptr);
    SendMessageA(list_, message, row, reinterpret_cast<LPARAM>(memory_));
  }
  HANDLE process_;
  HWND list_;
  char* memory_ = nullptr;
};
// Export or import (button) through the standard file dialog with path.
bool FileCommand(HWND settings, int button, const std::string& path) {
  Click(settings, button);
  HWND dialog = WaitOwnedWindow(settings, IDOK);
  if (!dialog) return false;
  for (int name : {0x47C, 0x480}) SetDlgItemTextA(dialog, name, path.c_str());  // cmb13, edt1
  Click(dialog, IDOK);
  return WaitGone(dialog);
}
// The lists' menu, opened from the keyboard on the selected row; item chosen by its mnemonic.
bool ChooseFromMenu(HWND settings, int listId, char mnemonic, const char* picture = nullptr) {
  PostMessageA(settings, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(GetDlgItem(settings, listId)), -1);
  HWND menu = nullptr;
  if (!WaitFor([&] { return (menu = FindWindowA("#32768", nullptr)) && IsWindowVisible(menu); })) return false;
  if (picture) SavePicture(picture, settings, menu);
  PostMessageA(menu, WM_CHAR, mnemonic, 0);
  return WaitFor([&] { return !IsWindowVisible(menu); });
}

// A user's session: opening the window again and again leaves nothing behind; edits reach the
// program exactly as typed, outlast an exit with every window open and come back after a restart.
// Then what tripped a new user, and the additions: a rule for every window asks first; "equals" with no
// text and a bad interval are refused with a word, a greyed field is not; apply now acts again on a window
// a once-only rule had handled; the columns fit; the menu and the check box switch a rule in the program;
// an export imported again in place of the list gives the same settings file.
TEST(SettingsWindow, AUsersSessionAndWhatTrippedANewUser) {
  Fixture& fixture = SharedFixture();
  const std::string frameTitle = Ansi(L"ファインダーの的");
  HWND frame = fixture.Ready() ? fixture.Top("PlenaraFinderTop", frameTitle.c_str(), Box{4, 4, 160, 120}) : nullptr;
  HWND placed = frame ? fixture.Top("PlenaraPlacedFrame", "placed frame", Box{600, 200, 300, 300}) : nullptr;
  PlenaraInstance plenara(Companion::kReal);
  ASSERT_TRUE(placed && StartReal(plenara));
  const auto held = [&] { return ProgramRules(plenara.Process().Handle()); };
  // The first opening comes by itself (no settings file yet), the second settles
  // what the system keeps once per process; ten more are counted.
  const DWORD pid = plenara.Process().Pid();
  int threads = 1 << 30;
  DWORD handles = 0;
  for (int i = 0; i < 12; ++i) {
    ASSERT_NE(OpenWindow(plenara, kCmdSettings), nullptr) << "opening " << i;
    PostMessageA(HandleOf(BlockView()->propertyWindow), WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !BlockView()->propertyWindow && ThreadCount(pid) <= threads; })) << "opening " << i;
    if (i == 1) threads = ThreadCount(pid), handles = HandleCount(plenara.Process().Handle());
  }
  EXPECT_GT(handles, 0u);
  EXPECT_LE(HandleCount(plenara.Process().Handle()), handles);
  TargetRecord target = NewRule(L"枠を左上に", "PlenaraPlacedFrame", kMatchEquals);
  std::strcpy(target.titlePattern, "placed");
  target.titleMatch = kMatchBegins;
  target.sizeAction = kSizeSet;
  target.widthSpec = {kSizeAbsolute, {}, 400};
  target.positionAction = kPositionSet;
  target.ySpec = {kAnchorFar, kOffsetPercent, {}, 25};
  target.applyOnce = 0;
  const TargetRecord child = NewRule(L"子ウィンドウ", "PlacedChild", kMatchContains);
  const TargetRecord doomed = NewRule(L"消す対象", "PlenaraDoomed");
  HWND settings = OpenWindow(plenara, kCmdSettings);
  ASSERT_NE(settings, nullptr);
  AddThroughEditor(settings, IDC_TARGET_ADD, target);
  AddThroughEditor(settings, IDC_CHILD_ADD, child);
  ASSERT_TRUE(WaitFor([&] { return held().size() == 1 && held()[0].children.size() == 1; }));
  // The monitor places the other program's window by the new rule: 400 wide, as high as it was, a quarter
  // of the work area (rounded) above the bottom; x as it was.
  const int32_t workHeight = WorkArea().bottom - WorkArea().top;
  const int32_t placedY = workHeight - 300 - (workHeight * 25 + 50) / 100;
  EXPECT_TRUE(WaitFor([&] { return BoxOf(placed) == Box{600, placedY, 400, 300}; }, 20000))
      << BoxOf(placed).x << "," << BoxOf(placed).y << " " << BoxOf(placed).width << "x" << BoxOf(placed).height
      << " in a work area " << workHeight << " high";
  // Edit: only the name changes; the child stays with its target.
  HWND editor = OpenEditor(settings, IDC_TARGET_EDIT);
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(SavePicture("rule-editor.png", editor));
  SetDlgItemTextW(editor, IDC_NAME, L"枠");
  Click(editor, IDOK);
  ASSERT_TRUE(WaitGone(editor));
  const std::string ini = plenara.Dir().File("Plenara.ini"), quotedExe = "\"" + plenara.ExePath() + "\"";
  const auto enabled = [&](int id) { return IsWindowEnabled(GetDlgItem(settings, id)) != FALSE; };
  const auto monitoring = [&](bool on) { return enabled(IDC_START) == !on && enabled(IDC_STOP) == on; };
  const auto saved = [&](const char* text) { return ReadWholeFile(ini).find(text) != std::string::npos; };
  // Each step and what shows once it is done. The start and stop buttons follow the program's state each
  // time it says so, also after a setting taken while stopped (WM_USER+5); a switch is saved at once.
  ASSERT_TRUE(Walk({
      {"a copy goes right after the original, with its child", [&] { Click(settings, IDC_TARGET_COPY); },
       [&] { return SelectedRow(settings) == 1 && held().size() == 2 && held()[1].children.size() == 1; }},
      {"up to the top", [&] { Click(settings, IDC_TARGET_UP); },
       [&] { return SelectedRow(settings) == 0 && !enabled(IDC_TARGET_UP) && enabled(IDC_TARGET_DOWN); }},
      {"another target", [&] { AddThroughEditor(settings, IDC_TARGET_ADD, doomed); },
       [&] { return SelectedRow(settings) == 2 && held().size() == 3 && Same(held()[2].record, doomed); }},
      {"deleted again once the question is answered",
       [&] {
         Click(settings, IDC_TARGET_DELETE);
         EXPECT_TRUE(Answer(settings, IDYES));
       },
       [&] { return held().size() == 2; }},
      {"the interval in full-width digits", [&] { SetDlgItemTextW(settings, IDC_INTERVAL, L"７５０"); },
       [] { return BlockView()->activeSettings.monitorInterval == 750; }},
      {"monitoring at first", [] {}, [&] { return monitoring(true); }},
      {"stop", [&] { Click(settings, IDC_STOP); }, [&] { return monitoring(false) && saved("Monitoring=off"); }},
      {"no re-apply", [&] { EXPECT_TRUE(SetCheck(settings, IDC_REAPPLY, false)); },
       [&] { return BlockView()->activeSettings.reapplyOnWorkAreaChange == 0 && monitoring(false); }},
      {"start", [&] { Click(settings, IDC_START); }, [&] { return monitoring(true) && saved("Monitoring=on"); }},
      {"start with Windows: in the Run key", [&] { EXPECT_TRUE(SetCheck(settings, IDC_START_WITH_WINDOWS, true)); },
       [&] { return lstrcmpiA(RunValue().c_str(), quotedExe.c_str()) == 0; }},
      {"and out again", [&] { EXPECT_TRUE(SetCheck(settings, IDC_START_WITH_WINDOWS, false)); },
       [&] { return RunValue().empty(); }},
  }));
  const std::string edited = Ansi(L"枠"), copied = edited + Ansi(L" のコピー");
  const auto expectList = [&] {
    const std::vector<HeldTarget> rules = held();
    ASSERT_EQ(rules.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
      TargetRecord expected = target;
      std::memset(RuleName(expected), 0, kRuleNameSize);
      std::strcpy(RuleName(expected), (i ? edited : copied).c_str());
      EXPECT_TRUE(Same(rules[i].record, expected)) << i;
      ASSERT_EQ(rules[i].children.size(), 1u);
      EXPECT_TRUE(Same(rules[i].children[0], child));
    }
  };
  expectList();
  EXPECT_TRUE(SavePicture("settings-window.png", settings));
  // The finder, dragged onto another program's window, fills in its class and
  // title. Nothing may stop the test before the button is up again.
  editor = OpenEditor(settings);
  ASSERT_NE(editor, nullptr);
  ASSERT_TRUE(MoveMouseTo(GetDlgItem(editor, IDC_FINDER)));
  StartHostCommand("/usr/bin/xdotool mousedown 1");
  EXPECT_TRUE(WaitFor([&] { return ThreadOf(editor).hwndCapture == editor; })) << "the finder did not take the mouse";
  EXPECT_TRUE(MoveMouseTo(frame));
  const auto seen = [&] { return FieldText(editor, IDC_FINDER_CLASS).find("PlenaraFinderTop") != std::string::npos; };
  EXPECT_TRUE(WaitFor(seen)) << FieldText(editor, IDC_FINDER_CLASS);
  EXPECT_TRUE(SavePicture("rule-editor-finder.png", editor, frame));
  StartHostCommand("/usr/bin/xdotool mouseup 1");
  ASSERT_TRUE(WaitFor([&] { return ThreadOf(editor).hwndCapture != editor; })) << "the finder kept the mouse";
  EXPECT_EQ(FieldText(editor, IDC_CLASS), "PlenaraFinderTop");
  EXPECT_EQ(FieldText(editor, IDC_TITLE), frameTitle);
  // The title is offered, not made a condition: it changes with the document shown.
  EXPECT_EQ(SendDlgItemMessageA(editor, IDC_CLASS_MODE, CB_GETCURSEL, 0, 0), kMatchEquals);
  EXPECT_EQ(SendDlgItemMessageA(editor, IDC_TITLE_MODE, CB_GETCURSEL, 0, 0), kMatchAny);
  Choose(editor, IDC_TITLE_MODE, kMatchEquals);
  fixture.DestroyAll();
  // Exit with a message box over the editor over the window and the about box, both in a keyboard move
  // (which ends only on a key): prompt, and it saves (the file is removed first; the restart reads it).
  SetDlgItemTextW(editor, IDC_TITLE, std::wstring(64, L'窓').c_str());  // 128 bytes: as much as a pattern holds
  EXPECT_EQ(FieldText(editor, IDC_RULE_STATUS), "");
  SetDlgItemTextW(editor, IDC_TITLE, std::wstring(65, L'窓').c_str());  // two bytes too many
  EXPECT_NE(FieldText(editor, IDC_RULE_STATUS), "");
  Click(editor, IDOK);
  HWND message = WaitOwnedWindow(editor, IDOK);
  HWND about = OpenWindow(plenara, kCmdAbout);
  ASSERT_TRUE(message && about);
  WaitFor([&] { return GetForegroundWindow() == about; });  // on top, for the picture
  EXPECT_TRUE(SavePicture("about-box.png", about));
  for (HWND moved : {message, about}) {
    PostMessageA(moved, WM_SYSCOMMAND, SC_MOVE, 0);
    ASSERT_TRUE(WaitFor([&] { return (ThreadOf(moved).flags & GUI_INMOVESIZE) != 0; }));
  }
  DeleteFileA(ini.c_str());
  const DWORD start = GetTickCount();
  ASSERT_EQ(plenara.Close(30000), 0u);
  EXPECT_LT(GetTickCount() - start, 8000u);
  plenara.Process().Kill();
  ASSERT_TRUE(StartReal(plenara));
  expectList();
  EXPECT_EQ(BlockView()->activeSettings.monitorInterval, 750);
  EXPECT_EQ(BlockView()->activeSettings.reapplyOnWorkAreaChange, 0);
  // What tripped a new user.
  HWND moved = fixture.Top("PlenaraApplyNow", "apply now", Box{500, 300, 200, 150});
  ASSERT_NE(moved, nullptr);
  settings = OpenWindow(plenara, kCmdSettings);
  ASSERT_NE(settings, nullptr);
  editor = OpenEditor(settings);
  ASSERT_NE(editor, nullptr);
  // Closing or minimizing whatever window there is: asked first, "no" is the default and saves nothing.
  for (const auto& [close, size] : {std::pair<bool, int>{true, 0}, std::pair<bool, int>{false, kSizeMinimize}}) {
    ASSERT_TRUE(SetCheck(editor, IDC_CLOSE_WINDOW, close));
    Choose(editor, IDC_SIZE_ACTION, size);
    Click(editor, IDOK);
    HWND question = WaitOwnedWindow(editor, IDNO);
    ASSERT_NE(question, nullptr) << "no question for a rule that acts on every window";
    EXPECT_EQ(ThreadOf(question).hwndFocus, GetDlgItem(question, IDNO)) << "\"no\" is not the default";
    if (close) {
      EXPECT_TRUE(SavePicture("rule-editor-every-window.png", editor, question));
    }
    Click(question, IDNO);
    ASSERT_TRUE(WaitGone(question));
    EXPECT_TRUE(IsWindowVisible(editor));
  }
  ASSERT_EQ(held().size(), 2u);
  Choose(editor, IDC_SIZE_ACTION, 0);
  // "Equals" with no text is refused with a message.
  Choose(editor, IDC_CLASS_MODE, kMatchEquals);
  EXPECT_NE(FieldText(editor, IDC_RULE_STATUS), "");
  Click(editor, IDOK);
  ASSERT_TRUE(Answer(editor, IDOK)) << "no word on an empty \"equals\"";
  // Text too long for a title, in a greyed field: no condition, so nothing to refuse.
  SetDlgItemTextA(editor, IDC_CLASS, "PlenaraApplyNow");
  SetDlgItemTextW(editor, IDC_TITLE, std::wstring(65, L'窓').c_str());
  EXPECT_EQ(FieldText(editor, IDC_RULE_STATUS), "");
  ASSERT_TRUE(SetCheck(editor, IDC_POSITION, true));
  for (int id : {IDC_X_ANCHOR, IDC_Y_ANCHOR}) Choose(editor, id, kAnchorNear);
  Click(editor, IDOK);
  ASSERT_TRUE(WaitGone(editor)) << FieldText(editor, IDC_RULE_STATUS);
  ASSERT_TRUE(WaitFor([&] { return held().size() == 3; }));
  EXPECT_EQ(held()[2].record.titlePattern[0], '\0');
  // The once-only rule puts the window in the corner; moved away, it stays, until apply now.
  const Box corner = {WorkArea().left, WorkArea().top, 200, 150};
  ASSERT_TRUE(WaitFor([&] { return BoxOf(moved) == corner; }, 20000));
  SetWindowPos(moved, nullptr, 500, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_FALSE(WaitFor([&] { return BoxOf(moved) == corner; }, 1500)) << "the once-only rule acted again";
  Click(settings, IDC_APPLY_NOW);
  EXPECT_TRUE(WaitFor([&] { return BoxOf(moved) == corner; }, 20000)) << "apply now did not act";
  // An interval out of range is reported when the window closes, which stays open.
  SetDlgItemTextA(settings, IDC_INTERVAL, "10");
  Click(settings, IDCANCEL);
  ASSERT_TRUE(Answer(settings, IDOK)) << "no word on the interval";
  EXPECT_TRUE(IsWindowVisible(settings));
  EXPECT_EQ(BlockView()->activeSettings.monitorInterval, 750);
  SetDlgItemTextA(settings, IDC_INTERVAL, "500");
  // A rule with long texts: every column in sight at the default size, the texts narrowed, not the flags.
  TargetRecord wide = NewRule(std::wstring(60, L'名').c_str(), std::string(120, 'C').c_str(), kMatchBegins);
  wide.sizeAction = kSizeSet;
  wide.widthSpec = {kSizePercent, {}, 50};
  wide.positionAction = kPositionSet;
  wide.ySpec = {kAnchorFar, kOffsetPercent, {}, 25};
  AddThroughEditor(settings, IDC_TARGET_ADD, wide);
  // Once the window shows it too: it selects the new rule after the program has it.
  ASSERT_TRUE(WaitFor([&] { return held().size() == 4 && Rows(settings) == 4 && SelectedRow(settings) == 3; }));
  HWND list = GetDlgItem(settings, IDC_TARGETS);
  RECT client = {};
  GetClientRect(list, &client);
  LRESULT total = 0;
  for (int column = 0; column < 6; ++column) {
    const LRESULT width = SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0);
    EXPECT_GE(width, 40) << "column " << column;
    total += width;
  }
  EXPECT_LE(total, client.right) << "a horizontal scroll bar hides the last columns";
  // Each step waits for the window to show the last change before a row is selected or clicked: the
  // program has a change before the window has refilled its list.
  RemoteList rows(plenara.Process().Handle(), list);
  const auto on = [&](int row) { return held()[row].record.enabled; };
  ASSERT_TRUE(Walk({
      {"the once-only rule's row", [&] { rows.Select(2); }, [&] { return SelectedRow(settings) == 2; }},
      {"a child rule shows as a count in its row",
       [&] { AddThroughEditor(settings, IDC_CHILD_ADD, NewRule(L"子", "Child", kMatchEquals)); },
       [&] { return held()[2].children.size() == 1 && rows.Cell(2, 0) == Ansi(L"(名前なし) (子ウィンドウのルール 1)"); }},
      {"the last row", [&] { rows.Select(3); }, [&] { return SelectedRow(settings) == 3; }},
      {"the menu switches the rule off",
       [&] { EXPECT_TRUE(ChooseFromMenu(settings, IDC_TARGETS, 'N', "settings-window-menu.png")); },
       [&] { return on(3) == 0 && rows.Cell(3, 4) == Ansi(L"いいえ"); }},
      {"the check box on again", [&] { rows.Check(3, true); }, [&] { return on(3) == 1 && rows.Cell(3, 4) == Ansi(L"はい"); }},
      {"the row above off", [&] { rows.Check(2, false); }, [&] { return on(2) == 0 && on(3) == 1; }},
      {"moved down from the menu", [&] { EXPECT_TRUE(ChooseFromMenu(settings, IDC_TARGETS, 'O')); },
       [&] { return held().size() == 4 && held()[3].children.size() == 1; }},
  }));
  // Export, then import in place of the list: the settings file is the same, byte for byte.
  const std::string exported = plenara.Dir().File("exported.ini");
  ASSERT_TRUE(WaitFor([&] { return ReadWholeFile(ini).find("[4.1]") != std::string::npos; }));
  const std::string before = ReadWholeFile(ini);
  const std::vector<HeldTarget> exportedRules = held();
  ASSERT_TRUE(FileCommand(settings, IDC_EXPORT, exported));
  ASSERT_TRUE(WaitFor([&] { return !ReadWholeFile(exported).empty(); }));
  // A file without rules is refused with a word; a damaged one asks whether to take it with safe values in
  // place of what cannot be read, and "no" changes nothing.
  const std::string stray = plenara.Dir().File("stray.ini"), damaged = plenara.Dir().File("damaged.ini");
  WriteWholeFile(stray, "not a settings file\r\n");
  WriteWholeFile(damaged, "[1]\r\nName=\"x\"\r\nSize=sideways\r\n");
  for (const auto& [file, answer] : {std::pair{stray, IDOK}, std::pair{damaged, IDNO}}) {
    SCOPED_TRACE(file);
    ASSERT_TRUE(FileCommand(settings, IDC_IMPORT, file));
    ASSERT_TRUE(Answer(settings, answer));
    EXPECT_EQ(held().size(), 4u);
  }
  ASSERT_TRUE(FileCommand(settings, IDC_IMPORT, exported));
  HWND choice = WaitOwnedWindow(settings, IDC_IMPORT_REPLACE);
  ASSERT_NE(choice, nullptr);
  ASSERT_TRUE(SetCheck(choice, IDC_IMPORT_REPLACE, true));
  EXPECT_TRUE(SavePicture("import-choice.png", choice));
  Click(choice, IDOK);
  ASSERT_TRUE(WaitGone(choice));
  ASSERT_TRUE(WaitFor([&] { return FieldText(settings, IDC_STATUS) == Ansi(L"ルール 4 件を読み込みました。"); }))
      << FieldText(settings, IDC_STATUS);
  EXPECT_EQ(ReadWholeFile(ini), before);
  const std::vector<HeldTarget> imported = held();
  ASSERT_EQ(imported.size(), exportedRules.size());
  for (size_t i = 0; i < imported.size(); ++i) EXPECT_TRUE(Same(imported[i].record, exportedRules[i].record)) << i;
  // Added after the list's own, the same rules come twice.
  ASSERT_TRUE(FileCommand(settings, IDC_IMPORT, exported));
  choice = WaitOwnedWindow(settings, IDC_IMPORT_REPLACE);
  ASSERT_NE(choice, nullptr);
  Click(choice, IDOK);
  EXPECT_TRUE(WaitFor([&] { return held().size() == 8 && Same(held()[7].record, exportedRules[3].record); }));
  PostMessageA(settings, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitGone(settings));
}

// The program's real main window on a thread of this process (which exports OpenSharedMemory and
// CloseSharedMemory as the program does): what it is asked for help, and its handling of a deletion held
// back, for an answer that comes late.
HANDLE g_letGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
WNDPROC g_mainProc = nullptr;
std::atomic<uint64_t> g_help{0};  // the last WM_USER+8: its wParam in the high half, its lParam in the low
LRESULT CALLBACK HoldingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kMsgHelpRequest) {
    g_help = uint64_t{wParam} << 32 | static_cast<uint32_t>(lParam);
    return 0;
  }
  if (message == kMsgDeleteRecord) WaitForSingleObject(g_letGo, 30000);
  return CallWindowProcA(g_mainProc, window, message, wParam, lParam);
}
unsigned __stdcall RunMainWindow(void* param) {
  auto* block = static_cast<SharedBlock*>(param);
  MainWindowHost host;
  lstrcpyA(block->companionPath, (ExeDir() + "PlenaraDLL.dll").c_str());
  AttachBlock(block);
  g_mainProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(host.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HoldingProc)));
  block->mainWindow = HandleValue(host.Window());
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  // Nothing to save at shutdown, which closes the settings window and waits for its thread.
  block->companionPath[0] = '\0';
  return 0;
}
// F1 reaches a control as this message; the control hands it on as WM_HELP.
constexpr UINT kMsgKeyF1 = 0x004D;
// What the program is asked for after F1 on control id (or a click on it): 8 and the help topic's number.
std::pair<uint64_t, uint64_t> HelpAsked(HWND dialog, int id, bool click) {
  g_help = 0;
  if (click) {
    Click(dialog, id);
  } else {
    SendMessageA(GetDlgItem(dialog, id), kMsgKeyF1, 0, 0);
  }
  WaitFor([] { return g_help != 0; });
  return {g_help >> 32, g_help & 0xFFFFFFFF};
}

// The rows say what each rule does; every field and button asks for its own help topic; and an answer
// that comes late is not taken for the rule now in its place.
TEST(SettingsWindow, RowsHelpAndALateAnswerOnTheProgramsMainWindow) {
  BlockView view;
  SharedBlock* block = view.Get();
  ASSERT_TRUE(block && !view.Existed()) << "another Plenara holds the block";
  unsigned programId = 0;
  HANDLE program = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunMainWindow, block, 0, &programId));
  ASSERT_TRUE(WaitFor([&] { return block->mainWindow != 0; }));
  TargetRecord placing = NewRule(L"C", "Notepad", kMatchEquals);
  placing.sizeAction = kSizeSet;
  placing.widthSpec = {kSizeAbsolute, {}, 640};
  placing.heightSpec = {kSizePercent, {}, 50};
  placing.positionAction = kPositionSet;
  placing.xSpec = {kAnchorFar, kOffsetPixels, {}, 10};
  placing.ySpec = {kAnchorNear, kOffsetFlush, {}, 0};
  placing.close = 1;
  placing.applyOnce = 0;
  for (const TargetRecord& rule : {NewRule(L"A"), NewRule(L"B"), placing}) {
    block->transferRecord = rule;
    ASSERT_EQ(SendMessageA(HandleOf(block->mainWindow), kMsgInsertRecord, block->NumOfTargets, -1), 0);
  }
  PostMessageA(HandleOf(block->mainWindow), WM_COMMAND, kCmdSettings, 0);
  ASSERT_TRUE(WaitFor([&] { return block->propertyWindow && Rows(HandleOf(block->propertyWindow)) == 3; }));
  HWND window = HandleOf(block->propertyWindow);
  // Row, column and text: name, class, title, what it does, enabled, once.
  const struct { int row, column; const wchar_t* text; } cells[] = {
      {0, 0, L"A"}, {0, 1, L"(すべて)"}, {0, 3, L"何もしない"}, {0, 4, L"はい"}, {0, 5, L"はい"},
      {2, 1, L"Notepad と一致"}, {2, 2, L"(すべて)"}, {2, 3, L"大きさ 640×50%、位置 右から10・上端、閉じる"},
      {2, 4, L"はい"}, {2, 5, L"いいえ"},
  };
  RemoteList list(GetCurrentProcess(), GetDlgItem(window, IDC_TARGETS));
  for (const auto& c : cells) EXPECT_EQ(list.Cell(c.row, c.column), Ansi(c.text)) << c.row << "," << c.column;
  const auto topics = [](HWND dialog, std::initializer_list<std::tuple<int, bool, uint64_t>> asked) {
    for (const auto& [id, click, topic] : asked) {
      EXPECT_EQ(HelpAsked(dialog, id, click), std::make_pair(uint64_t{8}, topic)) << "control " << id;
    }
  };
  topics(window, {{IDC_HELP_BUTTON, true, 1000}, {IDC_TARGETS, false, 1101}, {IDC_CHILD_ADD, false, 1309},
                  {IDC_INTERVAL, false, 1201}, {IDC_STOP, false, 1205}});
  HWND editor = OpenEditor(window);
  ASSERT_NE(editor, nullptr);
  topics(editor, {{IDC_WIDTH, false, 1303}, {IDC_X, false, 1304}, {IDC_NAME, false, 1310},
                  {IDC_ENABLED, false, 1307}, {IDC_RULE_HELP, true, 1300}});
  Click(editor, IDCANCEL);
  ASSERT_TRUE(WaitGone(editor));
  PostMessageA(HandleOf(block->mainWindow), WM_COMMAND, kCmdAbout, 0);
  ASSERT_TRUE(WaitFor([&] { return block->aboutWindow && IsWindowVisible(HandleOf(block->aboutWindow)); }));
  HWND about = HandleOf(block->aboutWindow);
  topics(about, {{IDOK, false, 1500}});
  PostMessageA(about, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !block->aboutWindow; }));
  // The first row is deleted, but the program gets to it only after the window gave up waiting. The rule
  // still shows there and the user deletes it again; meanwhile the program catches up. The next rule, now
  // in that row, stays, whether the user answers before the window has read the list again or after: the
  // window says why and shows the list as it is.
  const auto names = [&] {
    std::string text;
    for (int32_t i = 0; i < block->NumOfTargets; ++i) text += RuleName(TargetsOf(block)[i].record);
    return text;
  };
  for (const auto& [afterReading, left] : {std::pair{false, "BC"}, std::pair{true, "C"}}) {
    SCOPED_TRACE(afterReading ? "answered after the list was read again" : "answered before");
    const LRESULT rows = Rows(window);
    ResetEvent(g_letGo);
    Click(window, IDC_TARGET_DELETE);
    ASSERT_TRUE(Answer(window, IDYES));
    ASSERT_TRUE(Answer(window, IDOK)) << "no word that the program did not answer";
    Click(window, IDC_TARGET_DELETE);
    HWND question = WaitOwnedWindow(window, IDYES);
    ASSERT_NE(question, nullptr);
    SetEvent(g_letGo);
    ASSERT_TRUE(WaitFor([&] { return block->NumOfTargets == rows - 1 && (!afterReading || Rows(window) == rows - 1); }));
    Click(question, IDYES);
    EXPECT_TRUE(Answer(window, IDOK)) << "the second deletion was carried out";
    EXPECT_EQ(names(), left);
    EXPECT_TRUE(WaitFor([&] { return Rows(window) == rows - 1; }));
  }
  PostThreadMessageA(programId, WM_QUIT, 0, 0);
  EXPECT_EQ(WaitForSingleObject(program, 20000), WAIT_OBJECT_0);
  EXPECT_EQ(block->propertyWindow, 0u);
  CloseHandle(program);
  CloseHandle(g_letGo);
}

}  // namespace
