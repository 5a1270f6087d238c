#include "clientctl/CSyncSocketExHiddenWnd.h"
#include "clientctl/CSyncSocketEx.h"
#include "clientctl/CSyncSocketExThread.h"
#include "clientctl/ClientCtlMessages.h"
#include <memory>

BEGIN_MESSAGE_MAP(CSyncSocketExHiddenWnd, CWnd)
ON_MESSAGE(WM_SYNCSOCKETEX_COMMAND, &CSyncSocketExHiddenWnd::OnReceiveCommand)
ON_MESSAGE(WM_SYNCSOCKETEX_CLOSED, &CSyncSocketExHiddenWnd::OnSocketClosed)
ON_MESSAGE(WM_SYNCSOCKETEX_SERVERTIME, &CSyncSocketExHiddenWnd::OnServerTime)
ON_MESSAGE(WM_SYNCSOCKETEX_ERROR, &CSyncSocketExHiddenWnd::OnOwnerError)
END_MESSAGE_MAP()

CSyncSocketExHiddenWnd::CSyncSocketExHiddenWnd(CSyncSocketEx& owner) : m_owner(owner)
{
    // Without the window nothing of the link could reach the owner's thread: Connect then refuses
    // to start, so the result is looked at there.
    static_cast<void>(CreateEx(0, AfxRegisterWndClass(0), L"CSyncSocketExHiddenWnd", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr));
}

// Each handler takes its heap object first: the owner may delete itself (and this window) in the call.
LRESULT CSyncSocketExHiddenWnd::OnReceiveCommand(WPARAM wParam, LPARAM)
{
    std::unique_ptr<CSyncSocketExThread::CRequest> pRequest(reinterpret_cast<CSyncSocketExThread::CRequest*>(wParam));
    if (pRequest) m_owner.DispatchCommand(*pRequest);
    return 1;
}

LRESULT CSyncSocketExHiddenWnd::OnSocketClosed(WPARAM wParam, LPARAM)
{
    m_owner.DispatchDisconnected(static_cast<int>(wParam));
    return 1;
}

LRESULT CSyncSocketExHiddenWnd::OnServerTime(WPARAM wParam, LPARAM)
{
    std::unique_ptr<CString> pClock(reinterpret_cast<CString*>(wParam));
    if (pClock) m_owner.DispatchServerTime(*pClock);
    return 1;
}

LRESULT CSyncSocketExHiddenWnd::OnOwnerError(WPARAM wParam, LPARAM)
{
    std::unique_ptr<CString> pText(reinterpret_cast<CString*>(wParam));
    if (pText) m_owner.DispatchError(*pText);
    return 1;
}
