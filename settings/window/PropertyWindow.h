#pragma once
// The settings window: the targets and their child rules, the general
// settings and the monitoring switch. Runs on the calling thread until the
// window closes (the user closes it, or the program posts WM_CLOSE at
// shutdown); everything it made is gone when it returns.
#include "shared/SharedBlock.h"

void RunPropertyWindow(SharedBlock& block);
