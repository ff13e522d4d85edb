#pragma once
class TrayIconDriver;

// Creates the application's one tray icon, set up and shown (at WM_CREATE).
void SetUpTrayIcon();

// Deletes it (first step of shutdown); TrayIcon() is null from then on.
void DeleteTrayIcon();

// The icon, or null before set-up and after deletion.
TrayIconDriver* TrayIcon();
