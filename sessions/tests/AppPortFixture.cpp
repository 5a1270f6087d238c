#include "sessions/tests/AppPortFixture.h"
#include "framework/testing/MessagePump.h"
#include <fstream>
#include <sstream>

void AppPortFixture::SetUp()
{
    JexLinkFixture::SetUp();
    ASSERT_TRUE(AfxSocketInit());
    CSessionCore::Timings timings; // the registration's own waits have a test of their own
    timings.nRegistrationPauseMs = 0;
    timings.nSettingsWaitRounds = 100;
    timings.nSettingsWaitStepMs = 50;
    m_core.SetTimings(timings);
    m_core.Roles().Install(m_dlg);
    m_dlg.m_nAgentState = 4;
    m_app.m_agent.m_nId = 77;
    m_pCore = &m_core;
    wchar_t szFolder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, szFolder);
    m_logPath = std::wstring(szFolder) + L"appport-" + std::to_wstring(::GetCurrentProcessId()) + L".log";
    ::DeleteFileW(m_logPath.c_str());
    m_app.m_strLogFile = m_logPath.c_str();
    ASSERT_TRUE(m_listener.StartListening(0));
}

void AppPortFixture::TearDown()
{
    m_listener.CloseConnections();
    UseJex(false);
    if (m_pLink) m_pLink->SetApplicationRelay(nullptr);
    m_pLink.reset();
    ::DeleteFileW(m_logPath.c_str());
}

bool AppPortFixture::ConnectJex(const std::string& script)
{
    if (!Connect("handshake\ngreet 0 5.4.9.6 0.0.0.0\n" + script) || !WaitForGreeting()) return false;
    m_pLink->SetApplicationRelay(&m_core);
    m_pLink->SetMainWindow(&m_dlg, nullptr);
    UseJex(true);
    return true;
}

void AppPortFixture::UseJex(bool bUse)
{
    m_core.SetJexSender(bUse ? m_pLink.get() : nullptr);
    // The link belongs to the fixture: the application's reference must not delete it.
    m_app.m_pJexSocket = bUse ? std::shared_ptr<CJexSocket>(m_pLink.get(), [](CJexSocket*) {}) : nullptr;
}

void AppPortFixture::StartApps(const std::string& script)
{
    m_pApps = std::make_unique<CScriptedApps>(m_listener.GetListeningPort(), script);
}

void AppPortFixture::FinishApps()
{
    EXPECT_EQ(m_pApps->Finish(), 0) << m_pApps->Log();
    EXPECT_TRUE(PumpUntil([&] { return m_listener.GetConnectionCount() == 0; })) << "the connections closed";
}

std::string AppPortFixture::ReadLog() const
{
    std::ifstream file(m_logPath.c_str(), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}
