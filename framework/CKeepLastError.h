#pragma once
#include "framework/Platform.h"
// Puts the calling thread's last error back at scope end, for cleanup that runs between a failed
// call and the caller who reads why it failed (closing handles, detaching, releasing).
//
//     if (!Attach(h)) { CKeepLastError keep; Detach(); return FALSE; }
//
// Winsock's error is read and put back too: callers of socket functions read it through
// WSAGetLastError.
class CKeepLastError
{
public:
    CKeepLastError() noexcept : m_nError(::GetLastError()), m_nWsaError(::WSAGetLastError()) {}
    ~CKeepLastError()
    {
        ::SetLastError(m_nError);
        ::WSASetLastError(m_nWsaError);
    }
    CKeepLastError(const CKeepLastError&) = delete;
    CKeepLastError& operator=(const CKeepLastError&) = delete;

private:
    DWORD m_nError;
    int m_nWsaError;
};
