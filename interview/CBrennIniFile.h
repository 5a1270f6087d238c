#pragma once
#include "core/CIniFileBase.h"
#include "framework/CString.h"

// BrennClient's settings under "Software\Quelmoor\BrennClient": the sections Settings and GeoLumo
// and LanguageId on the key itself. Each accessor reads the registry again and knows its value's
// default, range and whether a missing value is written back for an administrator to edit. With
// registry access off (stand-alone) every accessor gives its default.
class CBrennIniFile : public CIniFileBase
{
public:
    ~CBrennIniFile() override = default;

    static int GetAppPort(); // 1..32768
    // Ends in a backslash unless empty.
    static CString GetScriptPath();
    static CString GetStartExe();
    static CString GetStartParameters();
    static CString GetEndExe();
    static CString GetEndParameters();
    static bool IsCollapseQuestionnaireTree();
    // The configured folder with a trailing backslash; when none is configured, "BrennClient\" in
    // the temporary folder, created when missing, or the temporary folder itself when it cannot be.
    static CString GetHTMLTempPath();
    static int GetReceiveQuestionnaireTimeout(); // milliseconds
    static CString GetGeoLumoExe();
    static CString GetGeoLumoDir();
    static int GetLanguageId(); // 0: none chosen
    static void SetLanguageId(int nLanguageId);
};
