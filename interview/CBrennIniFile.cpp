#include "interview/CBrennIniFile.h"
#include <climits>

namespace
{
constexpr wchar_t kSettings[] = L"Settings";
constexpr wchar_t kGeoLumo[] = L"GeoLumo";
constexpr wchar_t kApplicationName[] = L"BrennClient";

CString WithBackslash(CString path)
{
    if (!path.IsEmpty() && path.Right(1) != L"\\") path += L"\\";
    return path;
}

CString TempFolder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
    return WithBackslash(n && n <= MAX_PATH ? CString(buffer) : CString());
}
} // namespace

int CBrennIniFile::GetAppPort()
{
    return GetInt(kSettings, L"AppPort", 1905, 1, 32768, TRUE);
}

CString CBrennIniFile::GetScriptPath()
{
    return WithBackslash(GetString(kSettings, L"ScriptPath", L"", TRUE));
}

CString CBrennIniFile::GetStartExe()
{
    return GetString(kSettings, L"StartExe", L"", TRUE);
}

CString CBrennIniFile::GetStartParameters()
{
    return GetString(kSettings, L"StartParameters", L"", TRUE);
}

CString CBrennIniFile::GetEndExe()
{
    return GetString(kSettings, L"EndExe", L"", TRUE);
}

CString CBrennIniFile::GetEndParameters()
{
    return GetString(kSettings, L"EndParameters", L"", TRUE);
}

bool CBrennIniFile::IsCollapseQuestionnaireTree()
{
    return GetBool(kSettings, L"IsCollapseQuestionnaireTree", false, TRUE);
}

CString CBrennIniFile::GetHTMLTempPath()
{
    const CString configured = GetString(kSettings, L"HTMLTempPath", L"", TRUE);
    if (!configured.IsEmpty()) return WithBackslash(configured);
    const CString temp = TempFolder();
    const CString folder = temp + kApplicationName + L"\\";
    const DWORD attributes = ::GetFileAttributesW(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return folder;
    return ::CreateDirectoryW(folder, nullptr) ? folder : temp;
}

int CBrennIniFile::GetReceiveQuestionnaireTimeout()
{
    return GetInt(kSettings, L"ReceiveQuestionnaireTimeout", 60000, 1000, 3600000, TRUE);
}

CString CBrennIniFile::GetGeoLumoExe()
{
    return GetString(kGeoLumo, L"GeoLumoExe", L"", TRUE);
}

CString CBrennIniFile::GetGeoLumoDir()
{
    return GetString(kGeoLumo, L"GeoLumoDir", L"", TRUE);
}

int CBrennIniFile::GetLanguageId()
{
    return GetInt(nullptr, L"LanguageId", 0, 0, INT_MAX, FALSE);
}

void CBrennIniFile::SetLanguageId(int nLanguageId)
{
    SetInt(nullptr, L"LanguageId", nLanguageId);
}
