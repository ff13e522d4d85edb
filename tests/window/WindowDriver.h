#pragma once
// Drives the real settings window of a running Plenara from the test
// process as a user would: clicks, typing and choices sent as messages to
// its controls, and reads what the program then holds.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "PlenaraInstance.h"
#include "settings/SettingsModel.h"
#include "shared/TargetRecord.h"

// Text in the ANSI code page from a wide literal.
std::string Ansi(const wchar_t* text);

// Plenara with the real settings module, started and waited for until the
// module has read its settings file.
bool StartReal(PlenaraInstance& plenara);

// The open settings window (propertyWindow in the block), or null.
HWND PropertyWindowOf();
HWND WaitPropertyWindow(DWORD timeoutMs = 20000);
// Opens the settings window (command 498) unless it is open already.
HWND OpenPropertyWindow(PlenaraInstance& plenara);
HWND WaitAboutWindow(DWORD timeoutMs = 20000);

// A visible window owned by owner that has a control with controlId: the
// rule editor (IDC_NAME) or a message box (IDOK, IDYES, ...).
HWND WaitOwnedWindow(HWND owner, int controlId, DWORD timeoutMs = 15000);
bool WaitGone(HWND window, DWORD timeoutMs = 15000);

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
// Types every field of rule into an open rule editor, as a user would.
void FillEditor(HWND editor, const TargetRecord& rule);

// The rule list as the program holds it, read from its memory.
struct HeldTarget {
  TargetRecord record;
  std::vector<TargetRecord> children;
};
using HeldRules = std::vector<HeldTarget>;
HeldRules ProgramRules(HANDLE process);
SettingsRecord ActiveSettings();

// Waits until the program's rule list satisfies cond.
bool WaitForRules(HANDLE process, const std::function<bool(const HeldRules&)>& cond, DWORD timeoutMs = 15000);

// --- the mouse, through xdotool on the test display ---

bool MoveMouseTo(POINT screen);
void PressLeftButton();
void ReleaseLeftButton();
POINT CenterOf(HWND window);
// The window that holds the mouse in window's thread, or null.
HWND CaptureOf(HWND window);
// The finder's frame: the visible static windows of the editor's thread.
std::vector<HWND> FrameBars(HWND editor);

// Takes the finder of editor with the mouse, moves it onto target and, with
// the button still down there, runs whileOver; then lets go. Returns an
// empty string, or what went wrong.
std::string DragFinderOnto(HWND editor, POINT target, const std::function<void()>& whileOver);
