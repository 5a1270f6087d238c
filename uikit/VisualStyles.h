#pragma once
#include "framework/Platform.h"
// Which common controls the process runs with. The probe asks comctl32's DllGetVersion once and
// remembers the answer; tests force a version (Wine's comctl32 reports 5.81, so the themed
// branches run only when forced) and reset the probe afterwards.

// The major version of comctl32.dll, 0 when it cannot be read.
DWORD GetCommonControlsMajorVersion();
// Visual styles are available with common controls 6 or later.
bool AreVisualStylesAvailable();
void OverrideCommonControlsVersion(DWORD dwMajor);
void ResetCommonControlsProbe(); // forgets the remembered answer and any override
