#pragma once
#include "framework/CString.h"

// The folders where a survey's archive and its resource files (pictures, sounds) are kept: one
// "Survey-<id>" per survey inside "Brenn", in the user's temporary folder or, stand-alone, beside
// the executable. Never instantiated.
class CBrennResourceCache
{
public:
    CBrennResourceCache() = delete;

    // The survey's folder with a trailing backslash, created as needed; the base folder itself
    // when a folder cannot be made.
    static CString GetSurveyFolder(long nSurveyId, bool bStandalone);
    // The same path without the backslash, creating nothing.
    static CString GetSurveyFolderName(long nSurveyId, bool bStandalone);
    // Empties "Brenn" and keeps it; true when anything was in it.
    static bool DeleteCache(bool bStandalone);
    // Removes every file and folder inside the folder, recursively; failures are passed over. A
    // junction or symbolic link is removed itself: what it points at is not ours. True when
    // anything was found.
    static bool DeleteFolderContents(const CString& strFolder);
    // The executable's folder or the temporary folder, with a trailing backslash.
    static CString GetBaseFolder(bool bStandalone);
};
