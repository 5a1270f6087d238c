#include "tests/support/CScriptedJex.h"

CScriptedJex::CScriptedJex(const std::string& script, const std::string& dataScript)
{
    std::string args = "serve --port-file {dir}/port --log {dir}/traffic --timeout 20 --script {dir}/script";
    WriteScript(L"script", script);
    if (!dataScript.empty())
    {
        WriteScript(L"datascript", dataScript);
        args += " --data-script {dir}/datascript --data-log {dir}/datatraffic";
    }
    m_peer.Start(LUMO_PYTHON, LUMO_SCRIPTED_JEX, args);
}

UINT CScriptedJex::Port()
{
    return m_peer.WaitForFile(L"port") ? static_cast<UINT>(std::stoul(m_peer.ReadFile(L"port"))) : 0;
}

void CScriptedJex::WriteScript(const wchar_t* pszName, const std::string& script)
{
    std::string text = script;
    const std::string& folder = m_peer.UnixFolder();
    for (size_t at = text.find("{dir}"); at != std::string::npos; at = text.find("{dir}", at + folder.size()))
        text.replace(at, 5, folder);
    m_peer.WriteFile(pszName, text);
}

CScriptedJex::Lines CScriptedJex::SentLines(const Lines& traffic)
{
    Lines lines;
    for (const std::wstring& entry : traffic)
        if (entry.starts_with(L"< ") && !entry.starts_with(L"< CNPROP") && !entry.starts_with(L"< TTSYNC"))
            lines.push_back(entry.substr(2));
    return lines;
}
