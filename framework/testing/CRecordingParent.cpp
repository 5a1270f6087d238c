#include "framework/testing/CRecordingParent.h"
#include "framework/testing/CDialogTemplateBuilder.h"

std::ostream& operator<<(std::ostream& os, const CSeenMessage& m)
{
    const char* name = m.message == WM_COMMAND ? "WM_COMMAND" : m.message == WM_NOTIFY ? "WM_NOTIFY" : nullptr;
    os << "{ ";
    if (name)
        os << name;
    else
        os << "0x" << std::hex << m.message << std::dec;
    return os << ", " << m.id << ", " << m.code << " }";
}

BOOL CRecordingParent::Create(int nWidth, int nHeight, LPCWSTR lpszTitle)
{
    CRect rc(0, 0, nWidth, nHeight);
    ::AdjustWindowRectEx(&rc, WS_OVERLAPPEDWINDOW, FALSE, 0);
    return CreateEx(
        0, AfxRegisterWndClass(0, ::LoadCursorW(nullptr, IDC_ARROW), reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)),
        lpszTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, rc.Width(), rc.Height(), nullptr, nullptr);
}

BOOL CRecordingParent::CreateDialogForm(LPCDLGTEMPLATE lpTemplate)
{
    CDialogTemplateBuilder empty(L"test dialog parent", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 260, 180);
    if (!CreateDlgIndirect(lpTemplate ? lpTemplate : empty.Get(), nullptr, nullptr)) return FALSE;
    SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
}

BOOL CRecordingParent::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    // Reached only after the child's reflection declined: this is what the parent itself gets.
    const UINT message = HIWORD(static_cast<UINT>(nCode));
    if (!pHandlerInfo && message == 0) m_seen.push_back({WM_COMMAND, nID, LOWORD(static_cast<UINT>(nCode))});
    if (!pHandlerInfo && message == WM_NOTIFY)
    {
        // The full code as the headers define it (NM_CLICK is an unsigned 0U-2U).
        auto* notify = static_cast<AFX_NOTIFY*>(pExtra);
        const UINT code = notify && notify->pNMHDR ? notify->pNMHDR->code : LOWORD(static_cast<UINT>(nCode));
        m_seen.push_back({WM_NOTIFY, nID, static_cast<LONG_PTR>(code)});
        if (notify && notify->pResult)
        {
            auto answer = m_notifyAnswers.find(code);
            *notify->pResult = answer != m_notifyAnswers.end() ? answer->second(notify->pNMHDR) : m_notifyResult;
        }
    }
    return CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

LRESULT CRecordingParent::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER && message < 0xC000 && message != WM_REFLECT_CTLCOLOR &&
        (message < WM_REFLECT_BASE || message > WM_REFLECT_BASE + 0x3FF))
    {
        m_seen.push_back({message, static_cast<UINT_PTR>(wParam), static_cast<LONG_PTR>(lParam)});
        if (auto answer = m_messageAnswers.find(message); answer != m_messageAnswers.end())
            return answer->second(wParam, lParam);
    }
    if (message == WM_CONTEXTMENU)
        m_seen.push_back({message, static_cast<UINT_PTR>(::GetDlgCtrlID(reinterpret_cast<HWND>(wParam))),
                          static_cast<LONG_PTR>(lParam)});
    return CWnd::WindowProc(message, wParam, lParam);
}
