#pragma once
// Drives the real settings window of a running Plenara from the test process
// as a user would (messages to its controls), reads what the program then
// holds, and takes pictures of windows for people to look at.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "PlenaraInstance.h"
#include "app/Commands.h"
#include "settings/window/WindowIds.h"
#include "settings/SettingsModel.h"
#include "shared/TargetRecord.h"

// Text in the ANSI code page from a wide literal.
std::string Ansi(const wchar_t* text);

// Plenara with the real settings module, waited for until the module has
// read its settings file.
bool StartReal(PlenaraInstance& plenara);

// The settings window (command kCmdSettings) or the about box (kCmdAbout),
// asked for until it shows: the program opens one again only once the last
// one's thread has ended.
HWND OpenWindow(PlenaraInstance& plenara, UINT command);
// A visible window owned by owner that has a control with controlId: the
// rule editor (IDC_NAME) or a message box (IDOK, IDYES, ...).
HWND WaitOwnedWindow(HWND owner, int controlId);
bool WaitGone(HWND window);
// The rule editor, opened with a click on button of the settings window.
HWND OpenEditor(HWND window, int button = IDC_TARGET_ADD);

// A click that may open a modal window, so it is posted, not sent.
void Click(HWND dialog, int id);
void Type(HWND dialog, int id, const wchar_t* text);
void Choose(HWND dialog, int id, int choice);
void SetCheck(HWND dialog, int id, bool checked);
std::string FieldText(HWND dialog, int id);
int SelectedListRow(HWND dialog, int listId);
int ListRowCount(HWND dialog, int listId);

// A new rule's record (as the editor starts it) with a name and a class condition.
TargetRecord NewRule(const wchar_t* name, const char* className = "", uint8_t classMatch = kMatchAny);

// The rule list as the program holds it, read from its memory.
struct HeldTarget {
  TargetRecord record;
  std::vector<TargetRecord> children;
};
using HeldRules = std::vector<HeldTarget>;
HeldRules ProgramRules(HANDLE process);
bool WaitForRules(HANDLE process, const std::function<bool(const HeldRules&)>& cond);

// Runs a command line of the host system and waits until it has finished.
bool RunHostCommand(const std::string& command);
// Saves a screen area as a PNG file under build/screenshots; false when no file came.
bool SavePicture(RECT area, const std::string& name);
bool SaveWindowPicture(HWND window, const std::string& name);
