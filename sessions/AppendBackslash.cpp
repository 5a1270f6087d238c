#include "sessions/AppendBackslash.h"
#include <shlwapi.h>

CString AppendBackslash(const CString& strPath)
{
    if (strPath.IsEmpty()) return strPath;
    const int nLength = strPath.GetLength();
    if (nLength + 1 < MAX_PATH)
    {
        wchar_t buffer[MAX_PATH] = {};
        ::lstrcpynW(buffer, strPath.GetString(), MAX_PATH);
        if (::PathAddBackslashW(buffer)) return CString(buffer);
    }
    // Beyond the shell's buffer the backslash is added here instead of cutting the path.
    if (strPath[nLength - 1] == L'\\') return strPath;
    return strPath + L"\\";
}
