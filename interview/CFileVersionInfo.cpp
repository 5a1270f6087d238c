#include "interview/CFileVersionInfo.h"
#include "framework/CHandleOwner.h"
#include "interview/CLanguageLoader.h"
#include <vector>

namespace
{
CString QueryText(const std::vector<BYTE>& data, WORD nLanguage, WORD nCodePage, LPCWSTR pszName)
{
    CString path;
    path.Format(L"\\StringFileInfo\\%04x%04x\\%s", static_cast<unsigned>(nLanguage), static_cast<unsigned>(nCodePage),
                pszName);
    wchar_t* pszValue = nullptr;
    UINT nLength = 0;
    if (!::VerQueryValueW(data.data(), path, reinterpret_cast<void**>(&pszValue), &nLength) || !pszValue) return {};
    return CString(pszValue, static_cast<int>(wcsnlen(pszValue, nLength)));
}
} // namespace

bool CFileVersionInfo::Load()
{
    return LoadFrom(GetProgramPath());
}

bool CFileVersionInfo::LoadFrom(const CString& strPath)
{
    m_strFilePath = strPath;
    if (m_strFilePath.IsEmpty()) return false;
    DWORD dwHandle = 0;
    const DWORD nSize = ::GetFileVersionInfoSizeW(m_strFilePath, &dwHandle);
    if (nSize == 0) return false;
    std::vector<BYTE> data(nSize);
    if (!::GetFileVersionInfoW(m_strFilePath, 0, nSize, data.data())) return false;
    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT nLength = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&pFixed), &nLength) || !pFixed ||
        nLength < sizeof m_fixed)
        return false;
    m_fixed = *pFixed;

    WORD* pTranslation = nullptr;
    if (::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pTranslation),
                         &nLength) &&
        nLength >= 2 * sizeof(WORD))
    {
        m_nLanguage = pTranslation[0];
        m_nCodePage = pTranslation[1];
    }
    const auto text = [&](LPCWSTR pszName) { return QueryText(data, m_nLanguage, m_nCodePage, pszName); };
    m_strCompanyName = text(L"CompanyName");
    m_strLegalCopyRight = text(L"LegalCopyRight");
    m_strProductName = text(L"ProductName");
    m_strProductVersion = text(L"ProductVersion");
    m_strOriginalFileName = text(L"OriginalFileName");
    m_strFileDescription = text(L"FileDescription");
    m_strFileVersion = text(L"FileVersion");
    m_strInternalName = text(L"InternalName");

    m_strMajorVersion.Format(L"%d", static_cast<int>(HIWORD(m_fixed.dwFileVersionMS)));
    m_strMinorVersion.Format(L"%d", static_cast<int>(LOWORD(m_fixed.dwFileVersionMS)));
    m_strVersion.Format(L"%d.%d.%d.%d", static_cast<int>(HIWORD(m_fixed.dwFileVersionMS)),
                        static_cast<int>(LOWORD(m_fixed.dwFileVersionMS)),
                        static_cast<int>(HIWORD(m_fixed.dwFileVersionLS)),
                        static_cast<int>(LOWORD(m_fixed.dwFileVersionLS)));
    m_strFileType = FileTypeText(m_fixed.dwFileType, m_fixed.dwFileSubtype);
    m_strFileOS = FileOSText(m_fixed.dwFileOS);
    ReadFileTime();
    return true;
}

void CFileVersionInfo::ReadFileTime()
{
    const CFileHandle hFile(::CreateFileW(m_strFilePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    if (!hFile.IsValid()) return;
    FILETIME written{}, local{};
    SYSTEMTIME time{};
    if (!::GetFileTime(hFile.Get(), nullptr, nullptr, &written) || !::FileTimeToLocalFileTime(&written, &local) ||
        !::FileTimeToSystemTime(&local, &time))
    {
        m_dtFileTime.SetStatus(COleDateTime::invalid);
        return;
    }
    m_dtFileTime = COleDateTime(time);
}

CString CFileVersionInfo::FileTypeText(DWORD dwFileType, DWORD dwFileSubtype)
{
    switch (dwFileType)
    {
    case 0: return L"Unknown type";
    case 1: return L"Application";
    case 2: return L"Dynamic link library";
    case 5: return L"Virtual device";
    case 7: return L"Static link library";
    case 3:
    {
        static const wchar_t* const kDrivers[] = {L"Unknown driver",   L"Printer driver",  L"Keyboard driver",
                                                  L"Language driver",  L"Display driver",  L"Mouse driver",
                                                  L"Network driver",   L"System driver",   L"Installable driver",
                                                  L"Sound driver"};
        return dwFileSubtype < std::size(kDrivers) ? CString(kDrivers[dwFileSubtype]) : CString();
    }
    case 4:
    {
        static const wchar_t* const kFonts[] = {L"Unknown font", L"Raster font", L"Vector font", L"Truetype font"};
        return dwFileSubtype < std::size(kFonts) ? CString(kFonts[dwFileSubtype]) : CString();
    }
    default: return {};
    }
}

CString CFileVersionInfo::FileOSText(DWORD dwFileOS)
{
    switch (dwFileOS)
    {
    case 0: return L"Unknown OS";
    case 0x10000: return L"MS-DOS";
    case 0x10001: return L"16-bit windows running on MS-DOS";
    case 0x10004: return L"Win32 API running on MS-DOS";
    case 0x20000: return L"16-bit OS/2";
    case 0x20002: return L"16-bit Presentation manager running on 16-bit OS/2";
    case 0x30000: return L"32-bit OS/2";
    case 0x40000: return L"Windows NT";
    case 0x40004: return L"Win32 API on Windows NT";
    default: return {};
    }
}
