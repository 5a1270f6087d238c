#include "sessions/ListenOnFreePort.h"
#include <algorithm>
#include <winsock2.h>

UINT ListenOnFreePort(UINT nPort, UINT nFurtherPorts, const std::function<UINT(UINT nPort)>& tryPort)
{
    const UINT nLast = nPort == 0 ? 0 : std::min<UINT>(nPort + std::min<UINT>(nFurtherPorts, 65535), 65535);
    for (UINT nTry = nPort;; ++nTry)
    {
        if (const UINT nTaken = tryPort(nTry)) return nTaken;
        const int nError = ::WSAGetLastError();
        if (nTry >= nLast || (nError != WSAEADDRINUSE && nError != WSAEACCES)) return 0;
    }
}
