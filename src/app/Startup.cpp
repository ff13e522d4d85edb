#include "app/Startup.h"

#include <cstdio>
#include <cstring>

#include "app/Commands.h"
#include "app/MainWindow.h"
#include "app/SidePaths.h"
#include "companion/Help.h"
#include "monitor/Foreground.h"
#include "monitor/SystemLeadBytes.h"
#include "shared/SharedBlock.h"

namespace {

HINSTANCE g_instance = nullptr;

void ActivateRunningInstance(SharedBlock* block) {
  HWND property = HandleOf(block->propertyWindow);
  if (!property) return;
  if (IsIconic(property)) ShowWindow(property, SW_RESTORE);
  ForceForeground(property);
}

void FillSidePaths(SharedBlock* block) {
  char path[kPathSize] = {};
  GetModuleFileNameA(g_instance, path, kPathSize);
  const SidePaths paths = DeriveSidePaths(path, SystemLeadBytes());
  std::memcpy(block->modulePath, paths.modulePath, kPathSize);
  std::memcpy(block->moduleDir, paths.moduleDir, kPathSize);
  std::memcpy(block->iniPath, paths.iniPath, kPathSize);
  std::memcpy(block->helpPath, paths.helpPath, kPathSize);
  std::memcpy(block->companionPath, paths.companionPath, kPathSize);
}

bool RegisterMainClass() {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = g_instance;
  wc.hIcon = LoadIconA(g_instance, "MAINICON");
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kMainClassName;
  wc.hIconSm = static_cast<HICON>(LoadImageA(g_instance, "MAINICON", IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  return RegisterClassExA(&wc) != 0;
}

}  // namespace

static_assert(sizeof(WNDCLASSEXA) == 48);

HINSTANCE ModuleInstance() { return g_instance; }

void LoadProductName() {
  SharedBlock* block = Block();
  const DWORD size = GetFileVersionInfoSizeA(block->modulePath, nullptr);
  if (size == 0) return;
  void* buffer = HeapAlloc(GetProcessHeap(), 0, size);
  if (!buffer) return;
  void* translation = nullptr;
  UINT length = 0;
  if (GetFileVersionInfoA(block->modulePath, 0, size, buffer) &&
      VerQueryValueA(buffer, "\\VarFileInfo\\Translation", &translation, &length) && length >= 4) {
    const WORD* words = static_cast<const WORD*>(translation);
    char query[64];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04X%04X\\ProductName", words[0], words[1]);
    char* value = nullptr;
    if (VerQueryValueA(buffer, query, reinterpret_cast<void**>(&value), &length) && value) {
      // 63 bytes and the NUL at most, never half a character.
      CopyWholeChars(block->productName, sizeof block->productName, value, SystemLeadBytes());
    }
  }
  HeapFree(GetProcessHeap(), 0, buffer);
}

void RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (PretranslateHelpMessage(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

int RunPlenara() {
  void* view = nullptr;
  int32_t existed = 0;
  HANDLE mapping = OpenSharedMemory(kBlockName, &view, kBlockSize, &existed);
  if (!mapping) return 0;
  SharedBlock* block = static_cast<SharedBlock*>(view);
  AttachBlock(block);

  if (existed) {
    ActivateRunningInstance(block);
  } else {
    LoadSystemLeadBytes();
    DWORD userSize = sizeof block->userName;
    GetUserNameA(block->userName, &userSize);
    g_instance = GetModuleHandleA(nullptr);
    FillSidePaths(block);
    LoadProductName();
    InitHelp();
    // Without its window the loop would never end: give up quietly instead.
    if (RegisterMainClass() &&
        CreateWindowExA(0, kMainClassName, block->productName, 0, 0, 0, 0, 0, nullptr, nullptr, g_instance, nullptr)) {
      RunMessageLoop();
    }
    CloseHelp();
  }

  AttachBlock(nullptr);
  CloseSharedMemory(mapping, view);
  return 0;
}
