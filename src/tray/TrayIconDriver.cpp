// Placeholder until the tray icon driver lands: no icon is shown.
#include "tray/TrayIconDriver.h"

TrayIconDriver::TrayIconDriver(HWND owner) : ownerWindow(owner) {}
TrayIconDriver::~TrayIconDriver() {}
void TrayIconDriver::Show() {}
void TrayIconDriver::Hide() {}
void TrayIconDriver::SetTip(const char*) {}
void TrayIconDriver::SetAnimating(BOOL flag) { animating = flag; }
void TrayIconDriver::SetInterval(int32_t milliseconds) { interval = milliseconds; }
void TrayIconDriver::SetImageList(HIMAGELIST list) { imageList = list; }
