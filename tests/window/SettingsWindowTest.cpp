// The settings window on the real program with the real settings module:
// a user's edits reach the program's rule list and settings exactly as
// typed, are saved at once, come back after a restart and place windows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "MonitorTestSupport.h"
#include "PlenaraInstance.h"
#include "RuleInput.h"
#include "WindowDriver.h"
#include "settings/window/WindowIds.h"

namespace {

RuleInput Placing(const wchar_t* className, const wchar_t* x, const wchar_t* y, const wchar_t* w, const wchar_t* h) {
  RuleInput input;
  input.className = className;
  input.classMatch = kMatchEquals;
  input.sizeAction = kSizeSet;
  input.widthMode = input.heightMode = kSizeAbsolute;
  input.width = w;
  input.height = h;
  input.position = true;
  input.xAnchor = input.yAnchor = kAnchorNear;
  input.xOffset = input.yOffset = kOffsetPixels;
  input.x = x;
  input.y = y;
  input.applyOnce = false;
  return input;
}

// Equal byte for byte; otherwise says where they differ.
::testing::AssertionResult SameRecord(const TargetRecord& a, const TargetRecord& b) {
  std::string where;
  for (size_t i = 0; i < sizeof a; ++i) {
    const int x = reinterpret_cast<const uint8_t*>(&a)[i];
    const int y = reinterpret_cast<const uint8_t*>(&b)[i];
    if (x != y) where += " " + std::to_string(i) + ":" + std::to_string(x) + "/" + std::to_string(y);
  }
  if (where.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "records differ at offset:held/expected" << where;
}

TargetRecord Renamed(TargetRecord record, const std::string& name) {
  std::memset(RuleName(record), 0, kRuleNameSize);
  std::strcpy(RuleName(record), name.c_str());
  return record;
}

// Opens the editor with a click on button, types input and confirms it.
void AddThroughEditor(HWND window, int button, const RuleInput& input) {
  Click(window, button);
  HWND editor = WaitOwnedWindow(window, IDC_NAME);
  ASSERT_NE(editor, nullptr);
  FillEditor(editor, input);
  EXPECT_EQ(FieldText(editor, IDC_RULE_STATUS), "") << "the editor refused what was typed";
  Click(editor, IDOK);
  ASSERT_TRUE(WaitGone(editor));
}

class SettingsWindowTest : public ::testing::Test {
 protected:
  PlenaraInstance plenara_{Companion::kReal};
};

TEST_F(SettingsWindowTest, EditsReachTheProgramAreSavedAndComeBackAfterARestart) {
  ASSERT_TRUE(StartReal(plenara_));
  HANDLE process = plenara_.Process().Handle();
  HWND window = OpenPropertyWindow(plenara_);
  ASSERT_NE(window, nullptr);

  RuleInput notepad = Placing(L"Notepad", L"-10", L"0", L"800", L"50");
  notepad.name = L"メモ帳を左上に";
  notepad.title = L"無題";
  notepad.titleMatch = kMatchBegins;
  notepad.heightMode = kSizePercent;
  notepad.yAnchor = kAnchorFar;
  notepad.yOffset = kOffsetFlush;
  notepad.activate = true;
  RuleInput child;
  child.name = L"子ウィンドウ";
  child.className = L"PlenaraFixtureChild";
  child.classMatch = kMatchContains;
  child.sizeAction = kSizeMaximize;
  RuleInput doomed;
  doomed.name = L"消す対象";
  doomed.enabled = false;

  AddThroughEditor(window, IDC_TARGET_ADD, notepad);
  AddThroughEditor(window, IDC_CHILD_ADD, child);
  ASSERT_TRUE(WaitForRules(process, [](const HeldRules& l) { return l.size() == 1 && l[0].children.size() == 1; }));

  // Edit: only the name changes; the child stays with its target.
  Click(window, IDC_TARGET_EDIT);
  HWND editor = WaitOwnedWindow(window, IDC_NAME);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(FieldText(editor, IDC_NAME), Ansi(notepad.name));
  Type(editor, IDC_NAME, L"メモ帳");
  Click(editor, IDOK);
  ASSERT_TRUE(WaitGone(editor));
  const std::string edited = Ansi(L"メモ帳");
  const std::string copied = edited + Ansi(L" のコピー");

  // Copy goes right after the original with its child; then up to the top.
  Click(window, IDC_TARGET_COPY);
  ASSERT_TRUE(WaitForRules(process, [&](const HeldRules& l) { return l.size() == 2 && l[1].children.size() == 1; }));
  ASSERT_TRUE(WaitFor([&] { return SelectedListRow(window, IDC_TARGETS) == 1; }));
  Click(window, IDC_TARGET_UP);
  ASSERT_TRUE(WaitFor([&] { return SelectedListRow(window, IDC_TARGETS) == 0; }));

  // Another target, deleted again once the question is answered.
  AddThroughEditor(window, IDC_TARGET_ADD, doomed);
  ASSERT_TRUE(WaitFor([&] { return SelectedListRow(window, IDC_TARGETS) == 2; }));
  EXPECT_TRUE(SameRecord(ProgramRules(process)[2].record, RecordOf(doomed)));
  Click(window, IDC_TARGET_DELETE);
  HWND question = WaitOwnedWindow(window, IDYES);
  ASSERT_NE(question, nullptr);
  Click(question, IDYES);
  ASSERT_TRUE(WaitForRules(process, [](const HeldRules& l) { return l.size() == 2; }));

  // The interval: what cannot be taken is named and not applied; full-width
  // digits are digits. Then the re-apply setting.
  Type(window, IDC_INTERVAL, L"12a");
  EXPECT_NE(FieldText(window, IDC_STATUS), "");
  Type(window, IDC_INTERVAL, L"49");
  EXPECT_NE(FieldText(window, IDC_STATUS).find("50"), std::string::npos);
  EXPECT_EQ(ActiveSettings().monitorInterval, 500);
  Type(window, IDC_INTERVAL, L"７５０");
  ASSERT_TRUE(WaitFor([] { return ActiveSettings().monitorInterval == 750; }));
  SetCheck(window, IDC_REAPPLY, false);
  ASSERT_TRUE(WaitFor([] { return ActiveSettings().reapplyOnWorkAreaChange == 0; }));

  const auto expectList = [&](const HeldRules& rules) {
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_TRUE(SameRecord(rules[0].record, Renamed(RecordOf(notepad), copied)));
    EXPECT_TRUE(SameRecord(rules[1].record, Renamed(RecordOf(notepad), edited)));
    for (const HeldTarget& target : rules) {
      ASSERT_EQ(target.children.size(), 1u);
      EXPECT_TRUE(SameRecord(target.children[0], RecordOf(child)));
    }
  };
  expectList(ProgramRules(process));
  // Saved at once: the file already holds the last change.
  const std::string ini = ReadWholeFile(plenara_.Dir().File("Plenara.ini"));
  EXPECT_NE(ini.find(copied), std::string::npos);
  EXPECT_NE(ini.find("750"), std::string::npos);

  ASSERT_EQ(plenara_.Close(), 0u);
  plenara_.Process().Kill();
  ASSERT_TRUE(StartReal(plenara_));
  expectList(ProgramRules(plenara_.Process().Handle()));
  EXPECT_EQ(ActiveSettings().monitorInterval, 750);
  EXPECT_EQ(ActiveSettings().reapplyOnWorkAreaChange, 0);
}

TEST_F(SettingsWindowTest, TheEditorNamesWhatItCannotTakeAndTheButtonsFollowTheState) {
  ASSERT_TRUE(StartReal(plenara_));
  HWND window = OpenPropertyWindow(plenara_);
  ASSERT_NE(window, nullptr);
  Click(window, IDC_TARGET_ADD);
  HWND editor = WaitOwnedWindow(window, IDC_NAME);
  ASSERT_NE(editor, nullptr);
  Choose(editor, IDC_SIZE_ACTION, kSizeSet);
  Choose(editor, IDC_WIDTH_MODE, kSizeAbsolute);
  Type(editor, IDC_WIDTH, L"-5");
  EXPECT_NE(FieldText(editor, IDC_RULE_STATUS).find("100000"), std::string::npos);
  // OK is refused with a message; the editor keeps what was typed.
  Click(editor, IDOK);
  HWND message = WaitOwnedWindow(editor, IDOK);
  ASSERT_NE(message, nullptr);
  Click(message, IDOK);
  ASSERT_TRUE(WaitGone(message));
  EXPECT_EQ(FieldText(editor, IDC_WIDTH), "-5");
  Type(editor, IDC_WIDTH, L"640");
  // 65 double-byte characters are 130 bytes: two too many for a pattern.
  std::wstring title(65, L'窓');
  Type(editor, IDC_TITLE, title.c_str());
  EXPECT_NE(FieldText(editor, IDC_RULE_STATUS).find("128"), std::string::npos);
  title.pop_back();
  Type(editor, IDC_TITLE, title.c_str());
  EXPECT_EQ(FieldText(editor, IDC_RULE_STATUS), "");
  // A character code page 932 cannot hold.
  Type(editor, IDC_CLASS, L"caf\u00e9");
  EXPECT_NE(FieldText(editor, IDC_RULE_STATUS), "");
  Type(editor, IDC_CLASS, L"cafe");
  Click(editor, IDOK);
  ASSERT_TRUE(WaitGone(editor));
  HANDLE process = plenara_.Process().Handle();
  ASSERT_TRUE(WaitForRules(process, [](const HeldRules& l) { return l.size() == 1; }));
  const TargetRecord record = ProgramRules(process)[0].record;
  EXPECT_EQ(record.widthSpec.value, 640);
  EXPECT_EQ(std::string(record.titlePattern, 128), Ansi(title.c_str()));
  EXPECT_STREQ(record.classPattern, "cafe");

  // Stop and start: the buttons follow the program's state, and the switch is saved.
  ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(GetDlgItem(window, IDC_START)); }));
  Click(window, IDC_STOP);
  ASSERT_TRUE(WaitFor([&] {
    return IsWindowEnabled(GetDlgItem(window, IDC_START)) && !IsWindowEnabled(GetDlgItem(window, IDC_STOP));
  }));
  ASSERT_TRUE(WaitFor([&] {
    return ReadWholeFile(plenara_.Dir().File("Plenara.ini")).find("Monitoring=off") != std::string::npos;
  }));
  Click(window, IDC_START);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(GetDlgItem(window, IDC_START)); }));
}

TEST_F(SettingsWindowTest, RulesMadeInTheWindowPlaceAnotherProgramsWindows) {
  Fixture& fixture = SharedFixture();
  ASSERT_TRUE(fixture.Ready());
  HWND top = fixture.Top("PlenaraPlacedTop", "placed", Box{700, 40, 200, 150});
  HWND frame = fixture.MdiFrame("PlenaraPlacedFrame", "frame", Box{700, 300, 300, 300});
  HWND child = frame ? fixture.MdiChild(frame, "PlenaraPlacedChild", "child", Box{40, 40, 120, 90}) : nullptr;
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(StartReal(plenara_));
  HWND window = OpenPropertyWindow(plenara_);
  ASSERT_NE(window, nullptr);

  AddThroughEditor(window, IDC_TARGET_ADD, Placing(L"PlenaraPlacedTop", L"16", L"24", L"320", L"240"));
  EXPECT_TRUE(WaitFor([&] {
    const Box box = BoxOf(top);
    return box.x == 16 && box.y == 24 && box.width == 320 && box.height == 240;
  }, 20000)) << "the window is at " << BoxOf(top).x << "," << BoxOf(top).y;

  // A rule for the frame, and a child rule under it placing the MDI child.
  RuleInput frameRule;
  frameRule.className = L"PlenaraPlacedFrame";
  frameRule.classMatch = kMatchEquals;
  AddThroughEditor(window, IDC_TARGET_ADD, frameRule);
  ASSERT_TRUE(WaitFor([&] { return SelectedListRow(window, IDC_TARGETS) == 1; }));
  AddThroughEditor(window, IDC_CHILD_ADD, Placing(L"PlenaraPlacedChild", L"5", L"6", L"160", L"120"));
  HWND client = GetParent(child);
  EXPECT_TRUE(WaitFor([&] {
    const Box box = ClientBoxOf(client, child);
    return box.x == 5 && box.y == 6 && box.width == 160 && box.height == 120;
  }, 20000)) << "the child is at " << ClientBoxOf(client, child).x << "," << ClientBoxOf(client, child).y;
  fixture.DestroyAll();
}

}  // namespace
