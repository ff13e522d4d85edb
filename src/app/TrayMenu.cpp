#include "app/TrayMenu.h"

#include "app/Commands.h"
#include "app/Strings.h"
#include "shared/SharedBlock.h"

namespace {
HMENU g_trayMenu = nullptr;

HMENU BuildTrayMenu() {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  const bool on = Block()->monitoringEnabled != 0;
  AppendMenuA(menu, on ? MF_GRAYED : MF_STRING, kCmdStart, kMenuStart);
  AppendMenuA(menu, on ? MF_STRING : MF_GRAYED, kCmdStop, kMenuStop);
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, kCmdExit, kMenuExit);
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, kCmdHelp, kMenuHelp);
  AppendMenuA(menu, MF_STRING, kCmdAbout, kMenuAbout);
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, kCmdSettings, kMenuSettings);
  SetMenuDefaultItem(menu, kCmdSettings, FALSE);
  return menu;
}
}  // namespace

HMENU GetTrayMenu() {
  if (!g_trayMenu) g_trayMenu = BuildTrayMenu();
  return g_trayMenu;
}

void DropTrayMenu() {
  if (!g_trayMenu) return;
  DestroyMenu(g_trayMenu);
  g_trayMenu = nullptr;
}

void ShowTrayMenu(int32_t x, int32_t y) {
  HMENU menu = GetTrayMenu();
  if (!menu) return;
  HWND main = HandleOf(Block()->mainWindow);
  // The window the menu is tracked for must be foreground, or the menu does
  // not go away when the user clicks elsewhere; the posted message lets the
  // next menu open cleanly.
  SetForegroundWindow(main);
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, x, y, 0, main, nullptr);
  PostMessageA(main, WM_NULL, 0, 0);
}

void RunDefaultCommand(int32_t, int32_t) {
  HMENU menu = GetTrayMenu();
  if (!menu) return;
  const UINT id = GetMenuDefaultItem(menu, FALSE, 0);
  PostMessageA(HandleOf(Block()->mainWindow), WM_COMMAND, id, 0);
}
