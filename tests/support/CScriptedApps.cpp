#include "tests/support/CScriptedApps.h"

CScriptedApps::CScriptedApps(UINT nPort, const std::string& script, const Files& files)
{
    Prepare(script, files);
    m_peer.Start(LUMO_PYTHON, LUMO_SCRIPTED_APP,
                 "--port " + std::to_string(nPort) + " --dir {dir} --script {dir}/script");
}

CScriptedApps::CScriptedApps(OldDialect peer, UINT nPort, const std::string& script, const Files& files)
{
    Prepare(script, files);
    m_peer.Start(LUMO_PYTHON, peer.pszPeer, "{dir} " + std::to_string(nPort) + " {dir}/script");
}

void CScriptedApps::Prepare(const std::string& script, const Files& files)
{
    for (const auto& [name, bytes] : files)
        m_peer.WriteFile(name.c_str(), bytes);
    std::string text = script;
    const std::string& folder = m_peer.UnixFolder();
    for (size_t at = text.find("{dir}"); at != std::string::npos; at = text.find("{dir}", at + folder.size()))
        text.replace(at, 5, folder);
    m_peer.WriteFile(L"script", text);
}
