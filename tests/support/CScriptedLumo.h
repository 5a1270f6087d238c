#pragma once
#include "framework/testing/CPeerProcess.h"
#include <string>
// The scripted Lumo (tests/peers/scripted_lumo.py) as a peer process running one script, and the
// script lines that every client of Lumo's application port begins with.
class CScriptedLumo
{
public:
    explicit CScriptedLumo(const std::string& script);
    bool IsStarted() const { return m_bStarted; }
    UINT Port() { return m_peer.Port(); }
    // 0 when the script ran to its end; pumps meanwhile.
    int ExitCode(DWORD timeoutMs = 60000) { return m_peer.ExitCode(timeoutMs); }
    std::string Log() const { return m_peer.ReadFile(L"log"); }
    CPeerProcess& Peer() { return m_peer; }

private:
    CPeerProcess m_peer;
    bool m_bStarted = false;
};

// "accept" and the greeting with the version the tests give the link as its own.
constexpr const char* kOwnVersion = "5.4.9.3";
std::string Accepted(const char* pszLumoVersion = kOwnVersion);
// The expectation of the registration (capturing its id as {id}) and the answer "1 <agent state>".
std::string LoggedIn(int nApplicationId = 7, int nAgentState = 3);
