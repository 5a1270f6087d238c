#pragma once
#include "framework/CString.h"

// The warning BrennClient shows when the LumoClient.ocx beside it does not belong to it: its own
// "FileVersion" text ("5, 4, 9, 11" or "5.4.9.11") and the control's version text ("5.4.9.3")
// agree when they are equal, without regard to case, up to their last "." (the revision may
// differ). Empty when they agree; else the text of the warning, naming the control's full version
// and the least version the program needs (its own, revision 0).
CString LumoClientVersionWarning(const CString& strOwnFileVersion, const CString& strControlVersion);
