#pragma once
#include <windows.h>

// The program's whole life: start-up, message loop, close. Returns the exit
// code, which is always 0.
int RunPlenara();

// Gets and dispatches this thread's messages until WM_QUIT, each shown to the
// help control first while help is initialized.
void RunMessageLoop();

// The instance handle every resource is loaded from.
HINSTANCE ModuleInstance();

// Fills productName from the program's version resource; leaves it empty
// when anything is missing.
void LoadProductName();
