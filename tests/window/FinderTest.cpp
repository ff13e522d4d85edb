// The finishing touches on the real program: the rule editor's window
// finder dragged with the mouse over another program's windows, top-level
// and MDI child, and the "start with Windows" entry in the registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "MonitorTestSupport.h"
#include "PlenaraInstance.h"
#include "WindowDriver.h"
#include "settings/window/StartupEntry.h"
#include "settings/window/WindowIds.h"

namespace {

int Choice(HWND dialog, int id) { return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0)); }

POINT CenterOf(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// The mouse, through xdotool on the test display.
bool MoveMouseTo(POINT to) {
  RunHostCommand("/usr/bin/xdotool mousemove " + std::to_string(to.x) + " " + std::to_string(to.y));
  return WaitFor([&] {
    POINT now = {};
    GetCursorPos(&now);
    return now.x == to.x && now.y == to.y;
  }, 5000);
}

void LeftButton(const char* upOrDown) { RunHostCommand(std::string("/usr/bin/xdotool mouse") + upOrDown + " 1"); }

// The window that holds the mouse in window's thread, or null.
HWND CaptureOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndCapture : nullptr;
}

BOOL CALLBACK CollectBar(HWND window, LPARAM param) {
  char name[32] = {};
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpiA(name, "Static") == 0 && IsWindowVisible(window)) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  }
  return TRUE;
}

// The finder's frame: the visible static windows of the editor's thread.
std::vector<HWND> FrameBars(HWND editor) {
  std::vector<HWND> bars;
  EnumThreadWindows(GetWindowThreadProcessId(editor, nullptr), CollectBar, reinterpret_cast<LPARAM>(&bars));
  return bars;
}

class FinderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fixture_.Ready());
    ASSERT_TRUE(StartReal(plenara_));
    window_ = OpenWindow(plenara_, kCmdSettings);
    ASSERT_NE(window_, nullptr);
  }
  // A test that stopped half-way through a drag must not leave the button down.
  void TearDown() override {
    LeftButton("up");
    fixture_.DestroyAll();
  }

  // Takes the finder of editor with the mouse, moves it onto target and,
  // with the button still down there, runs whileOver; then lets go.
  void DragFinderOnto(HWND editor, POINT target, const std::function<void()>& whileOver) {
    const POINT start = CenterOf(GetDlgItem(editor, IDC_FINDER));
    ASSERT_TRUE(MoveMouseTo(start));
    LeftButton("down");
    ASSERT_TRUE(WaitFor([&] { return CaptureOf(editor) == editor; })) << "the finder did not take the mouse";
    ASSERT_TRUE(MoveMouseTo(POINT{(start.x + target.x) / 2, (start.y + target.y) / 2}) && MoveMouseTo(target));
    whileOver();
    LeftButton("up");
    ASSERT_TRUE(WaitFor([&] { return CaptureOf(editor) != editor; })) << "the finder kept the mouse";
  }

  Fixture& fixture_ = SharedFixture();
  PlenaraInstance plenara_{Companion::kReal};
  HWND window_ = nullptr;
};

TEST_F(FinderTest, DraggedOntoATopLevelWindowItFillsItsClassAndTitle) {
  const std::string title = Ansi(L"ファインダーの的");
  HWND target = fixture_.Top("PlenaraFinderTop", title.c_str(), Box{4, 4, 160, 120});
  ASSERT_NE(target, nullptr);
  HWND editor = OpenEditor(window_);
  ASSERT_NE(editor, nullptr);

  DragFinderOnto(editor, CenterOf(target), [&] {
    // While dragging: what is under the mouse, and a frame around it.
    EXPECT_TRUE(WaitFor([&] {
      return FieldText(editor, IDC_FINDER_CLASS).find("PlenaraFinderTop") != std::string::npos &&
             FieldText(editor, IDC_FINDER_TITLE).find(title) != std::string::npos &&
             FieldText(editor, IDC_FINDER_RECT).find("160") != std::string::npos;
    })) << FieldText(editor, IDC_FINDER_CLASS) << " / " << FieldText(editor, IDC_FINDER_TITLE) << " / "
        << FieldText(editor, IDC_FINDER_RECT);
    EXPECT_TRUE(WaitFor([&] { return FrameBars(editor).size() == 4; })) << FrameBars(editor).size() << " bars";
    RECT expected;
    RECT frame = {};
    GetWindowRect(target, &expected);
    for (HWND bar : FrameBars(editor)) {
      RECT rect;
      GetWindowRect(bar, &rect);
      UnionRect(&frame, &frame, &rect);
    }
    EXPECT_TRUE(EqualRect(&frame, &expected));
    // The editor and the framed window in one picture, for people to look at.
    RECT editorRect;
    GetWindowRect(editor, &editorRect);
    UnionRect(&frame, &frame, &editorRect);
    EXPECT_TRUE(SavePicture(frame, "rule-editor-finder.png"));
  });
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_TRUE(FrameBars(editor).empty()) << "the frame stayed on screen";
  EXPECT_EQ(FieldText(editor, IDC_CLASS), "PlenaraFinderTop");
  EXPECT_EQ(Choice(editor, IDC_CLASS_MODE), kMatchEquals);
  EXPECT_EQ(FieldText(editor, IDC_TITLE), title);
  EXPECT_EQ(Choice(editor, IDC_TITLE_MODE), kMatchEquals);
}

TEST_F(FinderTest, DraggedOntoAnMdiChildItOffersAChildRuleOfTheFramesRule) {
  HWND frame = fixture_.MdiFrame("PlenaraFinderFrame", "Finder frame", Box{4, 300, 165, 250});
  ASSERT_NE(frame, nullptr);
  HWND child = fixture_.MdiChild(frame, "PlenaraFinderChild", "Finder child", Box{0, 0, 140, 100});
  ASSERT_NE(child, nullptr);
  HANDLE process = plenara_.Process().Handle();

  for (int round = 0; round < 2; ++round) {
    HWND editor = OpenEditor(window_);
    ASSERT_NE(editor, nullptr);
    DragFinderOnto(editor, CenterOf(child), [&] {
      EXPECT_TRUE(WaitFor([&] { return FieldText(editor, IDC_FINDER_CLASS).find("PlenaraFinderChild") != std::string::npos; }))
          << "class line: " << FieldText(editor, IDC_FINDER_CLASS);
      EXPECT_NE(FieldText(editor, IDC_FINDER_HINT).find("Finder frame"), std::string::npos);
    });
    ASSERT_FALSE(HasFatalFailure());
    // The first time a rule for the frame is made with it; the second time
    // the rule is there already.
    HWND question = WaitOwnedWindow(editor, IDYES);
    ASSERT_NE(question, nullptr);
    Click(question, IDYES);
    ASSERT_TRUE(WaitGone(question));
    EXPECT_EQ(FieldText(editor, IDC_CLASS), "PlenaraFinderChild");
    EXPECT_EQ(FieldText(editor, IDC_TITLE), "Finder child");
    EXPECT_NE(FieldText(editor, IDC_REFERENCE_NOTE).find("Finder frame"), std::string::npos);
    Click(editor, IDOK);
    ASSERT_TRUE(WaitGone(editor));
    const size_t children = round + 1;
    ASSERT_TRUE(WaitForRules(process, [&](const HeldRules& l) { return l.size() == 1 && l[0].children.size() == children; }));
  }
  const HeldRules rules = ProgramRules(process);
  EXPECT_STREQ(rules[0].record.classPattern, "PlenaraFinderFrame");
  EXPECT_EQ(rules[0].record.classMatch, kMatchEquals);
  EXPECT_EQ(rules[0].record.titleMatch, kMatchAny);
  EXPECT_STREQ(RuleName(rules[0].record), "Finder frame");
  for (const TargetRecord& rule : rules[0].children) {
    EXPECT_STREQ(rule.classPattern, "PlenaraFinderChild");
    EXPECT_STREQ(rule.titlePattern, "Finder child");
    EXPECT_EQ(rule.titleMatch, kMatchEquals);
  }
}

std::string RunValue() {
  char data[1024] = {};
  DWORD size = sizeof data;
  if (RegGetValueA(HKEY_CURRENT_USER, kRunKey, kRunValue, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
    return "(none)";
  }
  return data;
}

void SetRunValue(const std::string& command) {
  RegSetKeyValueA(HKEY_CURRENT_USER, kRunKey, kRunValue, REG_SZ, command.c_str(), static_cast<DWORD>(command.size() + 1));
}

class StartupEntryTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, kRunValue); }
  void TearDown() override { RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, kRunValue); }

  HWND Reopen(HWND window) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    WaitGone(window);
    return OpenWindow(plenara_, kCmdSettings);
  }

  PlenaraInstance plenara_{Companion::kReal};
};

TEST_F(StartupEntryTest, TheBoxAddsAndRemovesTheEntryAndShowsWhatIsThere) {
  ASSERT_TRUE(StartReal(plenara_));
  HWND window = OpenWindow(plenara_, kCmdSettings);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsDlgButtonChecked(window, IDC_START_WITH_WINDOWS));

  SetCheck(window, IDC_START_WITH_WINDOWS, true);
  ASSERT_TRUE(WaitFor([&] { return RunValue() != "(none)"; }));
  EXPECT_EQ(lstrcmpiA(RunValue().c_str(), ("\"" + plenara_.ExePath() + "\"").c_str()), 0) << RunValue();
  SetCheck(window, IDC_START_WITH_WINDOWS, false);
  ASSERT_TRUE(WaitFor([&] { return RunValue() == "(none)"; }));

  // Opened again, the box shows the registry as it is.
  SetRunValue("\"" + plenara_.ExePath() + "\"");
  window = Reopen(window);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsDlgButtonChecked(window, IDC_START_WITH_WINDOWS));
  SetRunValue("\"C:\\elsewhere\\Plenara.exe\"");
  window = Reopen(window);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsDlgButtonChecked(window, IDC_START_WITH_WINDOWS));
  // Checking it puts this program in the other one's place.
  SetCheck(window, IDC_START_WITH_WINDOWS, true);
  ASSERT_TRUE(WaitFor([&] { return RunValue().find("elsewhere") == std::string::npos && RunValue() != "(none)"; }));
}

}  // namespace
