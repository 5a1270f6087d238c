// The application object and its main window in process: the real CBrennClientApp, hosting the
// real LumoClient.ocx from beside this program, against the scripted Lumo on 127.0.0.1. Every test
// runs in a Wine prefix of its own (its GUI slot) and clears BrennClient's keys before and after.
#include "core/CTimeTools.h"
#include "framework/CHandleOwner.h"
#include "framework/testing/CActivationContextScope.h"
#include "framework/testing/CMessageBoxAnswerer.h"
#include "framework/testing/MessagePump.h"
#include "interview/CBrennClientApp.h"
#include "interview/CBrennClientDlg.h"
#include "interview/CBrennResourceCache.h"
#include "tests/support/CScriptedLumo.h"
#include "LumoVersion.h"
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <optional>
#include <shlobj.h>
#include <string>
#include <vector>

namespace
{
constexpr wchar_t kProgramKey[] = L"Software\\Quelmoor\\BrennClient";
constexpr wchar_t kProgramArg[] = L"C:\\Program Files\\Brenn\\BrennClient.exe";

std::wstring Str(const CString& s)
{
    return static_cast<LPCWSTR>(s);
}

std::optional<DWORD> ReadDword(HKEY root, LPCWSTR pszKey, LPCWSTR pszName)
{
    DWORD value = 0, cb = sizeof value;
    if (::RegGetValueW(root, pszKey, pszName, RRF_RT_REG_DWORD, nullptr, &value, &cb) != ERROR_SUCCESS) return {};
    return value;
}

void WriteDword(HKEY root, LPCWSTR pszKey, LPCWSTR pszName, DWORD value)
{
    CRegKeyHandle hKey;
    ASSERT_EQ(::RegCreateKeyExW(root, pszKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, hKey.Receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(hKey.Get(), pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);
}

std::optional<DWORD> Emulation(HKEY root)
{
    return ReadDword(root, CBrennClientApp::kBrowserEmulationKey, CBrennClientApp::kBrowserEmulationValue);
}

void ClearKeys()
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
    {
        ::RegDeleteTreeW(root, kProgramKey);
        ::RegDeleteKeyValueW(root, CBrennClientApp::kBrowserEmulationKey, CBrennClientApp::kBrowserEmulationValue);
    }
}

bool KeyExists(HKEY root, LPCWSTR pszKey)
{
    CRegKeyHandle hKey;
    return ::RegOpenKeyExW(root, pszKey, 0, KEY_READ, hKey.Receive()) == ERROR_SUCCESS;
}

std::wstring ProgramFolder()
{
    const std::wstring path = Str(GetProgramPath());
    return path.substr(0, path.rfind(L'\\') + 1);
}

bool MakeFile(const std::wstring& path)
{
    ::SHCreateDirectoryExW(nullptr, path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
    const CFileHandle hFile(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return hFile.IsValid();
}

USHORT FreePort()
{
    static const bool bStarted = [] {
        WSADATA wsa{};
        return ::WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
    }();
    if (!bStarted) return 0;
    const CSocketHandle s(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int n = sizeof address;
    if (::bind(s.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(s.Get(), reinterpret_cast<sockaddr*>(&address), &n) != 0)
        return 0;
    return ntohs(address.sin_port);
}

// The scripted Lumo's side of a start-up: the greeting, the registration as application 0 and the
// two agent settings, answered with the given values (empty: the setting is not there).
std::string StartupScript(const char* pszFullScreen = "1", const char* pszHideLumo = "1")
{
    const auto setting = [](const char* pszId, const char* pszValue) {
        return std::string("expect GETASE (?P<id>\\d+) ") + pszId + "\nanswer GETASE '" +
               (*pszValue ? std::string("lValue = \"") + pszValue + "\" " : std::string()) + "'\n";
    };
    return Accepted() + LoggedIn(0, 3) + setting("-1", pszFullScreen) + setting("-2", pszHideLumo);
}

// One application object per test, started with the given arguments; its boxes are answered.
class BrennAppTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClearKeys();
        CBrennResourceCache::DeleteCache(false);
    }
    void TearDown() override
    {
        if (m_app)
        {
            if (CBrennClientDlg* pDlg = m_app->m_pMainDlg) pDlg->DestroyWindow();
            if (!m_bExited) m_app->ExitInstance();
            m_app.reset();
        }
        TakeQuit();
        ClearKeys();
    }

    BOOL Start(std::vector<CString> arguments)
    {
        arguments.insert(arguments.begin(), CString(kProgramArg));
        m_app = std::make_unique<CBrennClientApp>();
        m_app->SetArguments(std::move(arguments));
        return m_app->InitInstance();
    }
    BOOL StartOn(UINT nPort, std::vector<CString> arguments = {})
    {
        CString option;
        option.Format(L"-appport:%u", nPort);
        arguments.insert(arguments.begin(), option);
        return Start(std::move(arguments));
    }
    int Exit()
    {
        m_bExited = true;
        return m_app->ExitInstance();
    }
    CBrennClientDlg* Main() const { return m_app ? m_app->m_pMainDlg : nullptr; }
    // Whether the main window's end asked the message loop to end; the request is taken.
    static bool TakeQuit()
    {
        MSG msg;
        return ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    }
    bool PumpUntilGone(DWORD timeoutMs = 10000)
    {
        return PumpUntil([this] { return Main() == nullptr; }, timeoutMs);
    }
    // WM_USER+1 ends the window and asks the loop to end; the test's pumping goes on after it.
    void EndByRequest()
    {
        ::PostMessageW(Main()->GetSafeHwnd(), WM_USER + 1, 0, 0);
        EXPECT_TRUE(PumpUntilGone());
        EXPECT_TRUE(TakeQuit());
    }
    std::wstring BoxText(size_t i) const { return i < m_boxes.Boxes().size() ? Str(m_boxes.Boxes()[i].text) : L"<none>"; }
    UINT BoxIcon(size_t i) const { return i < m_boxes.Boxes().size() ? m_boxes.Boxes()[i].type & MB_ICONMASK : ~0u; }

    CMessageBoxAnswerer m_boxes;
    std::unique_ptr<CBrennClientApp> m_app;
    bool m_bExited = false;
};

// ---- Command line ---------------------------------------------------------------------------

struct OptionCase
{
    std::vector<const wchar_t*> args;
    std::function<std::wstring(const CBrennClientApp&)> field;
    std::wstring expected;
    const char* why;
};

std::wstring Num(long long n)
{
    return std::to_wstring(n);
}

std::wstring Expanded(const wchar_t* pszText)
{
    wchar_t out[MAX_PATH] = {};
    ::ExpandEnvironmentStringsW(pszText, out, MAX_PATH);
    return out;
}

TEST(BrennOptions, OneTableOfOptions)
{
    const auto port = [](const CBrennClientApp& a) { return Num(a.m_nAppPort); };
    const auto start = [](const CBrennClientApp& a) { return Str(a.m_strStartExe) + L"|" + Str(a.m_strStartParameters); };
    const auto stop = [](const CBrennClientApp& a) { return Str(a.m_strEndExe) + L"|" + Str(a.m_strEndParameters); };
    const auto geo = [](const CBrennClientApp& a) { return Str(a.m_strGeoLumoExe) + L"|" + Str(a.m_strGeoLumoDir); };
    const auto language = [](const CBrennClientApp& a) { return Num(a.m_nLanguageId); };
    const auto tree = [](const CBrennClientApp& a) { return Num(a.m_bExpandQuestionnaireTree); };
    const OptionCase cases[] = {
        {{L"/appport:2000"}, port, L"2000", "a leading slash is a dash"},
        {{L"-APPPORT:2000"}, port, L"2000", "the prefix in any case"},
        {{L"-appport:abc"}, port, L"0", "not a number: no port"},
        {{L"-appport:40000"}, port, L"40000", "ports above 32767 stay whole"},
        {{L"-appport:65535"}, port, L"65535", "the last port"},
        {{L"-appport:70000"}, port, L"0", "past the last port: no port"},
        {{L"-appport:-1"}, port, L"0", "a negative number is no port"},
        {{L"-appport:1", L"-appport:2"}, port, L"2", "a later option wins"},
        {{L"-onstart:C:\\a*b*c"}, start, L"C:\\a*b|c", "the parameters follow the last star"},
        {{L"-onstart:prog.exe"}, start, L"prog.exe|cfg-start", "without a star the configured parameters stay"},
        {{L"-onstop:end.exe*x"}, stop, L"end.exe|x", "the stop program"},
        {{L"-geolumo:G:\\geo.exe"}, geo, L"G:\\geo.exe|cfg-dir", "GeoLumo keeps its configured folder"},
        {{L"-GeoLumo:G:\\Geo.exe*W:\\Dir"}, geo, L"G:\\Geo.exe|W:\\Dir", "values keep their case"},
        {{L"-language:FRA"}, language, L"1036", "French by the lower-cased value"},
        {{L"-language:de"}, language, L"1033", "anything else is English"},
        {{L"-langid:-5"}, language, L"-5", "kept; start-up passes only 0 or more to the loader"},
        {{L"-langid:x"}, language, L"0", "not a number"},
        {{L"-tree:Y"}, tree, L"1", "Y expands"},
        {{L"-tree:y"}, tree, L"1", "y expands"},
        {{L"-tree:N"}, tree, L"0", "N collapses"},
        {{L"-tree:yes"}, tree, L"0", "anything but Y collapses"},
        {{L"-intvw:%TEMP%\\x"}, [](const CBrennClientApp& a) { return Str(a.m_strInterviewDir); },
         Expanded(L"%TEMP%\\x"), "environment variables expanded"},
        {{L"-scripts:D:\\js"}, [](const CBrennClientApp& a) { return Str(a.m_strScriptPath); }, L"D:\\js",
         "the script folder"},
        {{L"-unknown:1", L"-sa"}, port, L"1905", "other arguments change nothing"},
    };
    for (const OptionCase& c : cases)
    {
        SCOPED_TRACE(c.why);
        CBrennClientApp app;
        app.m_nAppPort = 1905;
        app.m_strStartParameters = L"cfg-start";
        app.m_strGeoLumoDir = L"cfg-dir";
        app.m_bExpandQuestionnaireTree = true;
        std::vector<CString> arguments{CString(kProgramArg)};
        for (const wchar_t* arg : c.args)
            arguments.emplace_back(arg);
        app.SetArguments(arguments);
        ASSERT_TRUE(app.ParseOptions());
        EXPECT_EQ(c.field(app), c.expected);
    }
}

TEST(BrennOptions, StandAloneOnlyByDash)
{
    const auto requested = [](const wchar_t* pszArg) {
        return CBrennClientApp::IsStandaloneRequested({CString(kProgramArg), CString(pszArg)});
    };
    EXPECT_TRUE(requested(L"-standalone"));
    EXPECT_TRUE(requested(L"-SA"));
    EXPECT_FALSE(requested(L"/sa")) << "the pre-scan turns no slash into a dash";
    EXPECT_FALSE(requested(L"-sa:1"));
    EXPECT_FALSE(CBrennClientApp::IsStandaloneRequested({CString(L"-sa")})) << "the program's name is no option";
}

TEST_F(BrennAppTest, UsageEndsBeforeAnythingIsPrepared)
{
    EXPECT_FALSE(Start({L"-appport:2000", L"-?"}));
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(BoxText(0).rfind(std::wstring(kProgramArg) + L"\n\t[-appport:<Application Port>]", 0), 0u) << BoxText(0);
    EXPECT_NE(BoxText(0).find(L"[-standalone|-sa]\n\t[-tree:Y/N]"), std::wstring::npos);
    EXPECT_EQ(BoxIcon(0), static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_FALSE(Emulation(HKEY_CURRENT_USER)) << "the emulation value is not written";
    EXPECT_FALSE(m_app->HasStartedSockets());
    EXPECT_EQ(Main(), nullptr);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, L"Software\\Quelmoor\\BrennClient\\Settings", L"AppPort"), 1905u)
        << "the defaults are written back before the usage ends the start";
    Exit();
    EXPECT_FALSE(Emulation(HKEY_CURRENT_USER));
}

// ---- Settings -------------------------------------------------------------------------------

constexpr wchar_t kSettings[] = L"Software\\Quelmoor\\BrennClient\\Settings";

TEST_F(BrennAppTest, EmptySettingsGiveTheDefaultsAndWriteThemBack)
{
    EXPECT_FALSE(Start({L"-?"}));
    EXPECT_EQ(m_app->m_nAppPort, 1905);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kSettings, L"AppPort"), 1905u);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kSettings, L"IsCollapseQuestionnaireTree"), 0u);
    EXPECT_TRUE(m_app->m_bExpandQuestionnaireTree);
    EXPECT_FALSE(ReadDword(HKEY_CURRENT_USER, kProgramKey, L"LanguageId")) << "the language is not written back";
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    std::wstring html(temp);
    if (html.back() != L'\\') html += L'\\';
    EXPECT_EQ(Str(m_app->m_strHtmlTempPath), html + L"BrennClient\\");
}

TEST_F(BrennAppTest, StoredPortsOutsideTheRangeGiveTheDefaultAndAreLimited)
{
    const struct
    {
        DWORD stored;
        DWORD next;
    } cases[] = {{0, 1}, {40000, 32768}, {32768, 32768}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.stored);
        WriteDword(HKEY_CURRENT_USER, kSettings, L"AppPort", c.stored);
        ASSERT_FALSE(Start({L"-?"}));
        EXPECT_EQ(m_app->m_nAppPort, c.stored == 32768 ? 32768 : 1905);
        EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kSettings, L"AppPort"), c.next) << "kept for the next start";
        Exit();
        m_app.reset();
        m_bExited = false;
    }
}

TEST_F(BrennAppTest, TheMachinesValueServesWhenTheUserHasNone)
{
    WriteDword(HKEY_LOCAL_MACHINE, kSettings, L"AppPort", 2001);
    WriteDword(HKEY_LOCAL_MACHINE, kSettings, L"IsCollapseQuestionnaireTree", 1);
    ASSERT_FALSE(Start({L"-?"}));
    EXPECT_EQ(m_app->m_nAppPort, 2001);
    EXPECT_FALSE(m_app->m_bExpandQuestionnaireTree);
}

TEST_F(BrennAppTest, StandAloneTouchesNoSettingsAndKeepsPagesBesideTheProgram)
{
    WriteDword(HKEY_CURRENT_USER, kSettings, L"AppPort", 2002);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kProgramKey);
    ASSERT_FALSE(Start({L"-sa", L"-?"}));
    EXPECT_TRUE(m_app->m_bStandalone);
    EXPECT_EQ(m_app->m_nAppPort, 1905);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kProgramKey)) << "nothing is written under Quelmoor";
    EXPECT_EQ(Str(m_app->m_strHtmlTempPath), ProgramFolder() + L"BrennClient\\");
}

// ---- Start-up against a port where nobody listens -------------------------------------------

TEST_F(BrennAppTest, NobodyListeningEndsWithThePortNamedAndCleansUp)
{
    const std::wstring leftover = Str(CBrennResourceCache::GetSurveyFolder(3, false)) + L"Survey.tvx";
    ASSERT_TRUE(MakeFile(leftover));
    const USHORT nPort = FreePort();
    ASSERT_NE(nPort, 0);
    EXPECT_FALSE(StartOn(nPort));
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(BoxText(0), L"Cannot connect to LUMO on port " + std::to_wstring(nPort));
    EXPECT_EQ(BoxIcon(0), static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(Main(), nullptr) << "the unconnected window is gone";
    EXPECT_EQ(Emulation(HKEY_CURRENT_USER), 11000u);
    Exit();
    EXPECT_FALSE(Emulation(HKEY_CURRENT_USER)) << "the value it wrote is deleted again";
    EXPECT_FALSE(CBrennResourceCache::DeleteCache(false)) << "Brenn holds nothing";
}

TEST_F(BrennAppTest, BrowserEmulationIsSetAndPutBack)
{
    const struct
    {
        std::optional<DWORD> user, machine, during, after;
        const char* why;
    } cases[] = {
        {{}, {}, 11000u, {}, "none anywhere: written, then deleted"},
        {8000u, {}, 11000u, 8000u, "an older mode is replaced and written back"},
        {11001u, {}, 11001u, 11001u, "a newer mode is left alone"},
        {0u, 9000u, 11000u, 9000u, "the machine's value counts when the user's is 0"},
        {{}, 12000u, {}, {}, "a new enough machine value: nothing written"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        ClearKeys();
        if (c.user) WriteDword(HKEY_CURRENT_USER, CBrennClientApp::kBrowserEmulationKey,
                               CBrennClientApp::kBrowserEmulationValue, *c.user);
        if (c.machine) WriteDword(HKEY_LOCAL_MACHINE, CBrennClientApp::kBrowserEmulationKey,
                                  CBrennClientApp::kBrowserEmulationValue, *c.machine);
        ASSERT_FALSE(StartOn(FreePort()));
        EXPECT_EQ(Emulation(HKEY_CURRENT_USER), c.during);
        Exit();
        EXPECT_EQ(Emulation(HKEY_CURRENT_USER), c.after);
        m_app.reset();
        m_bExited = false;
    }
}

TEST_F(BrennAppTest, ScriptsBesideTheProgramWinOverTheSharedFolders)
{
    wchar_t common[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common)));
    const std::wstring shared = std::wstring(common) + L"\\Brenn\\Scripts\\";
    const std::wstring own = ProgramFolder() + L"Scripts\\";
    ASSERT_TRUE(MakeFile(shared + L"OstraneScript.js"));
    const auto cleanUp = [&] {
        ::DeleteFileW((own + L"OstraneScript.js").c_str());
        ::RemoveDirectoryW(own.c_str());
        ::DeleteFileW((shared + L"OstraneScript.js").c_str());
    };

    ASSERT_FALSE(StartOn(FreePort()));
    EXPECT_EQ(Str(m_app->m_strScriptPath), shared) << "the shared folder, with its backslash";
    Exit();
    m_app.reset();
    m_bExited = false;

    ASSERT_FALSE(StartOn(FreePort(), {L"-sa"}));
    EXPECT_EQ(Str(m_app->m_strScriptPath), L"") << "stand-alone skips the shell folders";
    Exit();
    m_app.reset();
    m_bExited = false;

    ASSERT_TRUE(MakeFile(own + L"OstraneScript.js"));
    ASSERT_FALSE(StartOn(FreePort()));
    EXPECT_EQ(Str(m_app->m_strScriptPath), own);
    cleanUp();
}

TEST_F(BrennAppTest, WithoutTheManifestTheControlCannotBeMade)
{
    const std::wstring manifest = PathBesideProgram(L"LumoClient.manifest");
    const std::wstring moved = manifest + L".away";
    ASSERT_TRUE(::MoveFileW(manifest.c_str(), moved.c_str()));
    const BOOL bStarted = StartOn(FreePort());
    ::MoveFileW(moved.c_str(), manifest.c_str());
    EXPECT_FALSE(bStarted);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(BoxText(0), L"Cannot connect to LUMO");
    EXPECT_EQ(BoxIcon(0), static_cast<UINT>(MB_ICONERROR));
    Exit();
    EXPECT_FALSE(Emulation(HKEY_CURRENT_USER));
}

// ---- Start-up against the scripted Lumo -----------------------------------------------------

TEST_F(BrennAppTest, RegistersAsApplicationZeroAndWaitsAsAnIcon)
{
    CScriptedLumo lumo(StartupScript("1", "1") + "waitclose 60\n");
    ASSERT_TRUE(lumo.IsStarted());
    ASSERT_GT(lumo.Port(), 32767u) << "the peer's port shows the port's 16 bits pass whole";
    ASSERT_TRUE(StartOn(lumo.Port())) << BoxText(0);
    EXPECT_TRUE(m_boxes.Boxes().empty()) << BoxText(0);
    CBrennClientDlg* pDlg = Main();
    ASSERT_NE(pDlg, nullptr);
    EXPECT_EQ(m_app->m_pMainWnd, pDlg);
    EXPECT_TRUE(pDlg->IsConnected() && pDlg->IsReady());
    EXPECT_TRUE(m_app->m_bFullScreen);
    EXPECT_TRUE(m_app->m_bHideLumo);
    const HWND hWnd = pDlg->GetSafeHwnd();
    wchar_t caption[32] = {};
    ::GetWindowTextW(hWnd, caption, 32);
    EXPECT_EQ(std::wstring(caption), L"BrennClient");
    EXPECT_EQ(::GetParent(hWnd), nullptr) << "a top-level window";
    EXPECT_TRUE(::IsIconic(hWnd));

    // What a user could do to the icon: close it from the task bar, Alt+F4, restore it.
    ::SendMessageW(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    ::SendMessageW(hWnd, WM_CLOSE, 0, 0);
    ::SendMessageW(hWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    PumpUntilIdle();
    ASSERT_EQ(Main(), pDlg);
    EXPECT_TRUE(::IsWindow(hWnd));
    EXPECT_TRUE(::IsIconic(hWnd)) << "it stays an icon";
    EXPECT_FALSE(TakeQuit());

    ::PostMessageW(hWnd, WM_USER + 1, 0, 0);
    EXPECT_TRUE(PumpUntilGone());
    EXPECT_FALSE(::IsWindow(hWnd));
    EXPECT_TRUE(TakeQuit()) << "the program's loop ends with its window";
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

TEST_F(BrennAppTest, AgentSettingsOfZeroTurnFullScreenAndHidingOff)
{
    CScriptedLumo lumo(StartupScript("0", "0") + "waitclose 60\n");
    ASSERT_TRUE(StartOn(lumo.Port())) << BoxText(0);
    EXPECT_FALSE(m_app->m_bFullScreen);
    EXPECT_FALSE(m_app->m_bHideLumo);
    EndByRequest();
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

TEST_F(BrennAppTest, AnotherVersionOfTheControlIsNamedAndStartUpGoesOn)
{
    CScriptedLumo lumo(StartupScript() + "waitclose 60\n");
    m_app = nullptr;
    std::vector<CString> arguments{CString(kProgramArg)};
    CString option;
    option.Format(L"-appport:%u", lumo.Port());
    arguments.push_back(option);
    m_app = std::make_unique<CBrennClientApp>();
    m_app->SetArguments(arguments);
    m_app->m_strOwnVersionOverride = L"5.4.8.11";
    ASSERT_TRUE(m_app->InitInstance());
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(BoxText(0), L"Wrong version of LumoClient.ocx detected! (version v" LUMO_VERSION_WTEXT
                          L")\nBrennClient needs a LumoClient.ocx with at least version v5.4.8.0.");
    EXPECT_EQ(BoxIcon(0), static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_TRUE(Main()->IsConnected());
    EndByRequest();
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

TEST_F(BrennAppTest, ThePeerClosingAtRegistrationMeansNoConnection)
{
    CScriptedLumo lumo(Accepted() + "expect APLGIN (?P<id>\\d+) 0 [01]\nclose\n");
    EXPECT_FALSE(StartOn(lumo.Port()));
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(BoxText(0), L"Cannot connect to LUMO on port " + std::to_wstring(lumo.Port()));
    EXPECT_EQ(Main(), nullptr);
    Exit();
    EXPECT_FALSE(Emulation(HKEY_CURRENT_USER));
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

TEST_F(BrennAppTest, LumoGoingAwayWithoutATaskEndsBrennClient)
{
    CScriptedLumo lumo(StartupScript() + "sleep 1\nclose\n");
    ASSERT_TRUE(StartOn(lumo.Port())) << BoxText(0);
    EXPECT_TRUE(PumpUntilGone()) << "the window goes with Lumo's connection";
    EXPECT_TRUE(TakeQuit());
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

TEST_F(BrennAppTest, LumoGoingAwayDuringATaskEndsBrennClientAfterIt)
{
    CScriptedLumo lumo(StartupScript() + "expect SHOWLC .*\nclose\n");
    ASSERT_TRUE(StartOn(lumo.Port())) << BoxText(0);
    CBrennClientDlg* pDlg = Main();
    pDlg->m_bTaskRunning = true;
    pDlg->m_Control.ShowLumoClient(2); // the peer closes once it sees this
    EXPECT_TRUE(PumpUntil([&] { return pDlg->m_bQuitAfterTask; }));
    PumpUntilIdle();
    EXPECT_EQ(Main(), pDlg) << "the interview goes on";
    EXPECT_FALSE(TakeQuit());
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

TEST_F(BrennAppTest, TheServersClockShiftIsTakenOver)
{
    CScriptedLumo lumo(StartupScript() + "sleep 2\nclock 3600\nwaitclose 60\n");
    ASSERT_TRUE(StartOn(lumo.Port())) << BoxText(0);
    EXPECT_EQ(CTimeTools::m_nUTCShift_sec, Main()->m_Control.GetUTCShiftServer()) << "taken at the start";
    constexpr long kSentinel = 12345; // what no server reports: the event must replace it
    CTimeTools::m_nUTCShift_sec = kSentinel;
    ASSERT_TRUE(PumpUntil([&] { return CTimeTools::m_nUTCShift_sec != kSentinel; }));
    EXPECT_EQ(CTimeTools::m_nUTCShift_sec, Main()->m_Control.GetUTCShiftServer());
    EndByRequest();
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

// The connection rules alone, on a window that was never made.
class CConnectionRulesDlg : public CBrennClientDlg
{
public:
    CConnectionRulesDlg() : CBrennClientDlg(1905) {}
    using CBrennClientDlg::OnLumoConnectionChanged;
};

TEST(BrennConnectionRules, ABackConnectionCancelsTheQuitAfterTheTask)
{
    CBrennClientApp app;
    CConnectionRulesDlg dlg;
    dlg.m_bTaskRunning = true;
    dlg.OnLumoConnectionChanged(0);
    EXPECT_TRUE(dlg.m_bQuitAfterTask);
    dlg.OnLumoConnectionChanged(2);
    EXPECT_TRUE(dlg.m_bQuitAfterTask) << "a pending state changes nothing";
    dlg.OnLumoConnectionChanged(1);
    EXPECT_FALSE(dlg.m_bQuitAfterTask);
}
} // namespace
