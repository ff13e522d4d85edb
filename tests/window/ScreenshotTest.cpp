// Saves pictures of the settings window, the rule editor and the about box
// under build/cross/screenshots, for people to check how they look (the
// finder in use comes from the finder's own test).
#include <gtest/gtest.h>

#include <cstring>

#include "PlenaraInstance.h"
#include "Screenshots.h"
#include "WindowDriver.h"
#include "app/Commands.h"
#include "settings/window/WindowIds.h"

namespace {

TEST(Screenshots, SettingsWindowRuleEditorAndAboutBox) {
  PlenaraInstance plenara(Companion::kReal);
  ASSERT_TRUE(StartReal(plenara));
  HWND window = OpenPropertyWindow(plenara);
  ASSERT_NE(window, nullptr);
  const std::string folder = PictureFolder();

  TargetRecord notepad = NewRule(L"メモ帳を左半分に", "Notepad", kMatchEquals);
  std::strcpy(notepad.titlePattern, Ansi(L" - メモ帳").c_str());
  notepad.titleMatch = kMatchEnds;
  notepad.sizeAction = kSizeSet;
  notepad.widthSpec = {kSizePercent, {}, 50};
  notepad.heightSpec = {kSizePercent, {}, 100};
  notepad.positionAction = kPositionSet;
  notepad.xSpec = {kAnchorNear, kOffsetFlush, {}, 0};
  notepad.ySpec = {kAnchorNear, kOffsetFlush, {}, 0};
  TargetRecord editor = NewRule(L"エディターの子ウィンドウ", "MDIChild", kMatchContains);
  editor.sizeAction = kSizeMaximize;
  TargetRecord browser = NewRule(L"ブラウザーを前面に", "MozillaWindowClass", kMatchEquals);
  browser.activate = 1;

  const auto add = [&](int button, const TargetRecord& input) {
    Click(window, button);
    HWND dialog = WaitOwnedWindow(window, IDC_NAME);
    ASSERT_NE(dialog, nullptr);
    FillEditor(dialog, input);
    Click(dialog, IDOK);
    ASSERT_TRUE(WaitGone(dialog));
  };
  add(IDC_TARGET_ADD, browser);
  add(IDC_TARGET_ADD, notepad);
  add(IDC_CHILD_ADD, editor);
  ASSERT_TRUE(WaitFor([&] { return SelectedListRow(window, IDC_TARGETS) == 1; }));
  EXPECT_TRUE(SaveWindowPicture(window, folder, "settings-window.png"));

  Click(window, IDC_TARGET_EDIT);
  HWND dialog = WaitOwnedWindow(window, IDC_NAME);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(SaveWindowPicture(dialog, folder, "rule-editor.png"));
  Click(dialog, IDCANCEL);
  ASSERT_TRUE(WaitGone(dialog));

  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdAbout, 0);
  HWND about = WaitAboutWindow();
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(SaveWindowPicture(about, folder, "about-box.png"));
  EXPECT_EQ(plenara.Close(), 0u);
}

}  // namespace
