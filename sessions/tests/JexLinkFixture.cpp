#include "sessions/tests/JexLinkFixture.h"
#include "framework/testing/MessagePump.h"
#include "core/CTimeTools.h"
#include <cstdio>

void JexLinkFixture::SetUp()
{
    CTimeTools::m_nUTCShift_sec = 0;
}

bool JexLinkFixture::Connect(const std::string& script, const Files& files, const std::string& dataScript)
{
    m_pJex = std::make_unique<CScriptedJex>(script, dataScript);
    for (const auto& [name, bytes] : files)
        if (!m_pJex->WriteFile(name.c_str(), bytes)) return false;
    m_app.m_nPort = m_pJex->Port();
    if (!m_app.m_nPort) return false;
    m_pLink = std::make_unique<CJexSocket>(m_app, m_boxes, m_pCore);
    if (!m_pLink->Create() || !m_pLink->ConnectToServer()) return false;
    // The handshake runs inside the connect notification: once the error is known it is done.
    return PumpUntil([&] { return m_pLink->GetConnectError() != -1; }) && m_pLink->GetConnectError() == 0;
}

bool JexLinkFixture::WaitForGreeting()
{
    return PumpUntil([&] { return m_pLink->m_bSession || m_pLink->IsGreetingRefused(); }) && PumpUntilIdle();
}

Lines JexLinkFixture::Finish()
{
    if (m_pLink) m_pLink->Close();
    EXPECT_EQ(m_pJex->Finish(), 0) << m_pJex->Log();
    return m_pJex->Received();
}

std::string JexLinkFixture::ScriptText(const std::wstring& text)
{
    std::string out;
    for (const wchar_t c : text)
    {
        char escape[8];
        if (c == L'\\' || c == L'\'')
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(c));
        else if (c >= 0x20 && c < 0x7F)
            std::snprintf(escape, sizeof escape, "%c", static_cast<char>(c));
        else if (c < 0x100)
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(c));
        else
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
        out += escape;
    }
    return out;
}
