#include "settings/about/AboutBox.h"

#include <cstring>
#include <string>
#include <vector>

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

struct VersionText {
  std::string product;
  std::string version;
};

std::string BlockText(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

// The product's name and version as the program's version resource gives
// them, in its first translation.
VersionText ReadVersion(const std::string& path) {
  VersionText text;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return text;
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return text;
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translations = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length) ||
      length < sizeof(Translation)) {
    return text;
  }
  char prefix[40];
  wsprintfA(prefix, "\\StringFileInfo\\%04X%04X\\", translations[0].language, translations[0].codePage);
  auto value = [&](const char* name) {
    char* found = nullptr;
    UINT chars = 0;
    const std::string query = std::string(prefix) + name;
    if (!VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&found), &chars) || !found) {
      return std::string();
    }
    return std::string(found, strnlen(found, chars));
  };
  text.product = value("ProductName");
  text.version = value("ProductVersion");
  return text;
}

void SetUpAbout(AboutBox& about) {
  HWND d = about.dialog;
  about.block.aboutWindow = HandleValue(d);
  VersionText version = ReadVersion(BlockText(about.block.modulePath, sizeof about.block.modulePath));
  if (version.product.empty()) version.product = BlockText(about.block.productName, sizeof about.block.productName);
  if (version.product.empty()) version.product = PLENARA_PRODUCT_NAME;
  if (version.version.empty()) version.version = PLENARA_VERSION_STRING;

  SetWindowTextA(d, FormatText(IDS_ABOUT_CAPTION, version.product.c_str()).c_str());
  SetFieldText(d, IDC_PRODUCT, version.product);
  SetFieldText(d, IDC_VERSION, FormatText(IDS_ABOUT_VERSION, version.version.c_str()));
  SetFieldText(d, IDC_USER, FormatText(IDS_ABOUT_USER, BlockText(about.block.userName, sizeof about.block.userName).c_str()));
  SetFieldText(d, IDC_INI_PATH, BlockText(about.block.iniPath, sizeof about.block.iniPath));
  SetFieldText(d, IDC_HELP_PATH, BlockText(about.block.helpPath, sizeof about.block.helpPath));

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

INT_PTR AboutProcBody(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
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

// No exception may cross into the system's code that called the procedure:
// a failure abandons the one message.
INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return AboutProcBody(dialog, message, wParam, lParam);
  } catch (...) {
    return FALSE;
  }
}

}  // namespace

void RunAboutBox(SharedBlock& block) {
  if (block.aboutWindow && IsWindow(HandleOf(block.aboutWindow))) return;
  AboutBox about(block);
  HWND dialog = CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(IDD_ABOUT), nullptr, AboutProc,
                                   reinterpret_cast<LPARAM>(&about));
  if (dialog) {
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    MSG msg;
    while (!about.destroyed) {
      if (GetMessageA(&msg, nullptr, 0, 0) <= 0) break;
      if (!IsDialogMessageA(dialog, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
    if (!about.destroyed) DestroyWindow(dialog);
  }
  if (about.dialog && block.aboutWindow == HandleValue(about.dialog)) block.aboutWindow = 0;
  if (about.icon) DestroyIcon(about.icon);
  if (about.titleFont) DeleteObject(about.titleFont);
}
