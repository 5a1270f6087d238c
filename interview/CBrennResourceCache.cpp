#include "interview/CBrennResourceCache.h"
#include "framework/CHandleOwner.h"
#include "interview/CLanguageLoader.h"

namespace
{
constexpr wchar_t kCacheFolder[] = L"Brenn";

bool IsFolder(const CString& path)
{
    const DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolder(const CString& path)
{
    return IsFolder(path) || ::CreateDirectoryW(path, nullptr);
}
} // namespace

CString CBrennResourceCache::GetBaseFolder(bool bStandalone)
{
    CString folder;
    if (bStandalone)
    {
        const CString program = GetProgramPath();
        folder = program.Left(program.ReverseFind(L'\\') + 1);
    }
    else
    {
        wchar_t buffer[MAX_PATH + 1] = {};
        const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
        if (n && n <= MAX_PATH) folder = buffer;
    }
    if (!folder.IsEmpty() && folder.Right(1) != L"\\") folder += L"\\";
    return folder;
}

CString CBrennResourceCache::GetSurveyFolderName(long nSurveyId, bool bStandalone)
{
    CString name;
    name.Format(L"%s%s\\Survey-%ld", GetBaseFolder(bStandalone).GetString(), kCacheFolder, nSurveyId);
    return name;
}

CString CBrennResourceCache::GetSurveyFolder(long nSurveyId, bool bStandalone)
{
    const CString base = GetBaseFolder(bStandalone);
    const CString survey = GetSurveyFolderName(nSurveyId, bStandalone);
    if (!MakeFolder(base + kCacheFolder) || !MakeFolder(survey)) return base;
    return survey + L"\\";
}

bool CBrennResourceCache::DeleteCache(bool bStandalone)
{
    return DeleteFolderContents(GetBaseFolder(bStandalone) + kCacheFolder);
}

bool CBrennResourceCache::DeleteFolderContents(const CString& strFolder)
{
    WIN32_FIND_DATAW found{};
    CFindHandle hFind(::FindFirstFileW(strFolder + L"\\*.*", &found));
    if (!hFind.IsValid()) return false;
    bool bFound = false;
    do
    {
        const CString name(found.cFileName);
        if (name == L"." || name == L"..") continue;
        bFound = true;
        const CString path = strFolder + L"\\" + name;
        const bool bFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            ::SetFileAttributesW(path, found.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        {
            // Walking into a junction would empty whatever folder it points at.
            if (!(bFolder ? ::RemoveDirectoryW(path) : ::DeleteFileW(path))) ::DeleteFileW(path);
        }
        else if (bFolder)
        {
            DeleteFolderContents(path);
            ::RemoveDirectoryW(path);
        }
        else
            ::DeleteFileW(path);
    } while (::FindNextFileW(hFind.Get(), &found));
    return bFound;
}
