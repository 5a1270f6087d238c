#pragma once
// BrennClient's version for the version resource: the release version of the build (the VERSION
// file), which LumoClient.ocx shares, so that the main window does not warn at every start.
#include "LumoVersion.h"
#define BRENN_VERSION_MAJOR LUMO_VERSION_MAJOR
#define BRENN_VERSION_MINOR LUMO_VERSION_MINOR
#define BRENN_VERSION_BUILD LUMO_VERSION_BUILD
#define BRENN_VERSION_REVISION LUMO_VERSION_REVISION
#define BRENN_VERSION_NUMBERS BRENN_VERSION_MAJOR, BRENN_VERSION_MINOR, BRENN_VERSION_BUILD, BRENN_VERSION_REVISION
#define BRENN_FILE_VERSION_TEXT LUMO_VERSION_LIST_TEXT
