// Lumo.exe as a user starts it: a process whose windows are read and answered from outside.
#include "desktop/tests/SettingsKey.h"
#include "framework/CHandleOwner.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace
{
class LumoProcess
{
public:
    explicit LumoProcess(const std::wstring& arguments)
    {
        std::wstring command = L"\"" LUMO_EXE L"\" " + arguments;
        STARTUPINFOW si{sizeof si};
        PROCESS_INFORMATION pi{};
        m_bStarted =
            CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != FALSE;
        m_hProcess.Attach(pi.hProcess);
        CKernelHandle thread(pi.hThread);
        m_nId = pi.dwProcessId;
    }
    ~LumoProcess()
    {
        // A test that failed half-way must not leave the program behind.
        if (m_hProcess.IsValid() && WaitForSingleObject(m_hProcess, 0) == WAIT_TIMEOUT)
        {
            TerminateProcess(m_hProcess, 99);
            WaitForSingleObject(m_hProcess, 5000);
        }
    }
    bool Started() const { return m_bStarted; }

    // The process's message box, once it is visible; null when none came within the bound.
    HWND WaitForBox(DWORD timeoutMs = 20000) const
    {
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        while (GetTickCount64() < deadline)
        {
            if (HWND hBox = FindBox()) return hBox;
            if (WaitForSingleObject(m_hProcess, 50) == WAIT_OBJECT_0) return nullptr;
        }
        return nullptr;
    }
    bool WaitForExit(DWORD timeoutMs = 20000) const
    {
        return WaitForSingleObject(m_hProcess, timeoutMs) == WAIT_OBJECT_0;
    }

private:
    HWND FindBox() const
    {
        struct Search
        {
            DWORD nId;
            HWND hFound;
        } search{m_nId, nullptr};
        EnumWindows(
            [](HWND hwnd, LPARAM lParam) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(lParam);
                DWORD nOwner = 0;
                GetWindowThreadProcessId(hwnd, &nOwner);
                wchar_t cls[16] = L"";
                GetClassNameW(hwnd, cls, 16);
                if (nOwner != s.nId || wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
                s.hFound = hwnd;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.hFound;
    }

    bool m_bStarted = false;
    CKernelHandle m_hProcess;
    DWORD m_nId = 0;
};

std::wstring BoxText(HWND hBox)
{
    wchar_t text[4096] = L"";
    GetDlgItemTextW(hBox, 0xFFFF, text, 4096);
    return text;
}

void ClickOk(HWND hBox)
{
    PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hBox, IDOK)));
}

class LumoProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WSADATA wsa{};
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    }
    void TearDown() override { WSACleanup(); }

    SettingsKey m_key{L"Software\\Quelmoor\\LUMO"};
};

TEST_F(LumoProgramTest, UsageMakesNoConnection)
{
    CSocketHandle listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    ASSERT_TRUE(listener.IsValid());
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    int nLength = sizeof address;
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &nLength), 0);
    const std::wstring port = std::to_wstring(ntohs(address.sin_port));

    LumoProcess lumo(L"-jex:127.0.0.1:" + port + L" -?");
    ASSERT_TRUE(lumo.Started());
    const HWND hBox = lumo.WaitForBox();
    ASSERT_NE(hBox, nullptr) << "no usage box";
    EXPECT_EQ(BoxText(hBox).rfind(LUMO_EXE L"\n\t[-jex:<Hostname or IP Address>:<Port>]", 0), 0u)
        << "the program name as given, then the options";
    ClickOk(hBox);
    ASSERT_TRUE(lumo.WaitForExit());

    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener.Get(), &readable);
    timeval now{0, 0};
    EXPECT_EQ(select(0, &readable, nullptr, nullptr, &now), 0) << "someone connected to the Jex port";
}

TEST_F(LumoProgramTest, FirstRunWithoutHostStoresTheDefaultsAndStops)
{
    LumoProcess lumo(L"");
    ASSERT_TRUE(lumo.Started());
    const HWND hBox = lumo.WaitForBox();
    ASSERT_NE(hBox, nullptr) << "no message";
    EXPECT_EQ(BoxText(hBox), L"Unable to locate remote host (check registry)");
    ClickOk(hBox);
    ASSERT_TRUE(lumo.WaitForExit());

    const RegValue empty = RegValue::Text(L"");
    const std::map<std::wstring, RegValue> expected{
        {L"UseAuthentication", RegValue::Dword(0)},
        {L"RemotePortNr", RegValue::Dword(901)},
        {L"ApplicationPort", RegValue::Dword(905)},
        {L"AppPort", RegValue::Dword(1905)},
        {L"Location", RegValue::Dword(0)},
        {L"StatisticsView", RegValue::Dword(1)},
        {L"ExtendedView", RegValue::Dword(1)},
        {L"CallInfoWindow", RegValue::Dword(1)},
        {L"RemoteHost", empty},
        {L"AgentMonitorPath", empty},
        {L"BrennPath", empty},
        {L"QuillanPath", empty},
    };
    EXPECT_EQ(m_key.All(HKEY_CURRENT_USER), expected);
}
} // namespace
