#include "tests/support/CJexSessions.h"
#include "tests/support/CScriptedJex.h"
#include "framework/testing/MessagePump.h"
#include <cwchar>

CJexSessions::CJexSessions(int nLinks, double waitSeconds, const std::vector<std::string>& scripts, const Files& files)
{
    for (const auto& [name, bytes] : files)
        m_peer.WriteFile(name.c_str(), bytes);
    std::string args = "{dir} " + std::to_string(nLinks) + " " + std::to_string(waitSeconds);
    const std::string& folder = m_peer.UnixFolder();
    for (size_t i = 0; i < scripts.size(); ++i)
    {
        std::string text = scripts[i] + "\n";
        for (size_t at = text.find("{dir}"); at != std::string::npos; at = text.find("{dir}", at + folder.size()))
            text.replace(at, 5, folder);
        m_peer.WriteFile((L"script" + std::to_wstring(i)).c_str(), text);
        args += " {dir}/script" + std::to_string(i);
    }
    m_peer.Start(LUMO_PYTHON, LUMO_JEX_SESSIONS, args);
}

std::vector<CJexSessions::Event> CJexSessions::Events() const
{
    std::vector<Event> events;
    for (const std::wstring& line : m_peer.ReadLines(L"events"))
    {
        Event e{L"", -1, L""};
        wchar_t kind[16] = L"";
        int nUsed = 0;
        if (swscanf(line.c_str(), L"%15ls %d %n", kind, &e.nLink, &nUsed) < 2) continue;
        e.kind = kind;
        e.detail = line.substr(static_cast<size_t>(nUsed));
        events.push_back(e);
    }
    return events;
}

std::vector<CJexSessions::Event> CJexSessions::Events(const std::wstring& kind) const
{
    std::vector<Event> of;
    for (const Event& e : Events())
        if (e.kind == kind) of.push_back(e);
    return of;
}

bool CJexSessions::WaitFor(const std::wstring& kind, size_t n, DWORD timeoutMs)
{
    return PumpUntil([&] { return Events(kind).size() >= n; }, timeoutMs);
}

CJexSessions::Lines CJexSessions::Received(int nLink) const
{
    return CScriptedJex::SentLines(m_peer.ReadLines((L"traffic" + std::to_wstring(nLink)).c_str()));
}
