#pragma once
#include "framework/Platform.h"
#include <objbase.h>
// Keeps a control's class object (and with it its library) alive between the control's creations:
// AfxOleLockControl takes the class object under the caller's activation context and locks it;
// AfxOleUnlockControl lets it go. A class is locked once however often it is asked; FALSE when the
// class object cannot be had, or (unlock) when the class was not locked.
BOOL AfxOleLockControl(REFCLSID clsid);
BOOL AfxOleUnlockControl(REFCLSID clsid);
