#include "settings/window/Ui.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "settings/SettingsFile.h"
#include "settings/window/RuleFields.h"
#include "settings/window/WindowIds.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

TextBuffer LoadText(UINT id) {
  char buffer[1024];
  const int length = LoadStringA(ModuleInstance(), id, buffer, sizeof buffer);
  TextBuffer text;
  text.Append(TextView(buffer, length > 0 ? static_cast<size_t>(length) : 0));
  return text;
}

TextBuffer FormatText(UINT id, ...) {
  const TextBuffer format = LoadText(id);
  char buffer[2048];
  va_list args;
  va_start(args, id);
  const int length = std::vsnprintf(buffer, sizeof buffer, format.CString(), args);
  va_end(args);
  TextBuffer text;
  if (length > 0) text.Append(TextView(buffer, static_cast<size_t>(length) < sizeof buffer ? length : sizeof buffer - 1));
  return text;
}

namespace {

// A field's text in UTF-16 on the C heap.
class WideText {
 public:
  WideText(HWND dialog, int id) {
    HWND field = GetDlgItem(dialog, id);
    const int length = GetWindowTextLengthW(field);
    if (length <= 0) return;
    chars_ = static_cast<wchar_t*>(std::malloc((static_cast<size_t>(length) + 1) * sizeof(wchar_t)));
    if (!chars_) {
      failed_ = true;
      return;
    }
    const int got = GetWindowTextW(field, chars_, length + 1);
    length_ = got > 0 ? got : 0;
  }
  ~WideText() { std::free(chars_); }
  WideText(const WideText&) = delete;
  WideText& operator=(const WideText&) = delete;

  wchar_t* Data() { return chars_; }
  int Length() const { return length_; }
  bool Failed() const { return failed_; }

 private:
  wchar_t* chars_ = nullptr;
  int length_ = 0;
  bool failed_ = false;
};

}  // namespace

bool ReadFieldText(HWND dialog, int id, TextBuffer& text) {
  WideText wide(dialog, id);
  text.Clear();
  if (wide.Failed()) return false;
  if (wide.Length() == 0) return true;
  const int bytes =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.Data(), wide.Length(), nullptr, 0, nullptr, nullptr);
  if (bytes <= 0 || !text.Resize(static_cast<size_t>(bytes))) return false;
  BOOL usedDefault = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.Data(), wide.Length(), text.Data(), bytes, nullptr,
                      &usedDefault);
  return !usedDefault;
}

void SetFieldText(HWND dialog, int id, const char* text) { SetDlgItemTextA(dialog, id, text); }

void SetFieldNumber(HWND dialog, int id, int32_t value) {
  TextBuffer text;
  text.AppendNumber(value);
  SetFieldText(dialog, id, text);
}

void SetFieldBytes(HWND dialog, int id, const char* field, size_t size) {
  TextBuffer text;
  text.Append(TextView(field, strnlen(field, size)));
  SetFieldText(dialog, id, text);
}

TextBuffer ReadNumberText(HWND dialog, int id) {
  WideText wide(dialog, id);
  TextBuffer text;
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 fields");
  NarrowDigits(reinterpret_cast<char16_t*>(wide.Data()), static_cast<size_t>(wide.Length()));
  for (int i = 0; i < wide.Length(); ++i) {
    const wchar_t c = wide.Data()[i];
    text.Append(c < 0x80 ? static_cast<char>(c) : '?');
  }
  return text;
}

TextBuffer FitNameInto(HWND control, UINT format, const char* name) {
  RECT room = {};
  GetClientRect(control, &room);
  HDC dc = GetDC(control);
  HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
  const TextView whole(name, std::strlen(name));
  const LeadByteTable leads = SystemLeads();
  TextBuffer text;
  for (size_t limit = whole.size;; --limit) {
    text = FormatText(format, ShortenText(whole, limit, leads).CString());
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.CString(), static_cast<int>(text.Size()), &size);
    if (size.cx <= room.right - room.left || limit == 0) break;
  }
  SelectObject(dc, oldFont);
  ReleaseDC(control, dc);
  return text;
}

int ShowMessage(HWND owner, const char* text, UINT flags) {
  const TextBuffer caption = LoadText(IDS_CAPTION);
  return MessageBoxA(owner, text, caption.CString(), flags);
}

void FillChoices(HWND dialog, int id, UINT first, int count) {
  HWND box = GetDlgItem(dialog, id);
  SendMessageA(box, CB_RESETCONTENT, 0, 0);
  for (int i = 0; i < count; ++i) {
    const TextBuffer text = LoadText(first + i);
    SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.CString()));
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

void MoveFocusOffDisabled(HWND dialog) {
  HWND focus = GetFocus();
  if (focus && GetParent(focus) == dialog && !IsWindowEnabled(focus)) SendMessageA(dialog, WM_NEXTDLGCTL, 0, FALSE);
}

void PlaceOnScreen(HWND window, const SavedPlace& place) {
  if (!place.valid) return;
  RECT rect;
  if (!GetWindowRect(window, &rect)) return;
  // The caption must come back on a screen, where the user can grab it.
  const POINT corner = {place.x + 40, place.y + 10};
  if (!MonitorFromPoint(corner, MONITOR_DEFAULTTONULL)) return;
  SetWindowPos(window, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CancelMoveSize() {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetCurrentThreadId(), &info) || !(info.flags & GUI_INMOVESIZE)) return;
  if (info.hwndMoveSize) SendMessageA(info.hwndMoveSize, WM_CANCELMODE, 0, 0);
  // Esc ends the loop where cancelling alone does not.
  PostThreadMessageA(GetCurrentThreadId(), WM_KEYDOWN, VK_ESCAPE, 0);
}

void RunModelessDialog(UINT id, DLGPROC proc, LPARAM param, const bool& done) {
  HWND dialog = CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(id), nullptr, proc, param);
  if (!dialog) return;
  ShowWindow(dialog, SW_SHOW);
  SetForegroundWindow(dialog);
  MSG msg;
  while (!done) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) break;
    if (!IsDialogMessageA(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  if (!done) DestroyWindow(dialog);
}
