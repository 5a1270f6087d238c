#pragma once
#include "framework/Platform.h"
#include <commctrl.h>
// Registers the common control classes of dwIccClasses (ICC_LISTVIEW_CLASSES, ...) before a
// wrapper creates one; cheap after the first call for the same classes.
BOOL AfxInitCommonControls(DWORD dwIccClasses);
