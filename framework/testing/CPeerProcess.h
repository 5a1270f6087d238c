#pragma once
#include "framework/Platform.h"
#include <string>
#include <vector>

// One run of a Python peer script (tests/peers) as a Unix process: Wine starts ELF programs itself,
// through /bin/sh. There is no process handle to wait on, so the script talks back through files
// in a fresh folder under /tmp, which goes away with this object; its exit code lands in "rc".
class CPeerProcess
{
public:
    // Every "{dir}" in args becomes the folder's Unix path, quoted for the shell.
    CPeerProcess(const char* pszPython, const char* pszScript, const std::string& args);
    ~CPeerProcess(); // removes the folder and what the script left in it
    CPeerProcess(const CPeerProcess&) = delete;
    CPeerProcess& operator=(const CPeerProcess&) = delete;

    bool IsStarted() const { return m_bStarted; }
    // Pumps the thread's messages while waiting: the test's links must go on talking to the peer.
    bool WaitForFile(const wchar_t* pszName, DWORD timeoutMs = 30000);
    std::string ReadFile(const wchar_t* pszName) const;                // empty when missing
    std::vector<std::wstring> ReadLines(const wchar_t* pszName) const; // a UTF-8 file, one entry a line
    int ExitCode(DWORD timeoutMs = 60000);                             // -1 when the script did not end in time

private:
    std::string m_unixFolder;
    std::wstring m_folder;
    bool m_bStarted = false;
};
