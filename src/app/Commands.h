#pragma once
// The main window's commands and the messages of its protocol.
#include <windows.h>

constexpr WORD kCmdStart = 401;
constexpr WORD kCmdStop = 402;
constexpr WORD kCmdAbout = 496;
constexpr WORD kCmdHelp = 497;
constexpr WORD kCmdSettings = 498;
constexpr WORD kCmdExit = 499;

constexpr UINT kMsgGetRecord = WM_USER + 0;
constexpr UINT kMsgGetChildCount = WM_USER + 1;
constexpr UINT kMsgInsertRecord = WM_USER + 2;
constexpr UINT kMsgDeleteRecord = WM_USER + 3;
constexpr UINT kMsgSetRecord = WM_USER + 4;
constexpr UINT kMsgApplySettings = WM_USER + 5;
constexpr UINT kMsgHelpRequest = WM_USER + 8;
constexpr UINT kMsgStateChanged = WM_USER + 9;  // to the property window

constexpr WPARAM kHelpRequestContext = 8;  // WM_USER+8's wParam for context help

constexpr char kMainClassName[] = "PlenaraMainClass";
