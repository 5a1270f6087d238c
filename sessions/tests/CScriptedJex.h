#pragma once
#include "framework/testing/CPeerProcess.h"
#include <memory>
#include <string>
#include <vector>

// One run of the scripted Jex (tests/peers/scripted_jex.py), which Wine starts as a Unix process.
// "{dir}" in the script names the run's folder, where WriteFile puts the files the script reads.
class CScriptedJex
{
public:
    using Lines = std::vector<std::wstring>;

    explicit CScriptedJex(const std::string& script);
    CScriptedJex(const CScriptedJex&) = delete;
    CScriptedJex& operator=(const CScriptedJex&) = delete;

    // A file of the run's folder, for the script to read once it gets there.
    bool WriteFile(const wchar_t* pszName, const std::string& bytes) { return m_peer.WriteFile(pszName, bytes); }
    UINT Port();
    // Waits for the script's end: 0 when every step passed.
    int Finish() { return m_peer.ExitCode(30000); }
    // What the desktop sent after the handshake ("< " lines), in order.
    Lines Received();
    Lines Traffic() { return m_peer.ReadLines(L"traffic"); }
    std::string Log() { return m_peer.ReadFile(L"log"); }

private:
    CPeerProcess m_peer;
};
