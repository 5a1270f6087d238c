#include "interview/CLanguageLoader.h"
#include "framework/AfxMessageBox.h"
#include "framework/CWinApp.h"
#include "interview/BrennResource.h"
#include "interview/CBrennIniFile.h"
#include <cwchar>
#include <vector>

namespace
{
CString FolderOf(const CString& path)
{
    return path.Left(path.ReverseFind(L'\\') + 1);
}

// Kernel32's entries that older systems lack, looked up at run time.
template <class Function> Function Kernel32Entry(const char* pszName)
{
    const HMODULE hKernel = ::GetModuleHandleW(L"kernel32.dll");
    return hKernel ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(hKernel, pszName))) : nullptr;
}

BOOL CALLBACK KeepLastLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD wLanguage, LONG_PTR lParam)
{
    *reinterpret_cast<WORD*>(lParam) = wLanguage;
    return TRUE;
}
} // namespace

CString GetProgramPath()
{
    std::vector<wchar_t> path(MAX_PATH);
    while (path.size() <= 32768)
    {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return CString();
        if (n < path.size()) return CString(path.data());
        path.resize(path.size() * 2);
    }
    return CString();
}

WORD GetFileLanguage(LPCWSTR pszPath)
{
    DWORD dwHandle = 0;
    const DWORD nSize = ::GetFileVersionInfoSizeW(pszPath, &dwHandle);
    if (nSize == 0) return 0;
    std::vector<BYTE> data(nSize);
    if (!::GetFileVersionInfoW(pszPath, 0, nSize, data.data())) return 0;
    WORD* pTranslation = nullptr;
    UINT nLength = 0;
    if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pTranslation),
                          &nLength) ||
        nLength < 2 * sizeof(WORD))
        return 0;
    return pTranslation[0];
}

CString GetLanguageDisplayName(WORD nLanguage)
{
    wchar_t name[256] = {};
    if (::GetLocaleInfoW(nLanguage, LOCALE_SNATIVELANGNAME, name, 256) > 1) return CString(name);
    if (::GetLocaleInfoW(nLanguage, LOCALE_SLANGUAGE, name, 256) > 1) return CString(name);
    CString text;
    text.Format(L"%u - ???", static_cast<unsigned>(nLanguage));
    return text;
}

WORD GetUserUILanguage()
{
    using Entry = LANGID(WINAPI*)();
    const Entry pfn = Kernel32Entry<Entry>("GetUserDefaultUILanguage");
    return pfn ? pfn() : 0;
}

WORD GetSystemUILanguage()
{
    using Entry = LANGID(WINAPI*)();
    if (!::GetModuleHandleW(L"kernel32.dll")) return 0;
    if (const Entry pfn = Kernel32Entry<Entry>("GetSystemDefaultUILanguage")) return pfn();
    // Systems without the entry: ntdll's version resource was made in the system's language; the
    // last language the enumeration reports is kept.
    WORD nLanguage = 0;
    if (const HMODULE hNtdll = ::GetModuleHandleW(L"ntdll.dll"))
        ::EnumResourceLanguagesW(hNtdll, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), KeepLastLanguage,
                                 reinterpret_cast<LONG_PTR>(&nLanguage));
    return nLanguage;
}

CLanguageLoader::CLanguageLoader() : m_nOwnLanguage(GetFileLanguage(GetProgramPath())) {}

CLanguageLoader::~CLanguageLoader()
{
    Unload();
}

void CLanguageLoader::SetBaseName(LPCWSTR pszBaseName)
{
    wcsncpy(m_szBaseName, pszBaseName ? pszBaseName : L"", MAX_PATH - 1);
    m_szBaseName[MAX_PATH - 1] = L'\0';
}

void CLanguageLoader::LoadBestLanguage()
{
    const auto attempt = [this](WORD nCandidate) {
        m_nCurrentLanguage = nCandidate;
        return TryLanguage();
    };
    if (m_nCurrentLanguage != 0 && TryLanguage()) return;
    if (attempt(static_cast<WORD>(CBrennIniFile::GetLanguageId()))) return;
    if (attempt(GetUserUILanguage())) return;
    if (attempt(GetSystemUILanguage())) return;
    if (attempt(::GetUserDefaultLangID())) return;
    if (attempt(::GetSystemDefaultLangID())) return;
    // The own resources are always there; its outcome tells nothing more.
    attempt(m_nOwnLanguage);
}

bool CLanguageLoader::TryLanguage()
{
    if (m_nCurrentLanguage == 0) return false;
    if (LoadLanguage()) return true;
    const WORD nCandidate = m_nCurrentLanguage;
    if (nCandidate > 1023)
    {
        m_nCurrentLanguage = nCandidate & 0x3FF;
        if (LoadLanguage()) return true;
    }
    if ((nCandidate >> 10) != 1)
    {
        m_nCurrentLanguage = static_cast<WORD>((m_nCurrentLanguage & 0x3FF) | 0x400);
        if (LoadLanguage()) return true;
    }
    return false;
}

bool CLanguageLoader::LoadLanguage()
{
    m_tried.push_back(m_nCurrentLanguage);
    if (m_nCurrentLanguage == m_nOwnLanguage)
    {
        Unload();
        return true;
    }
    wchar_t abbreviation[4] = {};
    if (::GetLocaleInfoW(m_nCurrentLanguage, LOCALE_SABBREVLANGNAME, abbreviation, 4) <= 1) return false;
    CLibraryHandle hLibrary(::LoadLibraryW(LibraryPath(abbreviation)));
    if (!hLibrary.IsValid()) return false;
    Unload();
    m_hLibrary = std::move(hLibrary);
    AfxSetResourceHandle(m_hLibrary.Get());
    return true;
}

CString CLanguageLoader::LibraryPath(LPCWSTR pszAbbreviation) const
{
    CString name(m_szBaseName);
    const int nDot = name.ReverseFind(L'.');
    if (nDot >= 0 && name.Find(L'\\', nDot) < 0) name = name.Left(nDot);
    return FolderOf(GetProgramPath()) + name + pszAbbreviation + L".dll";
}

void CLanguageLoader::Unload()
{
    if (!m_hLibrary.IsValid()) return;
    AfxSetResourceHandle(AfxGetInstanceHandle());
    m_hLibrary.Close();
}

void CLanguageLoader::FindLanguages()
{
    m_languages.RemoveAll();
    if (m_nOwnLanguage != 0) m_languages.Add(m_nOwnLanguage);
    const CString folder = FolderOf(GetProgramPath());
    WIN32_FIND_DATAW found{};
    CFindHandle hFind(::FindFirstFileW(LibraryPath(L"???"), &found));
    if (!hFind.IsValid()) return;
    do
    {
        if (const WORD nLanguage = GetFileLanguage(folder + found.cFileName)) m_languages.Add(nLanguage);
    } while (::FindNextFileW(hFind.Get(), &found));
}

HMENU CLanguageLoader::BuildLanguageMenu(UINT nFirstId)
{
    FindLanguages();
    const HMENU hMenu = ::CreatePopupMenu();
    if (!hMenu) return nullptr;
    const UINT nCount = static_cast<UINT>(m_languages.GetSize());
    for (UINT i = 0; i < nCount; ++i)
        ::AppendMenuW(hMenu, MF_STRING, nFirstId + i, GetLanguageDisplayName(m_languages[i]));
    for (UINT i = 0; i < nCount; ++i)
        if (IsCurrentLanguage(i))
        {
            ::CheckMenuRadioItem(hMenu, nFirstId, nFirstId + nCount - 1, nFirstId + i, MF_BYCOMMAND);
            break;
        }
    return hMenu;
}

BOOL CLanguageLoader::AttachLanguageMenu(HMENU hMenu, UINT nItemId, UINT nFirstId)
{
    CMenuHandle hSubMenu(BuildLanguageMenu(nFirstId));
    if (!hSubMenu.IsValid()) return FALSE;
    MENUITEMINFOW info{sizeof info};
    info.fMask = MIIM_SUBMENU;
    info.hSubMenu = hSubMenu.Get();
    if (!::SetMenuItemInfoW(hMenu, nItemId, FALSE, &info)) return FALSE;
    hSubMenu.Detach(); // the menu item owns it now
    ::EnableMenuItem(hMenu, nItemId, MF_BYCOMMAND | MF_ENABLED);
    return TRUE;
}

bool CLanguageLoader::IsCurrentLanguage(INT_PTR nIndex) const
{
    return nIndex >= 0 && nIndex < m_languages.GetSize() && m_languages[nIndex] == m_nCurrentLanguage;
}

void CLanguageLoader::SwitchLanguage(UINT nCommandId, BOOL bApplyNow)
{
    const INT_PTR nIndex = static_cast<INT_PTR>(nCommandId) - static_cast<INT_PTR>(kFirstLanguageCommand);
    if (nIndex < 0 || nIndex >= m_languages.GetSize()) return;
    const WORD nLanguage = m_languages[nIndex];
    CBrennIniFile::SetLanguageId(nLanguage);
    if (bApplyNow)
    {
        m_nCurrentLanguage = nLanguage;
        LoadBestLanguage();
        return;
    }
    CString format;
    format.LoadString(IDS_PLEASE_RESTART);
    LPCWSTR pszName = AfxGetAppName();
    DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>(pszName ? pszName : L"")};
    wchar_t* pszText = nullptr;
    if (::FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                         format.GetString(), 0, 0, reinterpret_cast<LPWSTR>(&pszText), 0,
                         reinterpret_cast<va_list*>(args)))
    {
        const CString text(pszText);
        ::LocalFree(pszText);
        AfxMessageBox(text, MB_OK | MB_ICONINFORMATION);
    }
}
