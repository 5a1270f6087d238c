#include "core/CPasswordCipher.h"
#include "desktop/CIniFile.h"
#include "desktop/CLumoApp.h"
#include "desktop/LumoMessages.h"
#include "desktop/tests/SettingsKey.h"
#include "framework/AfxEnableControlContainer.h"
#include "framework/CDialog.h"
#include "framework/CHandleOwner.h"
#include "framework/testing/CDialogTemplateBuilder.h"
#include "framework/testing/CMessageBoxAnswerer.h"
#include "framework/testing/MessagePump.h"
#include "uikit/IDialogHost.h"
#include "sessions/CCallResultSettings.h"
#include "LumoVersion.h"
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <htmlhelp.h>
#include <memory>
#include <string>

namespace
{
constexpr wchar_t kProgram[] = L"C:\\Program Files\\Lumo\\Lumo.exe";

std::wstring Str(const CString& s)
{
    return static_cast<LPCWSTR>(s);
}

std::wstring Encrypted(LPCWSTR pszPassword)
{
    CString letters;
    EXPECT_TRUE(EncryptPassword(pszPassword, letters));
    return Str(letters);
}

// Start-up up to the connection to Jex, which is the connection tests' business.
class CStartOnlyApp : public CLumoApp
{
public:
    BOOL Connect(BOOL bShowWhileConnecting) override
    {
        m_connects.push_back(bShowWhileConnecting);
        const HWND hMain = m_pMainDlg ? m_pMainDlg->GetSafeHwnd() : nullptr;
        m_mainAtConnect.push_back(
            {hMain, hMain && ::IsWindowVisible(hMain), m_pMainWnd == m_pMainDlg.get(), GetDialogHost() == &m_host});
        return FALSE;
    }
    std::vector<BOOL> m_connects;
    struct MainWindowState
    {
        HWND hWnd;
        bool bVisible;
        bool bFrameworkMain;
        bool bDialogHost;
    };
    std::vector<MainWindowState> m_mainAtConnect;
};

// One application object per test, on the program's own key, started with the given arguments.
class LumoAppTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        if (m_pApp) m_pApp->ExitInstance();
        m_pApp.reset();
        CIniFile::Open(nullptr, FALSE, TRUE); // nothing after us touches the program's key
    }

    BOOL Start(std::vector<std::wstring> arguments)
    {
        if (m_pApp) m_pApp->ExitInstance();
        m_pApp.reset();
        m_pApp = std::make_unique<CStartOnlyApp>();
        std::vector<CString> all{CString(kProgram)};
        for (const auto& a : arguments)
            all.emplace_back(a.c_str());
        m_pApp->SetArguments(std::move(all));
        return m_pApp->InitInstance();
    }
    CLumoApp& App() { return *m_pApp; }
    const std::vector<BOOL>& Connects() { return static_cast<CStartOnlyApp&>(*m_pApp).m_connects; }

    SettingsKey m_key{L"Software\\Quelmoor\\LUMO"};
    CMessageBoxAnswerer m_boxes;
    std::unique_ptr<CLumoApp> m_pApp;
};

struct OptionCase
{
    std::vector<std::wstring> arguments;
    std::function<void(CLumoApp&)> check;
    const char* why;
};

TEST_F(LumoAppTest, OptionsOverrideTheSettings)
{
    m_key.Put(HKEY_CURRENT_USER, L"RemoteHost", RegValue::Text(L"reghost"));
    m_key.Put(HKEY_CURRENT_USER, L"RemotePortNr", RegValue::Dword(1234));
    const std::wstring longHost(65536, L'h');
    const OptionCase cases[] = {
        {{L"-JEX:myhost:1901"},
         [](CLumoApp& a) {
             EXPECT_EQ(Str(a.m_strRemoteHost), L"myhost");
             EXPECT_EQ(a.m_nJexPort, 1901u);
         },
         "prefix without case, value with it"},
        {{L"-jex:myhost"},
         [](CLumoApp& a) {
             EXPECT_EQ(Str(a.m_strRemoteHost), L"myhost");
             EXPECT_EQ(a.m_nJexPort, 1234u);
         },
         "without a port the setting's port stays"},
        {{L"-jex:myhost:"}, [](CLumoApp& a) { EXPECT_EQ(a.m_nJexPort, 0u); }, "an empty port is 0"},
        {{L"-jex:a:b::c: 77\t"},
         [](CLumoApp& a) {
             EXPECT_EQ(Str(a.m_strRemoteHost), L"a:b::c");
             EXPECT_EQ(a.m_nJexPort, 77u);
         },
         "the port follows the last colon, blanks around it allowed"},
        {{L"-jex:" + std::wstring(10000, L':')},
         [](CLumoApp& a) {
             EXPECT_EQ(Str(a.m_strRemoteHost), std::wstring(9999, L':'));
             EXPECT_EQ(a.m_nJexPort, 0u);
         },
         "many colons"},
        {{L"-jex:" + longHost}, [&](CLumoApp& a) { EXPECT_EQ(Str(a.m_strRemoteHost), longHost); }, "a 64 KiB argument"},
        {{L"/standalone"},
         [](CLumoApp& a) {
             EXPECT_FALSE(a.m_bStandalone);
             EXPECT_EQ(Str(a.m_strRemoteHost), L"reghost");
         },
         "the pre-scan keeps the slash"},
        {{L"-jex:x", L"-agent:bob", L"-sa"},
         [](CLumoApp& a) {
             EXPECT_TRUE(a.m_bStandalone);
             EXPECT_EQ(a.m_nJexPort, 901u) << "the default, not the stored 1234";
         },
         "-sa in third place turns the registry off"},
        {{L"-STANDALONE:5.1.0.0"},
         [](CLumoApp& a) {
             EXPECT_TRUE(a.m_bStandalone);
             EXPECT_EQ(Str(a.m_strSetupVersion), L"5.1.0.0");
         },
         "stand-alone with a setup version"},
        {{L"-brennclient:C:\\a\\b.exe*-x -y"},
         [](CLumoApp& a) {
             EXPECT_EQ(Str(a.m_strBrennClientPath), L"C:\\a\\b.exe");
             EXPECT_EQ(Str(a.m_strBrennClientParameters), L"-x -y");
         },
         "path and parameters"},
        {{L"-brennclient:C:\\a\\b.exe*-x -y", L"-brennclient:D:\\c.exe"},
         [](CLumoApp& a) {
             EXPECT_EQ(Str(a.m_strBrennClientPath), L"D:\\c.exe");
             EXPECT_EQ(Str(a.m_strBrennClientParameters), L"-x -y");
         },
         "a value without '*' keeps the parameters"},
        {{L"-quillan:q*a*b"},
         [](CLumoApp& a) {
             EXPECT_EQ(Str(a.m_strQuillanPath), L"q*a");
             EXPECT_EQ(Str(a.m_strQuillanParameters), L"b");
         },
         "the last '*' splits"},
        {{L"-AgentMonitor:x"},
         [](CLumoApp& a) { EXPECT_EQ(Str(a.m_strAgentMonitorPath), L""); },
         "this prefix is compared with case"},
        {{L"-agentmonitor:C:\\vnc.exe"},
         [](CLumoApp& a) { EXPECT_EQ(Str(a.m_strAgentMonitorPath), L"C:\\vnc.exe"); },
         "agent monitor"},
        {{L"-hidden"}, [](CLumoApp& a) { EXPECT_FALSE(a.m_bVisible); }, "a longer word beginning alike hides too"},
        {{L"-HIDE"}, [](CLumoApp& a) { EXPECT_FALSE(a.m_bVisible); }, "hide"},
        {{}, [](CLumoApp& a) { EXPECT_TRUE(a.m_bVisible); }, "visible by default"},
        {{L"-agentid:abc"}, [](CLumoApp& a) { EXPECT_EQ(a.GetAgent()->m_nId, 0); }, "not a number"},
        {{L"-UID:42", L"-aid:-3"}, [](CLumoApp& a) { EXPECT_EQ(a.GetAgent()->m_nId, -3); }, "later wins"},
        {{L"-user:alice", L"/agent:Bob"},
         [](CLumoApp& a) { EXPECT_EQ(Str(a.GetAgent()->m_strUserName), L"Bob"); },
         "user name"},
        {{L"-pwd:Secret"},
         [](CLumoApp& a) { EXPECT_EQ(Str(a.GetAgent()->m_strPassword), Encrypted(L"Secret")); },
         "stored as letter pairs"},
        {{L"-pwd:one", L"-PASSWORD:two"},
         [](CLumoApp& a) { EXPECT_EQ(Str(a.GetAgent()->m_strPassword), Encrypted(L"two")); },
         "later wins"},
        {{L"-lid:-1"},
         [](CLumoApp& a) {
             EXPECT_EQ(a.m_nLocationId, -1);
             EXPECT_TRUE(a.m_bNoLocation);
         },
         "no location"},
        {{L"-locationid:17"},
         [](CLumoApp& a) {
             EXPECT_EQ(a.m_nLocationId, 17);
             EXPECT_FALSE(a.m_bNoLocation);
         },
         "a location"},
        {{L"-appport:40000", L"-oldappport:1000"},
         [](CLumoApp& a) {
             EXPECT_EQ(a.GetAppPort(), 40000);
             EXPECT_EQ(a.GetApplicationPort(), 1000);
         },
         "ports are unsigned 16-bit"},
        {{L"-appport:0", L"-oldappport:70000"},
         [](CLumoApp& a) {
             EXPECT_EQ(a.GetAppPort(), 1905);
             EXPECT_EQ(a.GetApplicationPort(), 905);
         },
         "no port: the setting's port stays"},
        {{L"-appport:x", L"-unknown:1", L""},
         [](CLumoApp& a) { EXPECT_EQ(a.GetAppPort(), 1905); },
         "ignored arguments"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_FALSE(Start(c.arguments));
        c.check(App());
    }
}

TEST_F(LumoAppTest, SettingsFillTheMembers)
{
    m_key.Put(HKEY_CURRENT_USER, L"UseAuthentication", RegValue::Dword(1));
    m_key.Put(HKEY_CURRENT_USER, L"ExtendedView", RegValue::Dword(0));
    m_key.Put(HKEY_CURRENT_USER, L"BrennPath", RegValue::Text(L"C:\\Brenn\\BrennClient.exe"));
    m_key.Put(HKEY_CURRENT_USER, L"LatestInstalledSetup", RegValue::Text(L"9.9.9.9"));
    m_key.Put(HKEY_LOCAL_MACHINE, L"LatestInstalledSetup", RegValue::Text(L"6.1.0.0"));
    m_key.Put(HKEY_LOCAL_MACHINE, L"Location", RegValue::Dword(static_cast<DWORD>(-1)));
    EXPECT_FALSE(Start({L"-jex:host"}));
    EXPECT_TRUE(App().m_bUseAuthentication);
    EXPECT_FALSE(App().m_bExtendedView);
    EXPECT_TRUE(App().m_bStatisticsView);
    EXPECT_EQ(Str(App().m_strBrennClientPath), L"C:\\Brenn\\BrennClient.exe");
    EXPECT_EQ(Str(App().m_strSetupVersion), L"6.1.0.0") << "the user's value is ignored";
    EXPECT_TRUE(App().m_bNoLocation);
    EXPECT_EQ(Str(App().m_pszRegistryKey), L"Quelmoor");
    EXPECT_EQ(Str(App().m_pszProfileName), L"LUMO");
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_EQ(Connects(), std::vector<BOOL>{TRUE}) << "connects once, showing the dialog while it waits";
}

TEST_F(LumoAppTest, TheHiddenMainWindowWaitsForJexWithTheApplication)
{
    EXPECT_FALSE(Start({L"-jex:host"}));
    const auto& states = static_cast<CStartOnlyApp&>(App()).m_mainAtConnect;
    ASSERT_EQ(states.size(), 1u);
    ASSERT_NE(states[0].hWnd, nullptr) << "made before the connection";
    EXPECT_FALSE(states[0].bVisible) << "shown by the log-on, not before";
    EXPECT_TRUE(states[0].bFrameworkMain);
    EXPECT_TRUE(states[0].bDialogHost) << "the toolkit's dialogs ask the desktop";
    App().ExitInstance();
    EXPECT_FALSE(::IsWindow(states[0].hWnd)) << "the exit destroys it";
    EXPECT_EQ(App().m_pMainDlg, nullptr);
    EXPECT_EQ(App().m_pMainWnd, nullptr);
    EXPECT_EQ(GetDialogHost(), nullptr);
    MSG msg{};
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) << "its end posts no quit";
}

// The softphone is hosted later: start-up prepares the process to host controls before the main
// window and the link exist.
TEST_F(LumoAppTest, StartUpEnablesHostingControlsBeforeTheMainWindow)
{
    AfxEnableControlContainer(FALSE);
    EXPECT_FALSE(Start({L"-jex:host"}));
    EXPECT_TRUE(AfxIsControlContainerEnabled());
    AfxEnableControlContainer(FALSE);
    EXPECT_FALSE(Start({})) << "no remote host: start-up ends before OLE";
    EXPECT_FALSE(AfxIsControlContainerEnabled());
}

TEST_F(LumoAppTest, TheDesktopAnswersTheDialogsWhetherTheyMayShow)
{
    EXPECT_FALSE(Start({L"-jex:host", L"-hide"}));
    EXPECT_FALSE(App().m_host.IsDesktopVisible());
    App().m_bVisible = true;
    EXPECT_TRUE(App().m_host.IsDesktopVisible());
    EXPECT_FALSE(App().m_host.HandleDialKey(L'5')) << "no call to send the key on";
}

// Refuses every dialog window the thread tries to make, as a system out of resources would.
LRESULT CALLBACK RefuseDialogs(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_CREATEWND)
    {
        const auto* pCreate = reinterpret_cast<CBT_CREATEWNDW*>(lParam);
        if (pCreate->lpcs->lpszClass == MAKEINTATOM(32770)) return 1;
        wchar_t name[16] = L"";
        if (!IS_INTRESOURCE(pCreate->lpcs->lpszClass)) wcsncpy(name, pCreate->lpcs->lpszClass, 15);
        if (std::wstring(name) == L"#32770") return 1;
    }
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

TEST_F(LumoAppTest, AMainWindowThatCannotBeMadeEndsStartUp)
{
    const HHOOK hHook = ::SetWindowsHookExW(WH_CBT, &RefuseDialogs, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hHook, nullptr);
    const BOOL bStarted = Start({L"-jex:host"});
    ::UnhookWindowsHookEx(hHook);
    EXPECT_FALSE(bStarted);
    EXPECT_TRUE(Connects().empty()) << "no connection without the main window";
    EXPECT_EQ(App().m_pMainDlg, nullptr);
    EXPECT_EQ(App().m_pMainWnd, nullptr);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(LumoAppTest, StandaloneLeavesTheRegistryAlone)
{
    EXPECT_FALSE(Start({L"-jex:host", L"-sa"}));
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Quelmoor", 0, KEY_READ, &hKey) == ERROR_SUCCESS)
    {
        DWORD nKeys = 0, nValues = 0;
        EXPECT_EQ(RegQueryInfoKeyW(hKey, nullptr, nullptr, nullptr, &nKeys, nullptr, nullptr, &nValues, nullptr,
                                   nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(hKey);
        EXPECT_EQ(nKeys + nValues, 0u) << "the company key holds something";
    }
    EXPECT_EQ(Str(App().m_strSetupVersion), L"0.0.0.0");
}

TEST_F(LumoAppTest, UsageIsShownForQuestionMarkInBothForms)
{
    const std::wstring usage =
        std::wstring(kProgram) +
        L"\n\t[-jex:<Hostname or IP Address>:<Port>]\n\t[-agent|-user:<Agent Name>]\n\t[-agentId|-uid|-aid:<Agent "
        L"ID>]\n\t[-password|-pwd:<Password>]\n\t[-locationid|-lid:<Location ID>]\n\t[-standalone:<Equivalent "
        L"Setup Version>]\n\t[-oldappport:<Old Application Port>]\n\t[-appport:<Application Port>]\n\t"
        L"[-brennclient:<exe to brennclient.exe>[*<parameters>]]\n\t[-quillan:<exe to quillan.exe>[*<parameters>]]"
        L"\n\t[-agentmonitor:<exe agentmonitor>\n\t[-hide]";
    for (LPCWSTR pszAsk : {L"-?", L"/?"})
    {
        SCOPED_TRACE(testing::Message() << (pszAsk[0] == L'/' ? "/?" : "-?"));
        const size_t nBefore = m_boxes.Boxes().size();
        EXPECT_FALSE(Start({L"-jex:host:1", pszAsk, L"-hide"}));
        ASSERT_EQ(m_boxes.Boxes().size(), nBefore + 1);
        EXPECT_EQ(Str(m_boxes.Boxes().back().text), usage);
        EXPECT_EQ(m_boxes.Boxes().back().type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
        EXPECT_NE(App().GetAlarmOptions(), nullptr);
        EXPECT_NE(App().m_pAgent, nullptr);
        EXPECT_TRUE(App().m_bVisible) << "the options after it were not parsed";
        EXPECT_EQ(App().m_pMainWnd, nullptr);
    }
}

TEST_F(LumoAppTest, EmptyRemoteHostEndsStartUpWithItsMessage)
{
    EXPECT_FALSE(Start({}));
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(Str(m_boxes.Boxes()[0].text), L"Unable to locate remote host (check registry)");
    EXPECT_EQ(m_boxes.Boxes()[0].type, static_cast<UINT>(MB_OK));
    EXPECT_TRUE(Connects().empty());
}

TEST_F(LumoAppTest, StuckHeadsetMessageShowsOneBox)
{
    EXPECT_FALSE(Start({L"-sa"}));
    m_boxes.Answer(IDOK);
    const size_t nBefore = m_boxes.Boxes().size();
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_HEADSETSTUCK, 0, 0));
    EXPECT_TRUE(PumpUntil([&] { return m_boxes.Boxes().size() > nBefore; }));
    EXPECT_TRUE(PumpUntilIdle());
    ASSERT_EQ(m_boxes.Boxes().size(), nBefore + 1);
    EXPECT_EQ(Str(m_boxes.Boxes().back().text),
              L"Error: Microphone and/or speakers are stuck.\r\nPlease unplug and reconnect the headset.");
    EXPECT_EQ(m_boxes.Boxes().back().type, static_cast<UINT>(MB_OK));
}

TEST_F(LumoAppTest, FoldersEndInABackslashAndTheWorkFolderComesBack)
{
    m_pApp = std::make_unique<CLumoApp>();
    wchar_t exe[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring folder(exe);
    folder.resize(folder.rfind(L'\\') + 1);
    EXPECT_EQ(Str(App().GetProgramFolder()), folder);

    wchar_t temp[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring work = std::wstring(temp) + L"LUMO\\";
    EXPECT_EQ(Str(App().GetWorkFolder()), work);
    EXPECT_NE(GetFileAttributesW(work.c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(RemoveDirectoryW(work.c_str()));
    EXPECT_EQ(Str(App().GetWorkFolder()), work);
    EXPECT_NE(GetFileAttributesW(work.c_str()), INVALID_FILE_ATTRIBUTES) << "created again";
}

TEST_F(LumoAppTest, VersionStringIsTheFileVersion)
{
    m_pApp = std::make_unique<CLumoApp>();
    EXPECT_EQ(Str(App().GetVersionString()), LUMO_VERSION_WTEXT);
}

struct DefaultResultCase
{
    int nCode;
    int nSubCode;
    const wchar_t* text;
};
const DefaultResultCase kDefaultResults[] = {
    {0, 0, L"Success"},
    {1, 0, L"No tone"},
    {2, 0, L"Busy"},
    {3, 0, L"No answer"},
    {4, 0, L"Hang up"},
    {5, 0, L"Answering machine"},
    {6, 0, L"Person absent"},
    {7, 0, L"Refused"},
    {8, 0, L"Wrong address"},
    {9, 0, L"Appointment"},
    {9, 1, L"Callback now"},
    {9, 2, L"Lumo to web"},
    {9, 3, L"Lumo to web (with mail)"},
    {10, 0, L"Quota reached"},
    {11, 0, L"Fax or modem"},
    {12, 0, L"Duplicate"},
    {13, 0, L"Not in target"},
    {14, 0, L"Cannot communicate"},
    {15, 0, L"Client disconnection"},
    {16, 0, L"Undefined telco result"},
    {17, 0, L"User defined 1"},
    {18, 0, L"User defined 2"},
    {19, 0, L"User defined 3"},
    {20, 0, L"User defined 4"},
    {21, 0, L"User defined 5"},
    {22, 0, L"Abandoned by dialler"},
    {23, 0, L"Nuisance call"},
    {24, 0, L"Refused by agent"},
    {25, 0, L"Agent Phone Unavailable"},
    {26, 0, L"Phone Network Out Of Order"},
    {27, 0, L"Phone Number Changed"},
    {28, 0, L"Call Rejected"},
};

TEST_F(LumoAppTest, StartUpBuildsTheCallResultDefaultsFromTheProgramsTexts)
{
    EXPECT_FALSE(Start({L"-sa"})); // no remote host: start-up ends after building the defaults
    const auto pDefaults = CCallResultSettings::GetDefaults();
    for (const auto& c : kDefaultResults)
    {
        SCOPED_TRACE(testing::Message() << c.nCode << "." << c.nSubCode);
        CCallResultSettings::Result result;
        ASSERT_TRUE(pDefaults->FindResult(c.nCode, c.nSubCode, result));
        EXPECT_EQ(Str(result.m_strText), c.text);
    }
    EXPECT_EQ(Str(pDefaults->GetResultText(-1, 0)), L"Not called");
    EXPECT_EQ(Str(pDefaults->GetResultText(0, 0)), L"Success");
}

struct HelpCall
{
    HWND hwnd;
    std::wstring file;
    UINT command;
    DWORD_PTR data;
    bool operator==(const HelpCall&) const = default;
};
std::vector<HelpCall> g_helpCalls;

HWND WINAPI RecordHelp(HWND hwnd, LPCWSTR pszFile, UINT uCommand, DWORD_PTR dwData)
{
    g_helpCalls.push_back({hwnd, pszFile, uCommand, dwData});
    return nullptr;
}

// An application whose help file lies in the work folder, with HTML Help recorded, not shown.
class LumoHelpTest : public LumoAppTest
{
protected:
    void SetUp() override
    {
        m_pApp = std::make_unique<CLumoApp>();
        const std::wstring folder = Str(App().GetWorkFolder());
        m_chm = folder + L"Lumo.Help.CHM";
        free(const_cast<wchar_t*>(App().m_pszHelpFilePath)); // the framework's own string
        App().m_pszHelpFilePath = _wcsdup((folder + L"Lumo.Help.HLP").c_str());
        m_previousEntry = CLumoApp::SetHtmlHelpEntry(&RecordHelp);
        g_helpCalls.clear();
    }
    void TearDown() override
    {
        CLumoApp::SetHtmlHelpEntry(m_previousEntry);
        DeleteFileW(m_chm.c_str());
        LumoAppTest::TearDown();
    }
    void CreateChm()
    {
        CFileHandle file(
            CreateFileW(m_chm.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file.IsValid());
    }

    std::wstring m_chm;
    CLumoApp::HtmlHelpEntry m_previousEntry = nullptr;
};

TEST_F(LumoHelpTest, WinHelpShowsTheChmFile)
{
    App().WinHelp(42, HELP_CONTEXT);
    EXPECT_TRUE(g_helpCalls.empty()) << "no file, no help";

    CreateChm();
    App().WinHelp(42, HELP_CONTEXT);
    App().WinHelp(7, HELP_FINDER);
    for (UINT nOther : {HELP_QUIT, HELP_INDEX, HELP_CONTENTS, HELP_KEY})
        App().WinHelp(1, nOther);
    const std::vector<HelpCall> expected{{nullptr, m_chm, HH_HELP_CONTEXT, 42}, {nullptr, m_chm, HH_DISPLAY_TOPIC, 0}};
    EXPECT_EQ(g_helpCalls, expected);
}

TEST_F(LumoHelpTest, WinHelpOverridesTheFrameworksDefaultContext)
{
    CreateChm();
    static_cast<CWinApp&>(App()).WinHelp(5);
    EXPECT_EQ(g_helpCalls, (std::vector<HelpCall>{{nullptr, m_chm, HH_HELP_CONTEXT, 5}}))
        << "a call through the framework's class, with its default command, reaches the program's help";
}

class CHelpDialog : public CDialog
{
public:
    explicit CHelpDialog(UINT nIDHelp) { m_nIDHelp = nIDHelp; }
};

TEST_F(LumoHelpTest, DialogHelpButtonShowsTheDialogsTopic)
{
    CreateChm();
    CDialogTemplateBuilder form(L"help", WS_POPUP | WS_CAPTION | WS_VISIBLE, 120, 60);
    form.AddControl(L"BUTTON", L"Help", BS_PUSHBUTTON | WS_TABSTOP, 10, 10, 50, 14, ID_HELP);
    CHelpDialog dlg(102);
    ASSERT_TRUE(dlg.CreateIndirect(form.Get()));
    CWnd* pButton = dlg.GetDlgItem(ID_HELP);
    ASSERT_NE(pButton, nullptr);
    pButton->SendMessage(BM_CLICK);
    EXPECT_TRUE(PumpUntil([&] { return !g_helpCalls.empty(); }));
    EXPECT_EQ(g_helpCalls, (std::vector<HelpCall>{{nullptr, m_chm, HH_HELP_CONTEXT, HID_BASE_RESOURCE + 102}}));
    dlg.DestroyWindow();
    CWnd::DeleteTempMap();
}

TEST_F(LumoHelpTest, HelpCommandOfTheApplicationShowsTheDefaultTopic)
{
    CreateChm();
    EXPECT_TRUE(App().OnCmdMsg(ID_HELP, CN_COMMAND, nullptr, nullptr)) << "the application's map takes ID_HELP";
    EXPECT_EQ(g_helpCalls, (std::vector<HelpCall>{{nullptr, m_chm, HH_DISPLAY_TOPIC, 0}}));
}

TEST_F(LumoAppTest, MessageFilterLeavesModalLoopsTheirMessages)
{
    EXPECT_FALSE(Start({L"-sa"}));
    const size_t nBefore = m_boxes.Boxes().size();
    MSG msg{nullptr, WM_HEADSETSTUCK, 0, 0};
    for (int code : {MSGF_DIALOGBOX, MSGF_MENU, -1})
    {
        SCOPED_TRACE(code);
        EXPECT_FALSE(App().ProcessMessageFilter(code, &msg));
    }
    EXPECT_EQ(m_boxes.Boxes().size(), nBefore) << "the filter is not the thread's message handling";
}
} // namespace
