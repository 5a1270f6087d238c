#pragma once
#include "framework/testing/CPeerProcess.h"
#include <memory>
#include <string>
#include <vector>

// One run of the scripted Jex (tests/peers/scripted_jex.py), which Wine starts as a Unix process.
// "{dir}" in a script names the run's folder, where WriteFile puts the files the script reads. With
// a data script the peer also serves the data link ("{dataport}" in a greeting names its port).
class CScriptedJex
{
public:
    using Lines = std::vector<std::wstring>;

    explicit CScriptedJex(const std::string& script, const std::string& dataScript = {});
    CScriptedJex(const CScriptedJex&) = delete;
    CScriptedJex& operator=(const CScriptedJex&) = delete;

    // A file of the run's folder, for the script to read once it gets there.
    bool WriteFile(const wchar_t* pszName, const std::string& bytes) { return m_peer.WriteFile(pszName, bytes); }
    // A file the peer wrote beside its logs (what an upload carried).
    std::string ReadFile(const wchar_t* pszName) { return m_peer.ReadFile(pszName); }
    UINT Port();
    // Where the peer's files are, as the other peers see it (a "mark" of its script lands here).
    const std::string& UnixFolder() const { return m_peer.UnixFolder(); }
    // Waits for the scripts' end: 0 when every step passed.
    int Finish() { return m_peer.ExitCode(30000); }
    // What the desktop sent after the handshake ("< " lines), in order.
    Lines Received() { return SentLines(Traffic()); }
    Lines Traffic() { return m_peer.ReadLines(L"traffic"); }
    // The same of the data link.
    Lines DataReceived() { return SentLines(DataTraffic()); }
    Lines DataTraffic() { return m_peer.ReadLines(L"datatraffic"); }
    std::string Log() { return m_peer.ReadFile(L"log"); }
    // The "< " lines of a traffic log, the handshake's and the clock's left out.
    static Lines SentLines(const Lines& traffic);

private:
    // The script with "{dir}" resolved, as a file of the run's folder.
    void WriteScript(const wchar_t* pszName, const std::string& script);

    CPeerProcess m_peer;
};
