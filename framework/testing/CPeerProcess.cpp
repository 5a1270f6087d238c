#include "framework/testing/CPeerProcess.h"
#include "framework/testing/MessagePump.h"
#include "framework/CHandleOwner.h"
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace
{
std::wstring WidenUtf8(const std::string& text)
{
    const int nChars = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(nChars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), nChars);
    return wide;
}
} // namespace

CPeerProcess::CPeerProcess(const char* pszPython, const char* pszScript, const std::string& args)
{
    static std::atomic<int> s_nRun{0};
    const std::string name = "lumo-peer-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(GetTickCount64()) + "-" + std::to_string(++s_nRun);
    m_unixFolder = "/tmp/" + name;
    m_folder = L"Z:\\tmp\\" + WidenUtf8(name);
    if (!CreateDirectoryW(m_folder.c_str(), nullptr)) return;
    std::string arguments = args;
    for (size_t at = arguments.find("{dir}"); at != std::string::npos; at = arguments.find("{dir}"))
        arguments.replace(at, 5, "'" + m_unixFolder + "'");
    // Windows rules split the command line for the Unix program: one double-quoted argument for
    // sh -c, single quotes inside it. rc appears complete or not at all.
    const std::string command = "Z:\\bin\\sh -c \"'" + std::string(pszPython) + "' -B '" + pszScript + "' " +
                                arguments + " > '" + m_unixFolder + "/log' 2>&1; echo $? > '" + m_unixFolder +
                                "/rc.tmp'; mv '" + m_unixFolder + "/rc.tmp' '" + m_unixFolder + "/rc'\"";
    std::wstring commandLine = WidenUtf8(command);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    m_bStarted = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                &process) != FALSE;
    const CKernelHandle ownProcess(process.hProcess); // closed at once: nothing waits on them
    const CKernelHandle ownThread(process.hThread);
}

CPeerProcess::~CPeerProcess()
{
    WIN32_FIND_DATAW found{};
    const CFindHandle find(FindFirstFileW((m_folder + L"\\*").c_str(), &found));
    if (find.IsValid())
    {
        do
            DeleteFileW((m_folder + L"\\" + found.cFileName).c_str()); // "." and ".." simply fail
        while (FindNextFileW(find.Get(), &found));
    }
    RemoveDirectoryW(m_folder.c_str());
}

bool CPeerProcess::WaitForFile(const wchar_t* pszName, DWORD timeoutMs)
{
    const std::wstring path = m_folder + L"\\" + pszName;
    return PumpUntil([&] { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }, timeoutMs);
}

std::string CPeerProcess::ReadFile(const wchar_t* pszName) const
{
    std::ifstream file(std::filesystem::path(m_folder + L"\\" + pszName), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::wstring> CPeerProcess::ReadLines(const wchar_t* pszName) const
{
    std::vector<std::wstring> lines;
    std::istringstream text(ReadFile(pszName));
    for (std::string line; std::getline(text, line);)
        lines.push_back(WidenUtf8(line));
    return lines;
}

int CPeerProcess::ExitCode(DWORD timeoutMs)
{
    return WaitForFile(L"rc", timeoutMs) ? std::stoi(ReadFile(L"rc")) : -1;
}
