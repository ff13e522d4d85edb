// The settings window in this process, on a stand-in main window whose
// thread the test controls: help requests, a program that does not answer
// in time, a refused change half-way through a copy, and a close while the
// program answers nothing at all. This executable exports OpenSharedMemory
// and CloseSharedMemory as the program does and holds the real block name.
#include <gtest/gtest.h>
#include <windows.h>

#include <process.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "WindowDriver.h"
#include "app/Commands.h"
#include "settings/SettingsModel.h"
#include "settings/window/HelpTopics.h"
#include "settings/window/WindowIds.h"
#include "shared/SharedBlock.h"
#include "targets/TargetStore.h"

namespace {

constexpr char kHostClass[] = "PlenaraWindowTestHost";
// F1 as the system hands it to the control with the focus.
constexpr UINT kMsgKeyF1 = 0x004D;

struct HostLog {
  std::vector<std::pair<WPARAM, LPARAM>> helpRequests;
  std::vector<WORD> commands;
  bool failNextChildInsert = false;
};
HostLog g_host;

// The program's main window as far as the settings window can tell: the
// real rule-list handlers, and a record of help requests and commands.
LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kMsgGetRecord:
      return GetRecord(wParam, lParam);
    case kMsgGetChildCount:
      return GetChildCount(wParam, lParam);
    case kMsgInsertRecord:
      if (g_host.failNextChildInsert && static_cast<int32_t>(lParam) >= 0) {
        g_host.failNextChildInsert = false;
        FailNextRuleGrowths(1);
      }
      return InsertRecord(wParam, lParam);
    case kMsgDeleteRecord:
      return DeleteRecord(wParam, lParam);
    case kMsgSetRecord:
      return SetRecord(wParam, lParam);
    case kMsgApplySettings:
      return ApplySettings(wParam, lParam);
    case kMsgHelpRequest:
      g_host.helpRequests.emplace_back(wParam, lParam);
      return 0;
    case WM_COMMAND:
      g_host.commands.push_back(LOWORD(wParam));
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// The program's failed-insertion message box, closed as a user would.
void CALLBACK CloseInsertionMessage(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = FindWindowA("#32770", nullptr);
  while (box) {
    DWORD pid = 0;
    if (GetWindowThreadProcessId(box, &pid) == GetCurrentThreadId()) {
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      return;
    }
    box = FindWindowExA(nullptr, box, "#32770", nullptr);
  }
}

unsigned __stdcall RunExport(void* name) {
  HMODULE module = LoadLibraryA((ExeDir() + "PlenaraDLL.dll").c_str());
  if (!module) return 1;
  using Export = void(WINAPI*)();
  if (auto entry = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module, static_cast<char*>(name))))) {
    entry();
  }
  FreeLibrary(module);
  return 0;
}

class WindowModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int32_t existed = 1;
    mapping_ = OpenSharedMemory(kBlockName, &view_, kBlockSize, &existed);
    ASSERT_NE(mapping_, nullptr);
    ASSERT_EQ(existed, 0) << "another Plenara holds the block";
    AttachBlock(block());
    std::strcpy(block()->iniPath, dir_.File("Plenara.ini").c_str());
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kHostClass;
    RegisterClassExA(&wc);
    host_ = CreateWindowExA(0, kHostClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    block()->mainWindow = HandleValue(host_);
    g_host = HostLog{};
    RunExport(const_cast<char*>("ReadSetting"));
  }

  void TearDown() override {
    if (thread_) {
      if (HWND window = HandleOf(block()->propertyWindow)) PostMessageA(window, WM_CLOSE, 0, 0);
      WaitFor([&] { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; }, 20000);
      CloseHandle(thread_);
    }
    if (host_) DestroyWindow(host_);
    UnregisterClassA(kHostClass, GetModuleHandleA(nullptr));
    if (!mapping_) return;
    FreeTargets();
    AttachBlock(nullptr);
    CloseSharedMemory(mapping_, view_);
  }

  SharedBlock* block() const { return static_cast<SharedBlock*>(view_); }

  // The settings window on a worker thread with the program's small stack.
  HWND Open() {
    thread_ = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 4096, RunExport, const_cast<char*>("OpenPropertyWindow"), 0, nullptr));
    HWND window = nullptr;
    WaitFor([&] { return (window = HandleOf(block()->propertyWindow)) != nullptr && IsWindowVisible(window); }, 20000);
    return window;
  }

  void AddTarget(const char* name, int children) {
    TargetRecord record = DefaultRule();
    std::strcpy(RuleName(record), name);
    block()->transferRecord = record;
    ASSERT_EQ(InsertRecord(block()->NumOfTargets, -1), 0);
    const int32_t parent = block()->NumOfTargets - 1;
    for (int k = 0; k < children; ++k) {
      std::strcpy(RuleName(block()->transferRecord), ("child " + std::to_string(k)).c_str());
      ASSERT_EQ(InsertRecord(k, parent), 0);
    }
  }

  bool WaitHelp(LPARAM topic) {
    return WaitFor([&] {
      for (const auto& request : g_host.helpRequests) {
        if (request.first == kHelpRequestContext && request.second == topic) return true;
      }
      return false;
    });
  }

  // Keeps this thread, the program's stand-in, from answering anything.
  static void StayDeaf(DWORD ms) {
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    WaitForSingleObject(never, ms);
    CloseHandle(never);
  }

  ScratchDir dir_{"plenara-window"};
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
  HWND host_ = nullptr;
  HANDLE thread_ = nullptr;
};

TEST_F(WindowModuleTest, HelpAsksTheProgramForThePageOrTheField) {
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  Click(window, IDC_HELP_BUTTON);
  EXPECT_TRUE(WaitHelp(IDH_SETTINGS_WINDOW));
  // F1 reaches a control as WM_KEYF1; the control hands it on as WM_HELP.
  SendMessageA(GetDlgItem(window, IDC_TARGETS), kMsgKeyF1, 0, 0);
  EXPECT_TRUE(WaitHelp(IDH_SETTINGS_RULE_LIST));
  SendMessageA(GetDlgItem(window, IDC_INTERVAL), kMsgKeyF1, 0, 0);
  EXPECT_TRUE(WaitHelp(IDH_SETTINGS_INTERVAL));
  SendMessageA(GetDlgItem(window, IDC_START_WITH_WINDOWS), kMsgKeyF1, 0, 0);
  EXPECT_TRUE(WaitHelp(IDH_SETTINGS_START_WITH_WINDOWS));

  Click(window, IDC_TARGET_ADD);
  HWND editor = WaitOwnedWindow(window, IDC_NAME);
  ASSERT_NE(editor, nullptr);
  SendMessageA(GetDlgItem(editor, IDC_WIDTH), kMsgKeyF1, 0, 0);
  EXPECT_TRUE(WaitHelp(IDH_RULE_SIZE));
  SendMessageA(GetDlgItem(editor, IDC_CLASS_MODE), kMsgKeyF1, 0, 0);
  EXPECT_TRUE(WaitHelp(IDH_RULE_CLASS));
  Click(editor, IDC_RULE_HELP);
  EXPECT_TRUE(WaitHelp(IDH_RULE_EDITOR));
  Click(editor, IDCANCEL);
  EXPECT_TRUE(WaitGone(editor));
  EXPECT_EQ(block()->NumOfTargets, 0);
}

TEST_F(WindowModuleTest, StartAndStopArePostedToTheProgram) {
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  block()->monitoringEnabled = 0;
  PostMessageA(window, kMsgStateChanged, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(window, IDC_START)) != 0; }));
  Click(window, IDC_START);
  ASSERT_TRUE(WaitFor([&] { return !g_host.commands.empty(); }));
  EXPECT_EQ(g_host.commands.back(), kCmdStart);
}

TEST_F(WindowModuleTest, AnUnansweredChangeIsToldAndTheListIsReadAgain) {
  AddTarget("one", 0);
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitFor([&] { return ListRowCount(window, IDC_TARGETS) == 1; }));
  Click(window, IDC_TARGET_COPY);
  StayDeaf(3000 + 1500);
  // The window gave up waiting and says so.
  HWND message = WaitOwnedWindow(window, IDOK);
  ASSERT_NE(message, nullptr);
  EXPECT_NE(FieldText(message, 0xFFFF).find(Ansi(L"応答しない")), std::string::npos);
  Click(message, IDOK);
  ASSERT_TRUE(WaitGone(message));
  // Whether the late copy was made or dropped is the system's affair; the
  // original is there, and once the program answers again the window shows
  // what it holds.
  ASSERT_GE(block()->NumOfTargets, 1);
  EXPECT_STREQ(RuleName(TargetsOf(block())[0].record), "one");
  EXPECT_TRUE(WaitFor([&] { return ListRowCount(window, IDC_TARGETS) == block()->NumOfTargets; }));
  EXPECT_TRUE(WaitFor([&] { return FieldText(window, IDC_STATUS) == Ansi(L"Plenara から一覧を読み直しました。直前の変更が反映されているか確かめてください。"); }));
}

TEST_F(WindowModuleTest, ARefusedStepHalfWayThroughACopyLeavesTheListAsItWas) {
  AddTarget("parent", 2);
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitFor([&] { return ListRowCount(window, IDC_TARGETS) == 1; }));
  g_host.failNextChildInsert = true;
  const UINT_PTR closer = SetTimer(nullptr, 0, 100, CloseInsertionMessage);
  Click(window, IDC_TARGET_COPY);
  HWND message = WaitOwnedWindow(window, IDOK);
  KillTimer(nullptr, closer);
  ASSERT_NE(message, nullptr);
  Click(message, IDOK);
  ASSERT_TRUE(WaitGone(message));
  // The copy's first child was refused: the half-made copy went again.
  ASSERT_EQ(block()->NumOfTargets, 1);
  EXPECT_STREQ(RuleName(TargetsOf(block())[0].record), "parent");
  EXPECT_EQ(TargetsOf(block())[0].NumOfChildren, 2);
  EXPECT_EQ(ListRowCount(window, IDC_TARGETS), 1);
}

TEST_F(WindowModuleTest, WindowClosesWhileTheProgramAnswersNothing) {
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  Click(window, IDC_TARGET_ADD);
  HWND editor = WaitOwnedWindow(window, IDC_NAME);
  ASSERT_NE(editor, nullptr);
  Choose(editor, IDC_SIZE_ACTION, kSizeSet);
  Choose(editor, IDC_WIDTH_MODE, kSizeAbsolute);
  Type(editor, IDC_WIDTH, L"x");
  Click(editor, IDOK);
  ASSERT_NE(WaitOwnedWindow(editor, IDOK), nullptr);
  // As at the program's shutdown: WM_CLOSE, then a wait that handles nothing.
  const DWORD start = GetTickCount();
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(thread_, 10000), WAIT_OBJECT_0);
  EXPECT_LT(GetTickCount() - start, 5000u);
  EXPECT_EQ(block()->propertyWindow, 0u);
  EXPECT_EQ(GetModuleHandleA("PlenaraDLL.dll"), nullptr);
}

// --- how the windows look and answer the keyboard ---

struct Control {
  HWND window;
  int id;
  std::string className;
  std::string text;
  LONG style;
};

std::vector<Control> ControlsInTabOrder(HWND dialog) {
  std::vector<Control> controls;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char name[64] = {};
    char text[256] = {};
    GetClassNameA(child, name, sizeof name);
    GetWindowTextA(child, text, sizeof text);
    controls.push_back({child, GetDlgCtrlID(child), name, text, GetWindowLongA(child, GWL_STYLE)});
  }
  return controls;
}

bool IsLabel(const Control& c) {
  return lstrcmpiA(c.className.c_str(), "Static") == 0 && !(c.style & SS_NOPREFIX) && (c.style & SS_TYPEMASK) != SS_ICON &&
         !c.text.empty();
}

bool IsPushOrCheck(const Control& c) {
  const LONG type = c.style & BS_TYPEMASK;
  return lstrcmpiA(c.className.c_str(), "Button") == 0 && type != BS_GROUPBOX;
}

// The access key of a text: the character after a single '&'.
char AccessKeyOf(const std::string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '&' && text[i + 1] != '&') {
      const char key = text[i + 1];
      return key >= 'a' && key <= 'z' ? static_cast<char>(key - 'a' + 'A') : key;
    }
  }
  return 0;
}

// Whether the text, drawn in the control's font, fits the control's width
// (less the box of a check box).
bool TextFits(const Control& c) {
  HDC dc = GetDC(c.window);
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(c.window, WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font);
  std::string shown;
  for (char ch : c.text) {
    if (ch != '&') shown += ch;
  }
  SIZE extent = {};
  GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(c.window, dc);
  RECT client;
  GetClientRect(c.window, &client);
  const LONG type = c.style & BS_TYPEMASK;
  const bool check = IsPushOrCheck(c) && (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX);
  const int room = client.right - (check ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : 0) - (IsPushOrCheck(c) && !check ? 4 : 0);
  return extent.cx <= room;
}

::testing::AssertionResult LooksRight(HWND dialog, size_t expectedKeys) {
  std::string problems;
  std::string keys;
  const std::vector<Control> controls = ControlsInTabOrder(dialog);
  for (size_t i = 0; i < controls.size(); ++i) {
    const Control& c = controls[i];
    if (!IsLabel(c) && !IsPushOrCheck(c)) continue;
    if (!TextFits(c)) problems += " clipped:'" + c.text + "'";
    const char key = AccessKeyOf(c.text);
    const bool commonButton = c.id == IDOK || c.id == IDCANCEL;
    if (!key && !commonButton && !(IsLabel(c) && c.text.back() != ':')) problems += " no access key:'" + c.text + "'";
    if (key && keys.find(key) != std::string::npos) problems += std::string(" access key used twice: ") + key;
    if (key) keys += key;
    // A label's access key moves the focus to the control after it.
    if (IsLabel(c) && key) {
      const bool followed = i + 1 < controls.size() && (GetWindowLongA(controls[i + 1].window, GWL_STYLE) & WS_TABSTOP);
      if (!followed) problems += " label without a field after it:'" + c.text + "'";
    }
  }
  if (keys.size() < expectedKeys) problems += " only these access keys: " + keys;
  if (problems.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << problems;
}

TEST_F(WindowModuleTest, LabelsFitAndEachHasAnAccessKeyOfItsOwn) {
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(LooksRight(window, 21));
  Click(window, IDC_TARGET_ADD);
  HWND editor = WaitOwnedWindow(window, IDC_NAME);
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(LooksRight(editor, 14));
  Click(editor, IDCANCEL);
  ASSERT_TRUE(WaitGone(editor));
}

// Keys as the dialog's keyboard handling sees them, at the control with the focus.
void PressKeyAt(HWND control, WPARAM key) {
  PostMessageA(control, WM_KEYDOWN, key, 0x00010001);
  PostMessageA(control, WM_KEYUP, key, 0xC0010001);
}

TEST_F(WindowModuleTest, EnterEditsEscapeClosesDeleteAsksFirst) {
  AddTarget("only", 0);
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  HWND list = GetDlgItem(window, IDC_TARGETS);
  ASSERT_TRUE(WaitFor([&] { return SelectedListRow(window, IDC_TARGETS) == 0; }));
  SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);

  PressKeyAt(list, VK_RETURN);
  HWND editor = WaitOwnedWindow(window, IDC_NAME);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(FieldText(editor, IDC_NAME), "only");
  // Esc in the editor cancels it; the rule stays as it was.
  Type(editor, IDC_NAME, L"changed");
  PressKeyAt(GetDlgItem(editor, IDC_NAME), VK_ESCAPE);
  ASSERT_TRUE(WaitGone(editor));
  EXPECT_STREQ(RuleName(TargetsOf(block())[0].record), "only");

  // Enter in the editor confirms it.
  PressKeyAt(list, VK_RETURN);
  editor = WaitOwnedWindow(window, IDC_NAME);
  ASSERT_NE(editor, nullptr);
  Type(editor, IDC_NAME, L"renamed");
  PressKeyAt(GetDlgItem(editor, IDC_NAME), VK_RETURN);
  ASSERT_TRUE(WaitGone(editor));
  EXPECT_TRUE(WaitFor([&] { return std::strcmp(RuleName(TargetsOf(block())[0].record), "renamed") == 0; }));

  // Delete asks first; "No" keeps the rule.
  PressKeyAt(list, VK_DELETE);
  HWND question = WaitOwnedWindow(window, IDNO);
  ASSERT_NE(question, nullptr);
  Click(question, IDNO);
  ASSERT_TRUE(WaitGone(question));
  EXPECT_EQ(block()->NumOfTargets, 1);

  // Esc closes the settings window itself.
  PressKeyAt(list, VK_ESCAPE);
  EXPECT_TRUE(WaitFor([&] { return block()->propertyWindow == 0; }));
}

}  // namespace
