#pragma once
// The one place the version lives: the executable, the settings module,
// the help file and the release package all take it from here.
#define PLENARA_VERSION_MAJOR 1
#define PLENARA_VERSION_MINOR 0
#define PLENARA_VERSION_PATCH 0
#define PLENARA_VERSION_BUILD 0
#define PLENARA_VERSION_STRING "1.0.0"
#define PLENARA_PRODUCT_NAME "Plenara"
