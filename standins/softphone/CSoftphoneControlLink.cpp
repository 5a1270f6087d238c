#include "CSoftphoneControlLink.h"
#include "framework/CAtlModule.h"
#include "CSoftphoneJournal.h"
#include "CSoftphoneStandIn.h"
#include <ws2tcpip.h>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace
{
// Words and "quoted texts" of a FIRE line, unescaped.
std::vector<std::wstring> SplitArguments(const std::string& text)
{
    std::vector<std::wstring> words;
    size_t i = 0;
    while (i < text.size())
    {
        if (text[i] == ' ')
        {
            ++i;
            continue;
        }
        std::string word;
        if (text[i] == '"')
        {
            for (++i; i < text.size() && text[i] != '"'; ++i)
            {
                if (text[i] == '\\' && i + 1 < text.size()) word += text[i++];
                word += text[i];
            }
            ++i; // the closing quote
        }
        else
            for (; i < text.size() && text[i] != ' '; ++i)
                word += text[i];
        words.push_back(CSoftphoneJournal::Unescape(word));
    }
    return words;
}

bool SendText(SOCKET s, const std::string& text)
{
    size_t sent = 0;
    while (sent < text.size())
    {
        const int n = ::send(s, text.data() + sent, static_cast<int>(text.size() - sent), 0);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}
} // namespace

void CSoftphoneControlLink::StartOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        char port[16] = "";
        if (!::GetEnvironmentVariableA("TESSALY_OPAL_CONTROL_PORT", port, sizeof(port))) return;
        const long number = std::strtol(port, nullptr, 10);
        if (number <= 0 || number > 65535) return;
        if (CAtlModule* pModule = AtlGetModule())
            pModule->BeginLockedThread(&CSoftphoneControlLink::Run, reinterpret_cast<LPVOID>(number));
    });
}

DWORD WINAPI CSoftphoneControlLink::Run(LPVOID pParam)
{
    WSADATA wsa;
    const CWinsockStartup winsock(::WSAStartup(MAKEWORD(2, 2), &wsa) == 0);
    if (!winsock.IsValid()) return 1;
    {
        CSocketHandle link(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_in peer{};
        peer.sin_family = AF_INET;
        peer.sin_port = htons(static_cast<u_short>(reinterpret_cast<UINT_PTR>(pParam)));
        peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (link.IsValid() && ::connect(link, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) == 0 &&
            SendText(link, "HELLO " + std::to_string(::GetCurrentProcessId()) + "\n"))
        {
            std::string pending;
            char buffer[4096];
            for (int n; (n = ::recv(link, buffer, sizeof(buffer), 0)) > 0;)
            {
                pending.append(buffer, static_cast<size_t>(n));
                for (size_t end; (end = pending.find('\n')) != std::string::npos;)
                {
                    std::string line = pending.substr(0, end);
                    pending.erase(0, end + 1);
                    if (!line.empty() && line.back() == '\r') line.pop_back();
                    std::string answer;
                    try
                    {
                        answer = Answer(line);
                    }
                    catch (...)
                    {
                        answer = "ERR failed\n";
                    }
                    if (!SendText(link, answer)) break;
                }
            }
        }
    }
    return 0;
}

std::string CSoftphoneControlLink::Answer(const std::string& line)
{
    CSoftphoneJournal& journal = CSoftphoneJournal::Get();
    const size_t blank = line.find(' ');
    const std::string command = line.substr(0, blank);
    const std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    if (command == "JOURNAL")
    {
        std::string answer;
        const std::vector<std::string> entries = journal.Entries();
        for (const std::string& entry : entries)
            answer += "J " + entry + "\n";
        return answer + "OK " + std::to_string(entries.size()) + "\n";
    }
    if (command == "COUNTS")
        return "OK objects=" + std::to_string(journal.m_nObjects.load()) +
               " sites=" + std::to_string(journal.m_nSites.load()) +
               " sinks=" + std::to_string(journal.m_nSinks.load()) +
               " factories=" + std::to_string(journal.m_nFactories.load()) + "\n";
    if (command == "MODE") return journal.SetMode(rest) ? "OK\n" : "ERR unknown mode\n";
    if (command == "FIRE")
    {
        std::vector<std::wstring> words = SplitArguments(rest);
        if (words.empty()) return "ERR no dispid\n";
        auto* pRequest = new CSoftphoneStandIn::FireRequest{
            static_cast<DISPID>(std::wcstol(words[0].c_str(), nullptr, 10)), {words.begin() + 1, words.end()}};
        const HWND hwnd = journal.NewestControlWindow();
        if (!hwnd || !::PostMessageW(hwnd, CSoftphoneStandIn::WM_FIRE, 0, reinterpret_cast<LPARAM>(pRequest)))
        {
            delete pRequest;
            return "ERR no control\n";
        }
        return "OK\n";
    }
    return "ERR unknown command\n";
}
