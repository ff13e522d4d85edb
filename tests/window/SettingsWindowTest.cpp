// A user's session with the settings window of the real program and the real
// settings module: opening it again and again leaves nothing behind; edits
// reach the program exactly as typed, are saved at once, outlast an exit with
// every window open and come back after a restart.
#include <utility>
#include <vector>

#include "WindowDriver.h"
#include "settings/window/StartupEntry.h"

namespace {

// The rule list as the program holds it, read from its memory.
struct HeldTarget {
  TargetRecord record;
  std::vector<TargetRecord> children;
};

std::vector<HeldTarget> ProgramRules(HANDLE process) {
  std::vector<HeldTarget> rules;
  BlockView block;
  if (!block.Existed() || block->NumOfTargets <= 0 || !block->targets) return rules;
  std::vector<TargetEntry> entries(block->NumOfTargets);
  if (!ReadProcessMemory(process, PointerOf<void>(block->targets), entries.data(), entries.size() * sizeof entries[0],
                         nullptr)) {
    return rules;
  }
  for (const TargetEntry& entry : entries) {
    rules.push_back({entry.record, std::vector<TargetRecord>(entry.children ? (std::max)(entry.NumOfChildren, 0) : 0)});
    ReadProcessMemory(process, PointerOf<void>(entry.children), rules.back().children.data(),
                      rules.back().children.size() * sizeof(TargetRecord), nullptr);
  }
  return rules;
}

bool Same(const TargetRecord& a, const TargetRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TargetRecord NewRule(const wchar_t* name, const char* className = "", uint8_t classMatch = kMatchAny) {
  TargetRecord rule = DefaultRule();
  std::strncpy(RuleName(rule), Ansi(name).c_str(), kMaxNameBytes);
  std::strncpy(rule.classPattern, className, kMaxPatternBytes);
  rule.classMatch = classMatch;
  return rule;
}

// Opens the editor with a click on button, types every field of r as a user
// would and confirms it.
void AddThroughEditor(HWND window, int button, const TargetRecord& r) {
  HWND editor = OpenEditor(window, button);
  ASSERT_NE(editor, nullptr);
  SetDlgItemTextA(editor, IDC_NAME, RuleName(r));
  SetDlgItemTextA(editor, IDC_CLASS, r.classPattern);
  SetDlgItemTextA(editor, IDC_TITLE, r.titlePattern);
  const std::pair<int, int> choices[] = {
      {IDC_CLASS_MODE, r.classMatch},     {IDC_TITLE_MODE, r.titleMatch},       {IDC_SIZE_ACTION, r.sizeAction},
      {IDC_WIDTH_MODE, r.widthSpec.mode}, {IDC_HEIGHT_MODE, r.heightSpec.mode}, {IDC_X_ANCHOR, r.xSpec.anchor},
      {IDC_X_OFFSET, r.xSpec.offsetKind}, {IDC_Y_ANCHOR, r.ySpec.anchor},       {IDC_Y_OFFSET, r.ySpec.offsetKind}};
  for (const auto& [id, choice] : choices) {
    SendDlgItemMessageA(editor, id, CB_SETCURSEL, choice, 0);
    SendMessageA(editor, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(editor, id)));
  }
  const std::pair<int, int> checks[] = {{IDC_POSITION, r.positionAction}, {IDC_ACTIVATE, r.activate},
                                        {IDC_CLOSE_WINDOW, r.close}, {IDC_ENABLED, r.enabled}, {IDC_APPLY_ONCE, r.applyOnce}};
  for (const auto& [id, on] : checks) ASSERT_TRUE(SetCheck(editor, id, on != 0));
  for (const auto& [id, value] : {std::pair{IDC_WIDTH, r.widthSpec.value}, std::pair{IDC_HEIGHT, r.heightSpec.value},
                                  std::pair{IDC_X, r.xSpec.value}, std::pair{IDC_Y, r.ySpec.value}}) {
    SetDlgItemInt(editor, id, static_cast<UINT>(value), TRUE);
  }
  EXPECT_EQ(FieldText(editor, IDC_RULE_STATUS), "") << "the editor refused what was typed";
  Click(editor, IDOK);
  ASSERT_TRUE(WaitGone(editor));
}

LRESULT SelectedRow(HWND window) { return SendDlgItemMessageA(window, IDC_TARGETS, LVM_GETNEXTITEM, -1, LVNI_SELECTED); }

// The open handles, found by trying to duplicate each possible handle value:
// the system's own count is not available here.
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

POINT CenterOf(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// What window's thread is doing with the mouse: which window holds it, or a move.
GUITHREADINFO ThreadOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info;
}

TEST(SettingsWindow, AUsersSession) {
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, kRunValue);
  Fixture& fixture = SharedFixture();
  const std::string frameTitle = Ansi(L"ファインダーの的");
  HWND frame = fixture.Ready() ? fixture.Top("PlenaraFinderTop", frameTitle.c_str(), Box{4, 4, 160, 120}) : nullptr;
  PlenaraInstance plenara(Companion::kReal);
  ASSERT_TRUE(frame && StartReal(plenara));
  const auto held = [&] { return ProgramRules(plenara.Process().Handle()); };
  const auto window = [] { return HandleOf(BlockView()->propertyWindow); };

  // The first opening comes by itself (no settings file yet); the second
  // settles what the system keeps once per process; ten more are counted.
  const DWORD pid = plenara.Process().Pid();
  int threads = 1 << 30;
  DWORD handles = 0;
  for (int i = 0; i < 12; ++i) {
    ASSERT_NE(OpenWindow(plenara, kCmdSettings), nullptr) << "opening " << i;
    PostMessageA(window(), WM_CLOSE, 0, 0);
    // The window's thread has ended before the next one opens.
    ASSERT_TRUE(WaitFor([&] { return !window() && ThreadCount(pid) <= threads; })) << "opening " << i;
    if (i == 1) threads = ThreadCount(pid), handles = HandleCount(plenara.Process().Handle());
  }
  EXPECT_GT(handles, 0u);
  EXPECT_LE(HandleCount(plenara.Process().Handle()), handles);

  TargetRecord target = NewRule(L"枠を左上に", "PlenaraPlacedFrame", kMatchEquals);
  std::strcpy(target.titlePattern, "placed");
  target.titleMatch = kMatchBegins;
  target.sizeAction = kSizeSet;
  target.widthSpec = {kSizeAbsolute, {}, 400};
  target.heightSpec = {kSizeExtentMinus, {}, -30};
  target.positionAction = kPositionSet;
  target.xSpec = {kAnchorNear, kOffsetPixels, {}, 16};
  target.ySpec = {kAnchorFar, kOffsetPercent, {}, -25};
  target.applyOnce = 0;
  target.activate = 1;
  TargetRecord child = NewRule(L"子ウィンドウ", "PlacedChild", kMatchContains);
  child.close = 1;
  TargetRecord doomed = NewRule(L"消す対象");
  doomed.enabled = 0;
  HWND settings = OpenWindow(plenara, kCmdSettings);
  ASSERT_NE(settings, nullptr);
  AddThroughEditor(settings, IDC_TARGET_ADD, target);
  AddThroughEditor(settings, IDC_CHILD_ADD, child);
  ASSERT_TRUE(WaitFor([&] { return held().size() == 1 && held()[0].children.size() == 1; }));
  // Edit: only the name changes; the child stays with its target.
  HWND editor = OpenEditor(settings, IDC_TARGET_EDIT);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(FieldText(editor, IDC_NAME), std::string(RuleName(target)));
  EXPECT_TRUE(SavePicture("rule-editor.png", editor));
  SetDlgItemTextW(editor, IDC_NAME, L"枠");
  Click(editor, IDOK);
  ASSERT_TRUE(WaitGone(editor));
  // A copy goes right after the original with its child; then up to the top.
  Click(settings, IDC_TARGET_COPY);
  ASSERT_TRUE(WaitFor([&] { return SelectedRow(settings) == 1 && held().size() == 2 && held()[1].children.size(); }));
  Click(settings, IDC_TARGET_UP);
  ASSERT_TRUE(WaitFor([&] { return SelectedRow(settings) == 0; }));
  // Another target, deleted again once the question is answered.
  AddThroughEditor(settings, IDC_TARGET_ADD, doomed);
  ASSERT_TRUE(WaitFor([&] { return SelectedRow(settings) == 2 && held().size() == 3; }));
  EXPECT_TRUE(Same(held()[2].record, doomed));
  Click(settings, IDC_TARGET_DELETE);
  HWND question = WaitOwnedWindow(settings, IDYES);
  ASSERT_NE(question, nullptr);
  Click(question, IDYES);
  ASSERT_TRUE(WaitFor([&] { return held().size() == 2; }));
  // The interval: a value out of range is named and not taken; full-width digits are digits.
  SetDlgItemTextW(settings, IDC_INTERVAL, L"49");
  EXPECT_NE(FieldText(settings, IDC_STATUS).find("50"), std::string::npos);
  EXPECT_EQ(BlockView()->activeSettings.monitorInterval, 500);
  SetDlgItemTextW(settings, IDC_INTERVAL, L"７５０");
  ASSERT_TRUE(WaitFor([] { return BlockView()->activeSettings.monitorInterval == 750; }));
  // "Start with Windows" puts this program in the Run key and takes it out again.
  ASSERT_TRUE(SetCheck(settings, IDC_START_WITH_WINDOWS, true));
  const std::string command = "\"" + plenara.ExePath() + "\"";
  EXPECT_TRUE(WaitFor([&] { return lstrcmpiA(RunValue().c_str(), command.c_str()) == 0; })) << RunValue();
  ASSERT_TRUE(SetCheck(settings, IDC_START_WITH_WINDOWS, false));
  EXPECT_TRUE(WaitFor([&] { return RunValue().empty(); })) << RunValue();

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
  // Saved at once: the file already holds the last change.
  const std::string ini = plenara.Dir().File("Plenara.ini");
  EXPECT_NE(ReadWholeFile(ini).find(copied), std::string::npos);
  EXPECT_NE(ReadWholeFile(ini).find("750"), std::string::npos);

  // The finder, dragged onto another program's window, fills in its class and
  // title. Nothing may stop the test before the button is up again.
  editor = OpenEditor(settings);
  ASSERT_NE(editor, nullptr);
  const POINT from = CenterOf(GetDlgItem(editor, IDC_FINDER)), to = CenterOf(frame);
  ASSERT_TRUE(MoveMouseTo(from));
  StartHostCommand("/usr/bin/xdotool mousedown 1");
  EXPECT_TRUE(WaitFor([&] { return ThreadOf(editor).hwndCapture == editor; })) << "the finder did not take the mouse";
  EXPECT_TRUE(MoveMouseTo(POINT{(from.x + to.x) / 2, (from.y + to.y) / 2}) && MoveMouseTo(to));
  EXPECT_TRUE(WaitFor([&] { return FieldText(editor, IDC_FINDER_CLASS).find("PlenaraFinderTop") != std::string::npos; }));
  EXPECT_TRUE(SavePicture("rule-editor-finder.png", editor, frame));
  StartHostCommand("/usr/bin/xdotool mouseup 1");
  ASSERT_TRUE(WaitFor([&] { return ThreadOf(editor).hwndCapture != editor; })) << "the finder kept the mouse";
  EXPECT_EQ(FieldText(editor, IDC_CLASS), "PlenaraFinderTop");
  EXPECT_EQ(SendDlgItemMessageA(editor, IDC_CLASS_MODE, CB_GETCURSEL, 0, 0), kMatchEquals);
  EXPECT_EQ(FieldText(editor, IDC_TITLE), frameTitle);
  EXPECT_EQ(SendDlgItemMessageA(editor, IDC_TITLE_MODE, CB_GETCURSEL, 0, 0), kMatchEquals);
  fixture.DestroyAll();

  // Exit with a message box over the editor over the window, and the about
  // box, both in a keyboard move (which ends only on a key): prompt, and the
  // file removed just before is written again.
  SetDlgItemTextW(editor, IDC_TITLE, std::wstring(65, L'窓').c_str());  // 130 bytes: two too many
  Click(editor, IDOK);
  HWND message = WaitOwnedWindow(editor, IDOK);
  HWND about = OpenWindow(plenara, kCmdAbout);
  ASSERT_TRUE(message && about);
  WaitFor([&] { return GetForegroundWindow() == about; });  // on top, for the picture
  EXPECT_EQ(FieldText(about, IDC_VERSION), Ansi(L"バージョン 1.0.0"));
  EXPECT_EQ(FieldText(about, IDC_INI_PATH), ini);
  EXPECT_TRUE(SavePicture("about-box.png", about));
  for (HWND moved : {message, about}) {
    PostMessageA(moved, WM_SYSCOMMAND, SC_MOVE, 0);
    ASSERT_TRUE(WaitFor([&] { return (ThreadOf(moved).flags & GUI_INMOVESIZE) != 0; }));
  }
  DeleteFileA(ini.c_str());
  const DWORD start = GetTickCount();
  ASSERT_EQ(plenara.Close(30000), 0u);
  EXPECT_LT(GetTickCount() - start, 8000u);
  EXPECT_NE(GetFileAttributesA(ini.c_str()), INVALID_FILE_ATTRIBUTES) << "not saved at exit";
  plenara.Process().Kill();
  ASSERT_TRUE(StartReal(plenara));
  expectList();
  EXPECT_EQ(BlockView()->activeSettings.monitorInterval, 750);
}

}  // namespace
