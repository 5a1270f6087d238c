#pragma once
#include "framework/Platform.h"
#include <string>
#include <vector>
// A test peer written in Python, run as a Unix process: Wine starts ELF programs itself, but gives no
// process handle for them, so the peer's exit code comes back in a file. Each run has a fresh folder
// under /tmp for its files; "{dir}" in the arguments names it. Waits pump the caller's messages, so
// the links under test keep talking to the peer meanwhile.
class CPeerProcess
{
public:
    CPeerProcess();
    ~CPeerProcess(); // removes the run's files and folder
    CPeerProcess(const CPeerProcess&) = delete;
    CPeerProcess& operator=(const CPeerProcess&) = delete;

    // A file for the peer to read (a script), written before Start.
    bool WriteFile(const wchar_t* pszName, const std::string& text);
    // Runs `python -B script args`; its output goes to the file "log".
    bool Start(const char* pszPython, const char* pszScript, const std::string& args);

    bool WaitForFile(const wchar_t* pszName, DWORD timeoutMs = 30000);
    // The number the peer wrote to the file "port" once it listens; 0 when it did not in time.
    UINT Port();
    // The peer's exit code; -1 when it did not end in time.
    int ExitCode(DWORD timeoutMs = 60000);
    std::string ReadFile(const wchar_t* pszName) const;
    std::vector<std::wstring> ReadLines(const wchar_t* pszName) const; // a UTF-8 file, one entry a line
    const std::string& UnixFolder() const { return m_unixFolder; }

private:
    std::string m_unixFolder;
    std::wstring m_folder;
    bool m_bFolder = false;
};
