#pragma once
// The about box: the product's name and version from the program's version
// resource, the user's name and the paths of the settings and help files.
// Runs on the calling thread until it closes; leaves nothing behind.
#include "shared/SharedBlock.h"

void RunAboutBox(SharedBlock& block);
