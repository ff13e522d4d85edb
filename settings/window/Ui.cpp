#include "settings/window/Ui.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "settings/window/RuleFields.h"
#include "settings/window/WindowIds.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

std::string LoadText(UINT id) {
  char buffer[1024];
  const int length = LoadStringA(ModuleInstance(), id, buffer, sizeof buffer);
  return std::string(buffer, length > 0 ? length : 0);
}

std::string FormatText(UINT id, ...) {
  const std::string format = LoadText(id);
  char buffer[2048];
  va_list args;
  va_start(args, id);
  const int length = std::vsnprintf(buffer, sizeof buffer, format.c_str(), args);
  va_end(args);
  if (length < 0) return std::string();
  return std::string(buffer, static_cast<size_t>(length) < sizeof buffer ? length : sizeof buffer - 1);
}

namespace {

std::wstring WideFieldText(HWND dialog, int id) {
  HWND field = GetDlgItem(dialog, id);
  const int length = GetWindowTextLengthW(field);
  std::wstring text(length > 0 ? length + 1 : 1, L'\0');
  const int got = GetWindowTextW(field, &text[0], static_cast<int>(text.size()));
  text.resize(got > 0 ? got : 0);
  return text;
}

}  // namespace

bool ReadFieldText(HWND dialog, int id, std::string& text) {
  const std::wstring wide = WideFieldText(dialog, id);
  text.clear();
  if (wide.empty()) return true;
  const int count = static_cast<int>(wide.size());
  const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), count, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return false;
  text.resize(bytes);
  BOOL usedDefault = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), count, &text[0], bytes, nullptr, &usedDefault);
  return !usedDefault;
}

void SetFieldText(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }

std::string ReadNumberText(HWND dialog, int id) {
  const std::wstring wide = WideFieldText(dialog, id);
  const std::u16string narrow = NarrowDigits(std::u16string(wide.begin(), wide.end()));
  std::string text;
  for (char16_t c : narrow) text += c < 0x80 ? static_cast<char>(c) : '?';
  return text;
}

int ShowMessage(HWND owner, const std::string& text, UINT flags) {
  const std::string caption = LoadText(IDS_CAPTION);
  return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

void FillChoices(HWND dialog, int id, UINT first, int count) {
  HWND box = GetDlgItem(dialog, id);
  SendMessageA(box, CB_RESETCONTENT, 0, 0);
  for (int i = 0; i < count; ++i) {
    const std::string text = LoadText(first + i);
    SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
}

int ChoiceOf(HWND dialog, int id) {
  const LRESULT choice = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
  return choice == CB_ERR ? 0 : static_cast<int>(choice);
}

void SetChoice(HWND dialog, int id, int choice) { SendDlgItemMessageA(dialog, id, CB_SETCURSEL, choice, 0); }

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SetChecked(HWND dialog, int id, bool checked) { CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED); }

void EnableField(HWND dialog, int id, bool enabled) { EnableWindow(GetDlgItem(dialog, id), enabled ? TRUE : FALSE); }

void PlaceOnScreen(HWND window, const SavedPlace& place) {
  if (!place.valid) return;
  RECT rect;
  if (!GetWindowRect(window, &rect)) return;
  // The caption must come back on a screen, where the user can grab it.
  const POINT corner = {place.x + 40, place.y + 10};
  if (!MonitorFromPoint(corner, MONITOR_DEFAULTTONULL)) return;
  SetWindowPos(window, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
