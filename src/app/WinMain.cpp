#include <windows.h>

#include "app/Startup.h"

// The command line, the show state and the instance passed here are ignored.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunPlenara(); }
