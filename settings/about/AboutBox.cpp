#include "settings/about/AboutBox.h"

#include <cstdlib>
#include <cstring>

#include "app/Commands.h"
#include "help/HelpIds.h"
#include "settings/window/Ui.h"
#include "settings/window/WindowIds.h"
#include "version.h"

namespace {

struct AboutBox {
  explicit AboutBox(SharedBlock& b) : block(b) {}
  SharedBlock& block;
  HWND dialog = nullptr;
  HICON icon = nullptr;
  HFONT titleFont = nullptr;
  bool destroyed = false;
};

// Room for a product name and a version string.
constexpr size_t kVersionTextSize = 128;

struct VersionText {
  char product[kVersionTextSize] = {};
  char version[kVersionTextSize] = {};
};

// A block field as a NUL-terminated string, read up to its NUL or its end.
void CopyField(const char* field, size_t size, char* out, size_t outSize) {
  size_t length = strnlen(field, size);
  if (length >= outSize) length = outSize - 1;
  std::memcpy(out, field, length);
  out[length] = '\0';
}

// The product's name and version as the program's version resource gives
// them, in its first translation.
void ReadVersion(const char* path, VersionText& text) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return;
  void* data = std::malloc(size);
  if (!data) return;
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translations = nullptr;
  UINT length = 0;
  if (GetFileVersionInfoA(path, 0, size, data) &&
      VerQueryValueA(data, "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length) &&
      length >= sizeof(Translation)) {
    const char* names[2] = {"ProductName", "ProductVersion"};
    char* outs[2] = {text.product, text.version};
    for (int i = 0; i < 2; ++i) {
      char query[80];
      wsprintfA(query, "\\StringFileInfo\\%04X%04X\\%s", translations[0].language, translations[0].codePage, names[i]);
      char* found = nullptr;
      UINT chars = 0;
      if (VerQueryValueA(data, query, reinterpret_cast<void**>(&found), &chars) && found) {
        CopyField(found, chars, outs[i], kVersionTextSize);
      }
    }
  }
  std::free(data);
}

void SetUpAbout(AboutBox& about) {
  HWND d = about.dialog;
  about.block.aboutWindow = HandleValue(d);
  const SharedBlock& block = about.block;
  char path[sizeof block.modulePath + 1];
  CopyField(block.modulePath, sizeof block.modulePath, path, sizeof path);
  VersionText version;
  ReadVersion(path, version);
  if (!version.product[0]) CopyField(block.productName, sizeof block.productName, version.product, kVersionTextSize);
  if (!version.product[0]) CopyField(PLENARA_PRODUCT_NAME, kVersionTextSize, version.product, kVersionTextSize);
  if (!version.version[0]) CopyField(PLENARA_VERSION_STRING, kVersionTextSize, version.version, kVersionTextSize);

  SetWindowTextA(d, FormatText(IDS_ABOUT_CAPTION, version.product).CString());
  SetFieldText(d, IDC_PRODUCT, version.product);
  SetFieldText(d, IDC_VERSION, FormatText(IDS_ABOUT_VERSION, version.version));
  char user[sizeof block.userName + 1];
  CopyField(block.userName, sizeof block.userName, user, sizeof user);
  SetFieldText(d, IDC_USER, FormatText(IDS_ABOUT_USER, user));
  SetFieldBytes(d, IDC_INI_PATH, block.iniPath, sizeof block.iniPath);
  SetFieldBytes(d, IDC_HELP_PATH, block.helpPath, sizeof block.helpPath);

  about.icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
  if (about.icon) {
    SendDlgItemMessageA(d, IDC_ABOUT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(about.icon), 0);
    SendMessageA(d, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(about.icon));
  }
  // The product's name in a larger bold face of the dialog's own font.
  LOGFONTA face = {};
  HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageA(d, WM_GETFONT, 0, 0));
  if (dialogFont && GetObjectA(dialogFont, sizeof face, &face)) {
    face.lfWeight = FW_BOLD;
    face.lfHeight = face.lfHeight * 4 / 3;
    about.titleFont = CreateFontIndirectA(&face);
    if (about.titleFont) SendDlgItemMessageA(d, IDC_PRODUCT, WM_SETFONT, reinterpret_cast<WPARAM>(about.titleFont), FALSE);
  }
  SetFocus(GetDlgItem(d, IDOK));
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* about = reinterpret_cast<AboutBox*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    about = reinterpret_cast<AboutBox*>(lParam);
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    about->dialog = dialog;
    SetUpAbout(*about);
    return FALSE;  // the focus is set
  }
  if (!about) return FALSE;
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) DestroyWindow(dialog);
      return TRUE;
    case WM_CLOSE:
      CancelMoveSize();  // the program's shutdown waits for this thread
      DestroyWindow(dialog);
      return TRUE;
    case WM_HELP:
      // Posted: the about box never waits for the program.
      if (HWND program = HandleOf(about->block.mainWindow)) {
        PostMessageA(program, kMsgHelpRequest, kHelpRequestContext, IDH_ABOUT);
      }
      return TRUE;
    case WM_DESTROY:
      if (about->block.aboutWindow == HandleValue(dialog)) about->block.aboutWindow = 0;
      about->destroyed = true;
      return TRUE;
    default:
      return FALSE;
  }
}


}  // namespace

void RunAboutBox(SharedBlock& block) {
  if (block.aboutWindow && IsWindow(HandleOf(block.aboutWindow))) return;
  AboutBox about(block);
  RunModelessDialog(IDD_ABOUT, AboutProc, reinterpret_cast<LPARAM>(&about), about.destroyed);
  if (about.dialog && block.aboutWindow == HandleValue(about.dialog)) block.aboutWindow = 0;
  if (about.icon) DestroyIcon(about.icon);
  if (about.titleFont) DeleteObject(about.titleFont);
}
