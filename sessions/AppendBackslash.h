#pragma once
#include "framework/CString.h"

// The path with a trailing backslash, added when it lacks one; an empty path stays empty.
CString AppendBackslash(const CString& strPath);
