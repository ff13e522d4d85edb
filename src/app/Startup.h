#pragma once
#include <windows.h>

// The program's whole life: start-up, message loop, close. Returns the exit
// code, which is always 0.
int RunPlenara();

// The instance handle every resource is loaded from.
HINSTANCE ModuleInstance();

// Fills productName from the program's version resource; leaves it empty
// when anything is missing.
void LoadProductName();
