// The settings window on the real program with the real settings module:
// a user's edits reach the program's rule list and settings exactly as
// typed, are saved at once, come back after a restart and place windows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "MonitorTestSupport.h"
#include "PlenaraInstance.h"
#include "WindowDriver.h"
#include "settings/window/WindowIds.h"

namespace {

// A rule that sizes and places the windows of a class, again at every scan.
TargetRecord Placing(const wchar_t* name, const char* className, int32_t x, int32_t y, int32_t width, int32_t height) {
  TargetRecord rule = NewRule(name, className, kMatchEquals);
  rule.sizeAction = kSizeSet;
  rule.widthSpec = {kSizeAbsolute, {}, width};
  rule.heightSpec = {kSizeAbsolute, {}, height};
  rule.positionAction = kPositionSet;
  rule.xSpec = {kAnchorNear, kOffsetPixels, {}, x};
  rule.ySpec = {kAnchorNear, kOffsetPixels, {}, y};
  rule.applyOnce = 0;
  return rule;
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

// Opens the editor with a click on button, types every field of rule as a
// user would and confirms it.
void AddThroughEditor(HWND window, int button, const TargetRecord& rule) {
  HWND editor = OpenEditor(window, button);
  ASSERT_NE(editor, nullptr);
  const auto number = [&](int id, int32_t value) { SetDlgItemInt(editor, id, static_cast<UINT>(value), TRUE); };
  SetDlgItemTextA(editor, IDC_NAME, RuleName(rule));
  Choose(editor, IDC_CLASS_MODE, rule.classMatch);
  SetDlgItemTextA(editor, IDC_CLASS, rule.classPattern);
  Choose(editor, IDC_TITLE_MODE, rule.titleMatch);
  SetDlgItemTextA(editor, IDC_TITLE, rule.titlePattern);
  Choose(editor, IDC_SIZE_ACTION, rule.sizeAction);
  Choose(editor, IDC_WIDTH_MODE, rule.widthSpec.mode);
  number(IDC_WIDTH, rule.widthSpec.value);
  Choose(editor, IDC_HEIGHT_MODE, rule.heightSpec.mode);
  number(IDC_HEIGHT, rule.heightSpec.value);
  SetCheck(editor, IDC_POSITION, rule.positionAction == kPositionSet);
  Choose(editor, IDC_X_ANCHOR, rule.xSpec.anchor);
  Choose(editor, IDC_X_OFFSET, rule.xSpec.offsetKind);
  number(IDC_X, rule.xSpec.value);
  Choose(editor, IDC_Y_ANCHOR, rule.ySpec.anchor);
  Choose(editor, IDC_Y_OFFSET, rule.ySpec.offsetKind);
  number(IDC_Y, rule.ySpec.value);
  SetCheck(editor, IDC_ACTIVATE, rule.activate != 0);
  SetCheck(editor, IDC_CLOSE_WINDOW, rule.close != 0);
  SetCheck(editor, IDC_ENABLED, rule.enabled != 0);
  SetCheck(editor, IDC_APPLY_ONCE, rule.applyOnce != 0);
  EXPECT_EQ(FieldText(editor, IDC_RULE_STATUS), "") << "the editor refused what was typed";
  Click(editor, IDOK);
  ASSERT_TRUE(WaitGone(editor));
}

class SettingsWindowTest : public ::testing::Test {
 protected:
  PlenaraInstance plenara_{Companion::kReal};
};

TEST_F(SettingsWindowTest, EditsReachTheProgramPlaceWindowsAreSavedAndComeBackAfterARestart) {
  Fixture& fixture = SharedFixture();
  ASSERT_TRUE(fixture.Ready());
  HWND frame = fixture.MdiFrame("PlenaraPlacedFrame", "placed frame", Box{700, 300, 300, 300});
  HWND mdiChild = frame ? fixture.MdiChild(frame, "PlenaraPlacedChild", "child", Box{40, 40, 120, 90}) : nullptr;
  ASSERT_NE(mdiChild, nullptr);
  ASSERT_TRUE(StartReal(plenara_));
  HANDLE process = plenara_.Process().Handle();
  HWND window = OpenWindow(plenara_, kCmdSettings);
  ASSERT_NE(window, nullptr);

  TargetRecord frameRule = Placing(L"枠を左上に", "PlenaraPlacedFrame", 16, 24, 400, 300);
  std::strcpy(frameRule.titlePattern, "placed");
  frameRule.titleMatch = kMatchBegins;
  TargetRecord child = Placing(L"子ウィンドウ", "PlacedChild", 5, 6, 160, 120);
  child.classMatch = kMatchContains;
  TargetRecord doomed = NewRule(L"消す対象");
  doomed.enabled = 0;

  AddThroughEditor(window, IDC_TARGET_ADD, frameRule);
  AddThroughEditor(window, IDC_CHILD_ADD, child);
  ASSERT_TRUE(WaitForRules(process, [](const HeldRules& l) { return l.size() == 1 && l[0].children.size() == 1; }));
  // The rules place another program's window and the MDI child inside it.
  EXPECT_TRUE(WaitFor([&] {
    const Box box = BoxOf(frame);
    return box.x == 16 && box.y == 24 && box.width == 400 && box.height == 300;
  }, 20000)) << "the frame is at " << BoxOf(frame).x << "," << BoxOf(frame).y;
  EXPECT_TRUE(WaitFor([&] {
    const Box box = ClientBoxOf(GetParent(mdiChild), mdiChild);
    return box.x == 5 && box.y == 6 && box.width == 160 && box.height == 120;
  }, 20000)) << "the child is at " << ClientBoxOf(GetParent(mdiChild), mdiChild).x;

  // Edit: only the name changes; the child stays with its target.
  HWND editor = OpenEditor(window, IDC_TARGET_EDIT);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(FieldText(editor, IDC_NAME), std::string(RuleName(frameRule)));
  EXPECT_TRUE(SaveWindowPicture(editor, "rule-editor.png"));
  Type(editor, IDC_NAME, L"枠");
  Click(editor, IDOK);
  ASSERT_TRUE(WaitGone(editor));
  const std::string edited = Ansi(L"枠");
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
  EXPECT_TRUE(SameRecord(ProgramRules(process)[2].record, doomed));
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
  EXPECT_EQ(BlockView()->activeSettings.monitorInterval, 500);
  Type(window, IDC_INTERVAL, L"７５０");
  ASSERT_TRUE(WaitFor([] { return BlockView()->activeSettings.monitorInterval == 750; }));
  SetCheck(window, IDC_REAPPLY, false);
  ASSERT_TRUE(WaitFor([] { return BlockView()->activeSettings.reapplyOnWorkAreaChange == 0; }));

  const auto expectList = [&](const HeldRules& rules) {
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_TRUE(SameRecord(rules[0].record, Renamed(frameRule, copied)));
    EXPECT_TRUE(SameRecord(rules[1].record, Renamed(frameRule, edited)));
    for (const HeldTarget& target : rules) {
      ASSERT_EQ(target.children.size(), 1u);
      EXPECT_TRUE(SameRecord(target.children[0], child));
    }
  };
  expectList(ProgramRules(process));
  EXPECT_TRUE(SaveWindowPicture(window, "settings-window.png"));
  // Saved at once: the file already holds the last change.
  const std::string ini = ReadWholeFile(plenara_.Dir().File("Plenara.ini"));
  EXPECT_NE(ini.find(copied), std::string::npos);
  EXPECT_NE(ini.find("750"), std::string::npos);

  ASSERT_EQ(plenara_.Close(), 0u);
  plenara_.Process().Kill();
  ASSERT_TRUE(StartReal(plenara_));
  expectList(ProgramRules(plenara_.Process().Handle()));
  EXPECT_EQ(BlockView()->activeSettings.monitorInterval, 750);
  EXPECT_EQ(BlockView()->activeSettings.reapplyOnWorkAreaChange, 0);
  fixture.DestroyAll();
}

TEST_F(SettingsWindowTest, TheEditorNamesWhatItCannotTakeAndTheButtonsFollowTheState) {
  ASSERT_TRUE(StartReal(plenara_));
  HWND window = OpenWindow(plenara_, kCmdSettings);
  ASSERT_NE(window, nullptr);
  HWND editor = OpenEditor(window);
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

}  // namespace
