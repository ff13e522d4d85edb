// Saves pictures of the settings window, the rule editor and the about box
// under build/cross/screenshots, for people to check how they look.
#include <gtest/gtest.h>

#include "MonitorTestSupport.h"
#include "PlenaraInstance.h"
#include "RuleInput.h"
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

  RuleInput notepad;
  notepad.name = L"メモ帳を左半分に";
  notepad.className = L"Notepad";
  notepad.classMatch = kMatchEquals;
  notepad.title = L" - メモ帳";
  notepad.titleMatch = kMatchEnds;
  notepad.sizeAction = kSizeSet;
  notepad.widthMode = kSizePercent;
  notepad.width = L"50";
  notepad.heightMode = kSizePercent;
  notepad.height = L"100";
  notepad.position = true;
  notepad.xAnchor = kAnchorNear;
  notepad.yAnchor = kAnchorNear;
  RuleInput editor = notepad;
  editor.name = L"エディターの子ウィンドウ";
  editor.className = L"MDIChild";
  editor.classMatch = kMatchContains;
  editor.sizeAction = kSizeMaximize;
  editor.title = L"";
  editor.titleMatch = kMatchAny;
  editor.position = false;
  RuleInput browser;
  browser.name = L"ブラウザーを前面に";
  browser.className = L"MozillaWindowClass";
  browser.classMatch = kMatchEquals;
  browser.activate = true;
  browser.applyOnce = true;

  const auto add = [&](int button, const RuleInput& input) {
    Click(window, button);
    HWND dialog = WaitOwnedWindow(window, IDC_NAME);
    ASSERT_NE(dialog, nullptr);
    FillEditor(dialog, input);
    Click(dialog, IDOK);
    ASSERT_TRUE(WaitGone(dialog));
  };
  add(IDC_TARGET_ADD, notepad);
  add(IDC_CHILD_ADD, editor);
  add(IDC_TARGET_ADD, browser);
  ASSERT_TRUE(WaitFor([&] { return SelectedListRow(window, IDC_TARGETS) == 1; }));
  EXPECT_TRUE(SaveWindowPicture(window, folder, "settings-window.png"));

  Click(window, IDC_TARGET_EDIT);
  HWND dialog = WaitOwnedWindow(window, IDC_NAME);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(SaveWindowPicture(dialog, folder, "rule-editor.png"));

  // The finder held over another program's window: the editor and the
  // framed window in one picture.
  Fixture& fixture = SharedFixture();
  ASSERT_TRUE(fixture.Ready());
  // The rules above would place the window as soon as it shows.
  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdStop, 0);
  ASSERT_TRUE(WaitFor([] {
    BlockView block;
    return block->monitoringEnabled == 0;
  }));
  const std::string title = Ansi(L"無題 - メモ帳");
  HWND target = fixture.Top("Notepad", title.c_str(), Box{16, 60, 230, 170});
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(DragFinderOnto(dialog, CenterOf(target), [&] {
    ASSERT_TRUE(WaitFor([&] { return FrameBars(dialog).size() == 4; }));
    RECT area;
    RECT editorRect;
    GetWindowRect(target, &area);
    GetWindowRect(dialog, &editorRect);
    UnionRect(&area, &area, &editorRect);
    EXPECT_TRUE(SaveScreenPicture(area, folder, "rule-editor-finder.png"));
  }), "");
  Click(dialog, IDCANCEL);
  ASSERT_TRUE(WaitGone(dialog));
  fixture.DestroyAll();

  PostMessageA(plenara.MainWindow(), WM_COMMAND, kCmdAbout, 0);
  HWND about = WaitAboutWindow();
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(SaveWindowPicture(about, folder, "about-box.png"));
  EXPECT_EQ(plenara.Close(), 0u);
}

}  // namespace
