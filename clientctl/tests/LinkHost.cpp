// A library holding links to Lumo, which the tests load and release as a client loads and releases
// LumoClient.ocx: its links' socket threads run its code.
#include "clientctl/CSyncSocketEx.h"
#include "framework/CAsyncSocket.h"
#include "framework/CAtlModule.h"

namespace
{
CAtlModule g_module; // counts the links' socket threads
} // namespace

// A link connected to Lumo at 127.0.0.1:nPort; null when it cannot connect.
extern "C" __declspec(dllexport) CSyncSocketEx* WINAPI LinkHostOpen(UINT nPort)
{
    if (!AfxSocketInit()) return nullptr;
    auto* pLink = new CSyncSocketEx;
    CStringArray arrGreeting;
    if (pLink->Connect(L"127.0.0.1", nPort, arrGreeting)) return pLink;
    pLink->SafeDelete();
    return nullptr;
}

// Closes and releases the link; its socket thread ends on its own afterwards.
extern "C" __declspec(dllexport) void WINAPI LinkHostClose(CSyncSocketEx* pLink)
{
    pLink->Disconnect();
    pLink->SafeDelete();
}

extern "C" __declspec(dllexport) LONG WINAPI LinkHostLockCount()
{
    return g_module.GetLockCount();
}
