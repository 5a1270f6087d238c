#pragma once
#include "framework/testing/CPeerProcess.h"
#include <string>
#include <utility>
#include <vector>

// One run of the scripted local applications (tests/peers/scripted_app.py) against the
// application port on 127.0.0.1. "{dir}" in a script names the run's folder. The script and the
// test wait for each other through files: the script's "mark NAME" is WaitForMark here, Release
// lets the script's "wait NAME" go on.
class CScriptedApps
{
public:
    using Files = std::vector<std::pair<std::wstring, std::string>>;

    // The files go into the run's folder before the script starts, for its "file:{dir}/NAME" sources.
    CScriptedApps(UINT nPort, const std::string& script, const Files& files = {});
    // Programs of the old application port instead: the old dialect's peer (tests/peers/oldapp.py,
    // its path given) with its own directives; "{dir}" and the files as above.
    struct OldDialect
    {
        const char* pszPeer;
    };
    CScriptedApps(OldDialect peer, UINT nPort, const std::string& script, const Files& files = {});
    CScriptedApps(const CScriptedApps&) = delete;
    CScriptedApps& operator=(const CScriptedApps&) = delete;

    // Both pump the caller's messages while they wait, so the port keeps serving the script.
    bool WaitForMark(const wchar_t* pszName, DWORD timeoutMs = 30000) { return m_peer.WaitForFile(pszName, timeoutMs); }
    int Finish(DWORD timeoutMs = 60000) { return m_peer.ExitCode(timeoutMs); } // 0: every step passed
    void Release(const wchar_t* pszName) { m_peer.WriteFile(pszName, "\n"); }
    std::string Log() { return m_peer.ReadFile(L"log"); }

private:
    // The files written and the script with its folder, ready for the peer to start.
    void Prepare(const std::string& script, const Files& files);

    CPeerProcess m_peer;
};
