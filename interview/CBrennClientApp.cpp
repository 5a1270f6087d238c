#include "interview/CBrennClientApp.h"
#include "core/CStaticTools.h"
#include "core/CTimeTools.h"
#include "framework/AfxEnableControlContainer.h"
#include "framework/AfxMessageBox.h"
#include "framework/CHandleOwner.h"
#include "interview/BrennResource.h"
#include "interview/CBrennClientDlg.h"
#include "interview/CBrennIniFile.h"
#include "interview/CBrennResourceCache.h"
#include <clocale>
#include <commctrl.h>
#include <cwchar>
#include <gdiplus.h>
#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

namespace
{
constexpr wchar_t kRegistryCompany[] = L"Quelmoor";
constexpr wchar_t kApplicationName[] = L"BrennClient";
constexpr wchar_t kScriptFile[] = L"OstraneScript.js";
constexpr DWORD kBrowserEmulation = 11000;

std::vector<CString> ProcessArguments()
{
    std::vector<CString> arguments;
    if (__wargv)
        for (int i = 0; i < __argc; ++i)
            arguments.emplace_back(__wargv[i]);
    return arguments;
}

bool FileExists(const CString& path)
{
    const DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const CString& path)
{
    const DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

CString ProgramFolder()
{
    const CString path = GetProgramPath();
    return path.Left(path.ReverseFind(L'\\') + 1);
}

// "path*parameters": the parameters follow the last "*"; without one only the path changes.
void SplitProgram(const CString& value, CString& path, CString& parameters)
{
    const int nStar = value.ReverseFind(L'*');
    if (nStar < 0)
    {
        path = value;
        return;
    }
    path = value.Left(nStar);
    parameters = value.Mid(nStar + 1);
}

// Ports are unsigned 16-bit, as Lumo's own option takes them; anything else is no port.
USHORT PortFromText(const CString& value)
{
    const long nPort = CStaticTools::ToLong(value);
    return nPort >= 1 && nPort <= 65535 ? static_cast<USHORT>(nPort) : 0;
}

bool ReadEmulation(HKEY hRoot, DWORD& dwValue)
{
    DWORD dwType = 0, cb = sizeof dwValue;
    return ::RegGetValueW(hRoot, CBrennClientApp::kBrowserEmulationKey, CBrennClientApp::kBrowserEmulationValue,
                          RRF_RT_REG_DWORD, &dwType, &dwValue, &cb) == ERROR_SUCCESS;
}

bool WriteEmulation(DWORD dwValue)
{
    CRegKeyHandle hKey;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, CBrennClientApp::kBrowserEmulationKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, hKey.Receive(), nullptr) != ERROR_SUCCESS)
        return false;
    return ::RegSetValueExW(hKey.Get(), CBrennClientApp::kBrowserEmulationValue, 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&dwValue), sizeof dwValue) == ERROR_SUCCESS;
}
} // namespace

CBrennClientApp* GetBrennApp()
{
    return static_cast<CBrennClientApp*>(AfxGetApp());
}

CBrennClientApp::CBrennClientApp() : CWinApp(kApplicationName) {}

CBrennClientApp::~CBrennClientApp()
{
    if (m_pMainDlg && m_pMainDlg->GetSafeHwnd()) m_pMainDlg->DestroyWindow();
}

bool CBrennClientApp::IsStandaloneRequested(const std::vector<CString>& arguments)
{
    for (size_t i = 1; i < arguments.size(); ++i)
    {
        CString lower(arguments[i]);
        lower.MakeLower();
        if (lower == L"-standalone" || lower == L"-sa") return true;
    }
    return false;
}

BOOL CBrennClientApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    if (m_arguments.empty()) m_arguments = ProcessArguments();
    // Before any setting is read: stand-alone means no registry access at all.
    m_bStandalone = IsStandaloneRequested(m_arguments);
    SetStandalone(m_bStandalone);
    SetRegistryKey(kRegistryCompany);
    CBrennIniFile::Open(nullptr, TRUE, m_bStandalone);
    ReadSettings();
    ChooseHtmlFolder();
    CTimeTools::LoadTimeZonesFromResources(CString());
    m_nLanguageId = -1;
    if (!ParseOptions()) return FALSE;
    if (m_strScriptPath.IsEmpty()) FindScriptFolder();
    if (!m_strScriptPath.IsEmpty() && m_strScriptPath.Right(1) != L"\\") m_strScriptPath += L"\\";
    SetBrowserEmulation();

    m_LanguageLoader.SetBaseName(kApplicationName);
    if (m_nLanguageId >= 0) m_LanguageLoader.SetLanguage(static_cast<WORD>(m_nLanguageId));
    m_LanguageLoader.LoadBestLanguage();

    WSADATA wsa{};
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
    {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED, MB_OK);
        return FALSE;
    }
    m_socketsStarted.Attach(true);
    m_oleStarted.Attach(SUCCEEDED(::OleInitialize(nullptr)));
    AfxEnableControlContainer();
    _wsetlocale(LC_ALL, L"");

    m_VersionInfo.Load();
    if (!m_strOwnVersionOverride.IsEmpty()) m_VersionInfo.m_strFileVersion = m_strOwnVersionOverride;

    Gdiplus::GdiplusStartupInput gdiplusInput;
    if (Gdiplus::GdiplusStartup(&m_GdiplusToken, &gdiplusInput, nullptr) != Gdiplus::Ok) m_GdiplusToken = 0;

    return CreateMainWindow();
}

void CBrennClientApp::ReadSettings()
{
    m_nAppPort = static_cast<USHORT>(CBrennIniFile::GetAppPort());
    m_strScriptPath = CBrennIniFile::GetScriptPath();
    m_strGeoLumoExe = CBrennIniFile::GetGeoLumoExe();
    m_strGeoLumoDir = CBrennIniFile::GetGeoLumoDir();
    m_strStartExe = CBrennIniFile::GetStartExe();
    m_strStartParameters = CBrennIniFile::GetStartParameters();
    m_strEndExe = CBrennIniFile::GetEndExe();
    m_strEndParameters = CBrennIniFile::GetEndParameters();
    m_bExpandQuestionnaireTree = !CBrennIniFile::IsCollapseQuestionnaireTree();
}

void CBrennClientApp::ChooseHtmlFolder()
{
    if (m_bStandalone)
    {
        const CString folder = ProgramFolder() + kApplicationName + L"\\";
        if (FolderExists(folder) || ::CreateDirectoryW(folder, nullptr))
        {
            m_strHtmlTempPath = folder;
            return;
        }
    }
    m_strHtmlTempPath = CBrennIniFile::GetHTMLTempPath();
}

BOOL CBrennClientApp::ParseOptions()
{
    for (size_t i = 1; i < m_arguments.size(); ++i)
    {
        CString argument(m_arguments[i]);
        if (!argument.IsEmpty() && argument[0] == L'/') argument = L"-" + argument.Mid(1);
        if (argument == L"-?")
        {
            CString usage;
            usage.Format(IDS_USAGE, m_arguments[0].GetString());
            AfxMessageBox(usage, MB_OK | MB_ICONINFORMATION);
            return FALSE;
        }
        ApplyOption(argument);
    }
    return TRUE;
}

void CBrennClientApp::ApplyOption(const CString& argument)
{
    CString lower(argument);
    lower.MakeLower();
    CString value;
    const auto match = [&](LPCWSTR pszPrefix) {
        if (wcsncmp(lower, pszPrefix, wcslen(pszPrefix)) != 0) return false;
        value = argument.Mid(static_cast<int>(wcslen(pszPrefix)));
        return true;
    };
    if (match(L"-appport:"))
        m_nAppPort = PortFromText(value);
    else if (match(L"-scripts:"))
        m_strScriptPath = value;
    else if (match(L"-geolumo:"))
        SplitProgram(value, m_strGeoLumoExe, m_strGeoLumoDir);
    else if (match(L"-onstart:"))
        SplitProgram(value, m_strStartExe, m_strStartParameters);
    else if (match(L"-onstop:"))
        SplitProgram(value, m_strEndExe, m_strEndParameters);
    else if (match(L"-tree:"))
        m_bExpandQuestionnaireTree = value == L"Y" || value == L"y";
    else if (match(L"-langid:"))
        m_nLanguageId = CStaticTools::ToInt(value);
    else if (match(L"-intvw:"))
    {
        wchar_t expanded[MAX_PATH] = {};
        const DWORD n = ::ExpandEnvironmentStringsW(value, expanded, MAX_PATH);
        m_strInterviewDir = n && n <= MAX_PATH ? CString(expanded) : value;
    }
    else if (match(L"-language:"))
        m_nLanguageId = lower.Mid(10) == L"fra" ? 1036 : 1033;
}

void CBrennClientApp::FindScriptFolder()
{
    const auto tryFolder = [this](const CString& folder, LPCWSTR pszScripts) {
        if (FileExists(folder + pszScripts + L"\\" + kScriptFile)) m_strScriptPath = folder + pszScripts;
    };
    if (!m_bStandalone)
        for (const int nFolder : {CSIDL_COMMON_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_APPDATA})
        {
            wchar_t path[MAX_PATH] = {};
            if (FAILED(::SHGetFolderPathW(nullptr, nFolder, nullptr, SHGFP_TYPE_CURRENT, path))) continue;
            CString folder(path);
            if (!FolderExists(folder)) continue;
            if (folder.Right(1) != L"\\") folder += L"\\";
            tryFolder(folder, L"Brenn\\Scripts");
        }
    wchar_t current[MAX_PATH] = {};
    const DWORD n = ::GetCurrentDirectoryW(MAX_PATH, current);
    if (n && n < MAX_PATH)
    {
        CString folder(current);
        if (folder.Right(1) != L"\\") folder += L"\\";
        tryFolder(folder, L"Scripts");
    }
    tryFolder(ProgramFolder(), L"Scripts");
}

void CBrennClientApp::SetBrowserEmulation()
{
    DWORD dwValue = 0;
    if (!ReadEmulation(HKEY_CURRENT_USER, dwValue) || dwValue == 0)
        if (!ReadEmulation(HKEY_LOCAL_MACHINE, dwValue)) dwValue = 0;
    if (dwValue >= 10000) return; // a mode of the browser's own: not ours to change
    m_nBrowserEmulationOld = static_cast<long>(dwValue);
    if (!WriteEmulation(kBrowserEmulation)) m_nBrowserEmulationOld = -1;
}

void CBrennClientApp::RestoreBrowserEmulation()
{
    if (m_nBrowserEmulationOld > 0)
        WriteEmulation(static_cast<DWORD>(m_nBrowserEmulationOld));
    else if (m_nBrowserEmulationOld == 0)
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kBrowserEmulationKey, kBrowserEmulationValue);
    m_nBrowserEmulationOld = -1;
}

BOOL CBrennClientApp::CreateMainWindow()
{
    auto* pDlg = new CBrennClientDlg(m_nAppPort);
    m_pMainDlg = pDlg;
    if (!pDlg->CreateMain())
    {
        // No window was made, so nothing deletes the object on its way out.
        if (!pDlg->GetSafeHwnd()) delete pDlg;
        m_pMainDlg = nullptr;
        return FALSE;
    }
    if (pDlg->IsConnected())
    {
        m_pMainWnd = pDlg;
        return TRUE;
    }
    pDlg->DestroyWindow(); // the window deletes its object
    m_pMainDlg = nullptr;
    return FALSE;
}

void CBrennClientApp::ForgetMainWindow(const CBrennClientDlg* pDlg)
{
    if (m_pMainDlg == pDlg) m_pMainDlg = nullptr;
}

int CBrennClientApp::ExitInstance()
{
    CBrennResourceCache::DeleteCache(m_bStandalone);
    if (m_GdiplusToken)
    {
        Gdiplus::GdiplusShutdown(m_GdiplusToken);
        m_GdiplusToken = 0;
    }
    m_pMainDlg = nullptr;
    CBrennIniFile::Close();
    RestoreBrowserEmulation();
    m_oleStarted.Close();
    m_socketsStarted.Close();
    return CWinApp::ExitInstance();
}
