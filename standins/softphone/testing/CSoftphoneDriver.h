#pragma once
#include "framework/CHandleOwner.h"
#include <string>
#include <vector>
// The test's end of the softphone stand-in's control link: it listens on 127.0.0.1 (a port of the
// system's choosing) and names that port in TESSALY_OPAL_CONTROL_PORT, so the stand-in loaded into
// this process, or into a program started from it, connects at its first class object.
class CSoftphoneDriver
{
public:
    struct JournalEntry
    {
        long dispid;
        std::string kind; // put, get, call, ambient
        VARTYPE vt;
        DWORD threadId;
        std::wstring value;
    };
    struct Counts
    {
        int objects = -1, sites = -1, sinks = -1, factories = -1;
    };

    CSoftphoneDriver();
    ~CSoftphoneDriver();
    CSoftphoneDriver(const CSoftphoneDriver&) = delete;
    CSoftphoneDriver& operator=(const CSoftphoneDriver&) = delete;

    bool IsListening() const noexcept { return m_listener.IsValid(); }
    // Takes the stand-in's connection when there is none yet; false when none came in time.
    bool EnsureConnected(DWORD timeoutMs = 10000);
    // Sends one command line; the answer's lines, the last one "OK..." or "ERR..." (empty on failure).
    std::vector<std::string> Command(const std::string& line);
    bool Mode(const std::string& words) { return Last(Command("MODE " + words)) == "OK"; }
    bool Fire(const std::string& dispidAndArgs) { return Last(Command("FIRE " + dispidAndArgs)) == "OK"; }
    std::vector<JournalEntry> Journal();
    Counts GetCounts();

    static std::string Last(const std::vector<std::string>& lines) { return lines.empty() ? "" : lines.back(); }

private:
    bool ReadLine(std::string* pLine);
    CWinsockStartup m_winsock; // first: the sockets below close before Winsock is cleaned up
    CSocketHandle m_listener;
    CSocketHandle m_link;
    std::string m_pending;
};
