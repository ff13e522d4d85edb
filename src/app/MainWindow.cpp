#include "app/MainWindow.h"

#include "app/Commands.h"
#include "app/Lifecycle.h"
#include "app/Monitoring.h"
#include "companion/Companion.h"
#include "companion/Help.h"
#include "shared/SharedBlock.h"
#include "targets/TargetStore.h"

namespace {

// Returns false for an id that is not one of the six commands.
bool RunCommand(HWND window, WORD id) {
  switch (id) {
    case kCmdStart:
      StartMonitoring(window);
      return true;
    case kCmdStop:
      StopMonitoring(window);
      return true;
    case kCmdAbout:
      OpenCompanionWindow(kAboutSlot, "OpenAboutBox");
      return true;
    case kCmdHelp:
      CallHelp(window, Block()->helpPath, kHhDisplayTopic, 0);
      return true;
    case kCmdSettings:
      OpenCompanionWindow(kPropertySlot, "OpenPropertyWindow");
      return true;
    case kCmdExit:
      PostMessageA(window, WM_CLOSE, 0, 0);
      return true;
    default:
      return false;
  }
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(window);
    case WM_DESTROY:
      OnShutdown(window);
      PostQuitMessage(0);
      return 0;
    case WM_ENDSESSION:
      if (wParam) OnShutdown(window);
      return 0;
    case WM_COMMAND:
      if (RunCommand(window, LOWORD(wParam))) return 0;
      break;
    case kMsgGetRecord:
      return GetRecord(wParam, lParam);
    case kMsgGetChildCount:
      return GetChildCount(wParam, lParam);
    case kMsgInsertRecord:
      return InsertRecord(wParam, lParam);
    case kMsgDeleteRecord:
      return DeleteRecord(wParam, lParam);
    case kMsgSetRecord:
      return SetRecord(wParam, lParam);
    case kMsgApplySettings:
      return ApplySettings(wParam, lParam);
    case kMsgHelpRequest:
      if (wParam == kHelpRequestContext) {
        CallHelp(window, Block()->helpPath, kHhHelpContext, static_cast<DWORD_PTR>(lParam));
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
