#pragma once
#include "framework/testing/CPeerProcess.h"
#include <string>
#include <utility>
#include <vector>

// One run of the Jex of several links (tests/peers/jex_sessions.py): the scripted Jex's directives
// on every link it accepts, link N running the script of its number, the last script again for
// any further link; for what reconnects. "{dir}" in a script names the run's folder, where the
// files a script reads are put.
class CJexSessions
{
public:
    using Lines = std::vector<std::wstring>;
    struct Event
    {
        std::wstring kind; // accept, before, closed, failed, missing
        int nLink;
        std::wstring detail; // seconds since the peer started, or what "before" and "failed" say
        double Seconds() const { return _wtof(detail.c_str()); }
    };

    using Files = std::vector<std::pair<std::wstring, std::string>>;

    // The files go into the run's folder before the peer starts.
    CJexSessions(int nLinks, double waitSeconds, const std::vector<std::string>& scripts, const Files& files = {});
    CJexSessions(const CJexSessions&) = delete;
    CJexSessions& operator=(const CJexSessions&) = delete;

    UINT Port() { return m_peer.Port(); }
    std::vector<Event> Events() const;
    std::vector<Event> Events(const std::wstring& kind) const;
    bool WaitFor(const std::wstring& kind, size_t n, DWORD timeoutMs = 10000);
    int Finish(DWORD timeoutMs = 60000) { return m_peer.ExitCode(timeoutMs); } // 0: every link's script passed
    // What the desktop sent on a link after the handshake, in order; complete once the link's script ended.
    Lines Received(int nLink) const;
    std::string Log() const { return m_peer.ReadFile(L"log") + m_peer.ReadFile(L"events"); }

private:
    CPeerProcess m_peer;
};
