#pragma once
// BrennClient's version, in one place for the version resource: its first three parts must be the
// LumoClient.ocx it ships with, or the main window warns at every start.
#define BRENN_VERSION_MAJOR 5
#define BRENN_VERSION_MINOR 4
#define BRENN_VERSION_BUILD 9
#define BRENN_VERSION_REVISION 3
#define BRENN_VERSION_NUMBERS BRENN_VERSION_MAJOR, BRENN_VERSION_MINOR, BRENN_VERSION_BUILD, BRENN_VERSION_REVISION
// The texts spell the numbers out: the resource compiler joins strings but cannot print numbers.
#define BRENN_FILE_VERSION_TEXT "5, 4, 9, 3"
