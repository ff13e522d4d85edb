#pragma once
// The monitor's record of the desktop work area. Zero at program start and
// never reset, so the first scan of a run compares with the last scan before.
#include "monitor/Geometry.h"

// Reads the work area (the desktop window's rectangle when that fails) and
// notes whether it differs from the previous reading.
void UpdateWorkArea();

// The latest reading.
Box WorkArea();

// Whether the latest reading differed from the one before it.
bool WorkAreaChanged();
