#include "standins/softphone/testing/CSoftphoneDriver.h"
#include <ws2tcpip.h>
#include <cstdio>
#include <sstream>

namespace
{
constexpr DWORD kAnswerTimeoutMs = 10000;

std::wstring Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '\\' || i + 1 == text.size())
        {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, out.data(), static_cast<int>(out.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, out.data(), static_cast<int>(out.size()), wide.data(), n);
    return wide;
}
} // namespace

CSoftphoneDriver::CSoftphoneDriver()
{
    WSADATA wsa;
    m_winsock.Attach(::WSAStartup(MAKEWORD(2, 2), &wsa) == 0);
    if (!m_winsock.IsValid()) return;
    m_listener.Attach(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(local);
    if (!m_listener.IsValid() || ::bind(m_listener, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0 ||
        ::listen(m_listener, 1) != 0 || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&local), &length) != 0)
    {
        m_listener.Close();
        return;
    }
    ::SetEnvironmentVariableA("TESSALY_OPAL_CONTROL_PORT", std::to_string(ntohs(local.sin_port)).c_str());
}

CSoftphoneDriver::~CSoftphoneDriver()
{
    ::SetEnvironmentVariableA("TESSALY_OPAL_CONTROL_PORT", nullptr);
    m_link.Close();
    m_listener.Close();
    m_winsock.Close();
}

bool CSoftphoneDriver::EnsureConnected(DWORD timeoutMs)
{
    if (m_link.IsValid()) return true;
    if (!m_listener.IsValid()) return false;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(m_listener.Get(), &readable);
    timeval wait{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    if (::select(0, &readable, nullptr, nullptr, &wait) != 1) return false;
    m_link.Attach(::accept(m_listener, nullptr, nullptr));
    if (!m_link.IsValid()) return false;
    const DWORD timeout = kAnswerTimeoutMs;
    ::setsockopt(m_link, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    std::string hello;
    return ReadLine(&hello) && hello.rfind("HELLO ", 0) == 0;
}

bool CSoftphoneDriver::ReadLine(std::string* pLine)
{
    for (;;)
    {
        const size_t end = m_pending.find('\n');
        if (end != std::string::npos)
        {
            *pLine = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            return true;
        }
        char buffer[65536];
        const int n = ::recv(m_link, buffer, sizeof(buffer), 0);
        if (n <= 0) return false;
        m_pending.append(buffer, static_cast<size_t>(n));
    }
}

std::vector<std::string> CSoftphoneDriver::Command(const std::string& line)
{
    std::vector<std::string> answer;
    if (!EnsureConnected()) return answer;
    const std::string text = line + "\n";
    if (::send(m_link, text.data(), static_cast<int>(text.size()), 0) != static_cast<int>(text.size())) return answer;
    for (std::string reply; ReadLine(&reply);)
    {
        answer.push_back(reply);
        if (reply.rfind("OK", 0) == 0 || reply.rfind("ERR", 0) == 0) return answer;
    }
    answer.clear(); // the link broke halfway
    return answer;
}

std::vector<CSoftphoneDriver::JournalEntry> CSoftphoneDriver::Journal()
{
    std::vector<JournalEntry> entries;
    for (const std::string& line : Command("JOURNAL"))
    {
        if (line.rfind("J ", 0) != 0) continue;
        std::vector<std::string> fields;
        std::istringstream in(line.substr(2));
        for (std::string field; std::getline(in, field, '\t');)
            fields.push_back(field);
        if (fields.size() == 4) fields.emplace_back(); // no value
        if (fields.size() != 5) continue;
        entries.push_back(JournalEntry{std::stol(fields[0]), fields[1], static_cast<VARTYPE>(std::stoul(fields[2])),
                                       static_cast<DWORD>(std::stoul(fields[3])), Unescape(fields[4])});
    }
    return entries;
}

CSoftphoneDriver::Counts CSoftphoneDriver::GetCounts()
{
    Counts counts;
    const std::string last = Last(Command("COUNTS"));
    std::sscanf(last.c_str(), "OK objects=%d sites=%d sinks=%d factories=%d", &counts.objects, &counts.sites,
                &counts.sinks, &counts.factories);
    return counts;
}
