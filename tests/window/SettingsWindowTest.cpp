// The settings window on the real program with the real settings module:
// a user's edits reach the program's rule list and settings exactly as
// typed, are saved at once and come back after a restart.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "MonitorTestSupport.h"
#include "PlenaraInstance.h"
#include "RuleInput.h"
#include "WindowDriver.h"
#include "settings/CompanionState.h"
#include "settings/window/WindowIds.h"

namespace {

const RuleInput kNotepad = [] {
  RuleInput input;
  input.name = L"メモ帳を左上に";
  input.className = L"Notepad";
  input.classMatch = kMatchEquals;
  input.title = L"無題";
  input.titleMatch = kMatchBegins;
  input.sizeAction = kSizeSet;
  input.widthMode = kSizeAbsolute;
  input.width = L"800";
  input.heightMode = kSizePercent;
  input.height = L"50";
  input.position = true;
  input.xAnchor = kAnchorNear;
  input.xOffset = kOffsetPixels;
  input.x = L"-10";
  input.yAnchor = kAnchorFar;
  input.yOffset = kOffsetFlush;
  input.activate = true;
  input.applyOnce = false;
  return input;
}();

const RuleInput kChild = [] {
  RuleInput input;
  input.name = L"子ウィンドウ";
  input.className = L"PlenaraFixtureChild";
  input.classMatch = kMatchContains;
  input.sizeAction = kSizeMaximize;
  input.close = false;
  return input;
}();

const RuleInput kDoomed = [] {
  RuleInput input;
  input.name = L"消す対象";
  input.title = L"消える";
  input.titleMatch = kMatchEnds;
  input.sizeAction = kSizeMinimize;
  input.enabled = false;
  return input;
}();

// Equal byte for byte; otherwise says where they differ.
::testing::AssertionResult SameRecord(const TargetRecord& a, const TargetRecord& b) {
  const auto* x = reinterpret_cast<const uint8_t*>(&a);
  const auto* y = reinterpret_cast<const uint8_t*>(&b);
  std::string where;
  for (size_t i = 0; i < sizeof a; ++i) {
    if (x[i] != y[i]) where += " " + std::to_string(i) + ":" + std::to_string(x[i]) + "/" + std::to_string(y[i]);
  }
  if (where.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "records differ at offset:held/expected" << where;
}

std::string NameOf(const TargetRecord& record) { return RuleName(record); }

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
  // Without a settings file the program opens the window by itself.
  HWND window = OpenPropertyWindow(plenara_);
  ASSERT_NE(window, nullptr);

  AddThroughEditor(window, IDC_TARGET_ADD, kNotepad);
  ASSERT_TRUE(WaitForRules(process, [](const RuleList& l) { return l.size() == 1; }));
  EXPECT_TRUE(SameRecord(ProgramRules(process)[0].record, RecordOf(kNotepad)));

  AddThroughEditor(window, IDC_CHILD_ADD, kChild);
  ASSERT_TRUE(WaitForRules(process, [](const RuleList& l) { return l.size() == 1 && l[0].children.size() == 1; }));
  EXPECT_TRUE(SameRecord(ProgramRules(process)[0].children[0], RecordOf(kChild)));

  // Edit: only the name changes; the child stays with its target.
  Click(window, IDC_TARGET_EDIT);
  HWND editor = WaitOwnedWindow(window, IDC_NAME);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(FieldText(editor, IDC_NAME), Ansi(kNotepad.name));
  Type(editor, IDC_NAME, L"メモ帳");
  Click(editor, IDOK);
  ASSERT_TRUE(WaitGone(editor));
  const std::string edited = Ansi(L"メモ帳");
  ASSERT_TRUE(WaitForRules(process, [&](const RuleList& l) { return l.size() == 1 && NameOf(l[0].record) == edited; }));

  // Copy: right after the original, with its child rule.
  Click(window, IDC_TARGET_COPY);
  const std::string copied = edited + Ansi(L" のコピー");
  ASSERT_TRUE(WaitForRules(process, [&](const RuleList& l) {
    return l.size() == 2 && NameOf(l[1].record) == copied && l[1].children.size() == 1;
  }));
  ASSERT_TRUE(WaitFor([&] { return SelectedListRow(window, IDC_TARGETS) == 1; }));

  // Move the copy to the top.
  Click(window, IDC_TARGET_UP);
  ASSERT_TRUE(WaitForRules(process, [&](const RuleList& l) {
    return l.size() == 2 && NameOf(l[0].record) == copied && l[0].children.size() == 1;
  }));
  ASSERT_TRUE(WaitFor([&] { return SelectedListRow(window, IDC_TARGETS) == 0; }));

  // Add another target and delete it again, answering the question.
  AddThroughEditor(window, IDC_TARGET_ADD, kDoomed);
  ASSERT_TRUE(WaitForRules(process, [](const RuleList& l) { return l.size() == 3; }));
  EXPECT_TRUE(SameRecord(ProgramRules(process)[2].record, RecordOf(kDoomed)));
  ASSERT_TRUE(WaitFor([&] { return SelectedListRow(window, IDC_TARGETS) == 2; }));
  Click(window, IDC_TARGET_DELETE);
  HWND question = WaitOwnedWindow(window, IDYES);
  ASSERT_NE(question, nullptr);
  Click(question, IDYES);
  ASSERT_TRUE(WaitForRules(process, [](const RuleList& l) { return l.size() == 2; }));

  // The interval: a value that cannot be taken is named, a good one (typed
  // in full-width digits) goes into force; then the re-apply setting.
  const int32_t before = ActiveSettings().monitorInterval;
  Type(window, IDC_INTERVAL, L"12a");
  EXPECT_NE(FieldText(window, IDC_STATUS), "");
  Type(window, IDC_INTERVAL, L"20");
  EXPECT_NE(FieldText(window, IDC_STATUS).find("50"), std::string::npos);
  EXPECT_EQ(ActiveSettings().monitorInterval, before);
  Type(window, IDC_INTERVAL, L"７５０");
  ASSERT_TRUE(WaitFor([] { return ActiveSettings().monitorInterval == 750; }));
  ASSERT_EQ(ActiveSettings().reapplyOnWorkAreaChange, 1);
  SetCheck(window, IDC_REAPPLY, false);
  ASSERT_TRUE(WaitFor([] { return ActiveSettings().reapplyOnWorkAreaChange == 0; }));

  // What the program holds now, exactly.
  TargetRecord first = RecordOf(kNotepad);
  std::memset(RuleName(first), 0, kRuleNameSize);
  std::strcpy(RuleName(first), copied.c_str());
  TargetRecord second = RecordOf(kNotepad);
  std::memset(RuleName(second), 0, kRuleNameSize);
  std::strcpy(RuleName(second), edited.c_str());
  const auto expectList = [&](const RuleList& rules) {
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_TRUE(SameRecord(rules[0].record, first));
    EXPECT_TRUE(SameRecord(rules[1].record, second));
    for (const TargetRules& target : rules) {
      ASSERT_EQ(target.children.size(), 1u);
      EXPECT_TRUE(SameRecord(target.children[0], RecordOf(kChild)));
    }
  };
  expectList(ProgramRules(process));
  EXPECT_EQ(ListRowCount(window, IDC_TARGETS), 2);

  // Saved at once: the file already holds the last change.
  const std::string ini = ReadWholeFile(plenara_.Dir().File("Plenara.ini"));
  EXPECT_NE(ini.find(copied), std::string::npos);
  EXPECT_NE(ini.find("750"), std::string::npos);

  ASSERT_EQ(plenara_.Close(), 0u);
  plenara_.Process().Kill();
  ASSERT_TRUE(StartReal(plenara_));
  process = plenara_.Process().Handle();
  expectList(ProgramRules(process));
  EXPECT_EQ(ActiveSettings().monitorInterval, 750);
  EXPECT_EQ(ActiveSettings().reapplyOnWorkAreaChange, 0);
  // The settings file exists now, so the window does not open by itself.
  BlockView block;
  EXPECT_EQ(block->openSettingsAtStart, 0);
}

TEST_F(SettingsWindowTest, TheEditorNamesWhatItCannotTakeAndKeepsTheRest) {
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
  // OK is refused with a message; the editor stays with what was typed.
  Click(editor, IDOK);
  HWND message = WaitOwnedWindow(editor, IDOK);
  ASSERT_NE(message, nullptr);
  Click(message, IDOK);
  ASSERT_TRUE(WaitGone(message));
  EXPECT_TRUE(IsWindow(editor));
  EXPECT_EQ(FieldText(editor, IDC_WIDTH), "-5");
  Type(editor, IDC_WIDTH, L"640");
  EXPECT_EQ(FieldText(editor, IDC_RULE_STATUS), "");

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
  Choose(editor, IDC_TITLE_MODE, kMatchEquals);
  Click(editor, IDOK);
  ASSERT_TRUE(WaitGone(editor));

  HANDLE process = plenara_.Process().Handle();
  ASSERT_TRUE(WaitForRules(process, [](const RuleList& l) { return l.size() == 1; }));
  const TargetRecord record = ProgramRules(process)[0].record;
  EXPECT_EQ(record.widthSpec.value, 640);
  EXPECT_EQ(std::string(record.titlePattern), Ansi(title.c_str()));
  EXPECT_EQ(std::strlen(record.titlePattern), 128u);
  EXPECT_STREQ(record.classPattern, "cafe");
}

TEST_F(SettingsWindowTest, TheMonitoringButtonsFollowTheProgramsState) {
  ASSERT_TRUE(StartReal(plenara_));
  HWND window = OpenPropertyWindow(plenara_);
  ASSERT_NE(window, nullptr);
  // A new settings file starts with monitoring on.
  ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(GetDlgItem(window, IDC_START)); }));
  const std::string on = FieldText(window, IDC_MONITOR_STATE);
  Click(window, IDC_STOP);
  ASSERT_TRUE(WaitFor([&] { BlockView b; return b->monitoringEnabled == 0; }));
  ASSERT_TRUE(WaitFor([&] {
    return IsWindowEnabled(GetDlgItem(window, IDC_START)) && !IsWindowEnabled(GetDlgItem(window, IDC_STOP)) &&
           FieldText(window, IDC_MONITOR_STATE) != on;
  }));
  // The switch is saved at once.
  ASSERT_TRUE(WaitFor([&] {
    return ReadWholeFile(plenara_.Dir().File("Plenara.ini")).find("Monitoring=off") != std::string::npos;
  }));
  Click(window, IDC_START);
  ASSERT_TRUE(WaitFor([&] { BlockView b; return b->monitoringEnabled == 1; }));
  ASSERT_TRUE(WaitFor([&] {
    return !IsWindowEnabled(GetDlgItem(window, IDC_START)) && IsWindowEnabled(GetDlgItem(window, IDC_STOP)) &&
           FieldText(window, IDC_MONITOR_STATE) == on;
  }));
}

TEST_F(SettingsWindowTest, RulesMadeInTheWindowPlaceAnotherProgramsWindows) {
  Fixture& fixture = SharedFixture();
  ASSERT_TRUE(fixture.Ready());
  HWND top = fixture.Top("PlenaraPlacedTop", "placed", Box{700, 40, 200, 150});
  HWND frame = fixture.MdiFrame("PlenaraPlacedFrame", "frame", Box{700, 300, 300, 300});
  HWND child = frame ? fixture.MdiChild(frame, "PlenaraPlacedChild", "child", Box{40, 40, 120, 90}) : nullptr;
  ASSERT_NE(top, nullptr);
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(StartReal(plenara_));
  HWND window = OpenPropertyWindow(plenara_);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitFor([] { BlockView b; return b->monitoringEnabled == 1; }));

  RuleInput place;
  place.className = L"PlenaraPlacedTop";
  place.classMatch = kMatchEquals;
  place.sizeAction = kSizeSet;
  place.widthMode = kSizeAbsolute;
  place.width = L"320";
  place.heightMode = kSizeAbsolute;
  place.height = L"240";
  place.position = true;
  place.xAnchor = kAnchorNear;
  place.xOffset = kOffsetPixels;
  place.x = L"16";
  place.yAnchor = kAnchorNear;
  place.yOffset = kOffsetPixels;
  place.y = L"24";
  place.applyOnce = false;
  AddThroughEditor(window, IDC_TARGET_ADD, place);
  EXPECT_TRUE(WaitFor([&] {
    const Box box = BoxOf(top);
    return box.x == 16 && box.y == 24 && box.width == 320 && box.height == 240;
  }, 20000)) << "the window is at " << BoxOf(top).x << "," << BoxOf(top).y;

  // A rule for the frame, and a child rule under it for the MDI child,
  // placed in the MDI client.
  RuleInput frameRule;
  frameRule.className = L"PlenaraPlacedFrame";
  frameRule.classMatch = kMatchEquals;
  AddThroughEditor(window, IDC_TARGET_ADD, frameRule);
  ASSERT_TRUE(WaitFor([&] { return SelectedListRow(window, IDC_TARGETS) == 1; }));
  RuleInput childRule = place;
  childRule.className = L"PlenaraPlacedChild";
  childRule.width = L"160";
  childRule.height = L"120";
  childRule.x = L"5";
  childRule.y = L"6";
  AddThroughEditor(window, IDC_CHILD_ADD, childRule);
  HWND client = GetParent(child);
  EXPECT_TRUE(WaitFor([&] {
    const Box box = ClientBoxOf(client, child);
    return box.x == 5 && box.y == 6 && box.width == 160 && box.height == 120;
  }, 20000)) << [&] {
    const Box box = ClientBoxOf(client, child);
    const RuleList rules = ProgramRules(plenara_.Process().Handle());
    char text[256];
    wsprintfA(text, "child at %d,%d %dx%d; %d rules, %d children of the second, child class '%s'", box.x, box.y,
              box.width, box.height, static_cast<int>(rules.size()),
              rules.size() > 1 ? static_cast<int>(rules[1].children.size()) : -1,
              rules.size() > 1 && !rules[1].children.empty() ? rules[1].children[0].classPattern : "");
    return std::string(text);
  }();
  fixture.DestroyAll();
}

}  // namespace
