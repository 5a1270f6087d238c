#include "framework/CDialog.h"
#include "framework/CException.h"
#include "framework/CWinApp.h"
#include "framework/CWinThread.h"
#include <cstdlib>

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
ON_COMMAND(ID_HELP, &CDialog::OnHelp)
END_MESSAGE_MAP()

// The dialog manager's procedure: our window procedure sees every message first, so only the
// initialisation is left to answer here.
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG) return FALSE;
    auto* pDlg = dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(hWnd));
    if (!pDlg) return TRUE;
    // Called from inside the dialog manager: nothing may unwind through it.
    MSG failed{hWnd, message, 0, 0, 0, {0, 0}};
    try
    {
        return pDlg->OnInitDialog();
    }
    catch (CException* e)
    {
        CWinThread* pThread = AfxGetThread();
        pThread ? pThread->ProcessWndProcException(e, &failed) : AfxProcessWndProcException(e, &failed);
    }
    catch (...)
    {
        CWinThread* pThread = AfxGetThread();
        pThread ? pThread->ProcessWndProcException(nullptr, &failed) : AfxProcessWndProcException(nullptr, &failed);
    }
    return FALSE;
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEW(nIDTemplate)), m_pParentWnd(pParentWnd), m_nIDHelp(nIDTemplate)
{
}

CDialog::CDialog(LPCWSTR lpszTemplateName, CWnd* pParentWnd) : m_pParentWnd(pParentWnd)
{
    SetTemplateName(lpszTemplateName);
}

CDialog::~CDialog()
{
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this) DestroyWindow();
    free(m_pszOwnedName);
}

void CDialog::SetTemplateName(LPCWSTR lpszTemplateName)
{
    free(m_pszOwnedName);
    m_pszOwnedName = nullptr;
    if (IS_INTRESOURCE(lpszTemplateName))
        m_lpszTemplateName = lpszTemplateName;
    else
        m_lpszTemplateName = m_pszOwnedName = _wcsdup(lpszTemplateName);
}

LPCDLGTEMPLATE CDialog::LoadTemplate(HINSTANCE* phInst) const
{
    *phInst = AfxGetResourceHandle();
    if (m_lpDialogTemplate) return m_lpDialogTemplate;
    if (!m_lpszTemplateName) return nullptr;
    HINSTANCE hInst = AfxFindResourceHandle(m_lpszTemplateName, RT_DIALOG);
    HRSRC hRes = ::FindResourceW(hInst, m_lpszTemplateName, RT_DIALOG);
    HGLOBAL hGlobal = hRes ? ::LoadResource(hInst, hRes) : nullptr; // resources are never freed
    *phInst = hInst;
    return hGlobal ? static_cast<LPCDLGTEMPLATE>(::LockResource(hGlobal)) : nullptr;
}

BOOL CDialog::Create(LPCWSTR lpszTemplateName, CWnd* pParentWnd)
{
    SetTemplateName(lpszTemplateName);
    if (IS_INTRESOURCE(lpszTemplateName) && !m_nIDHelp)
        m_nIDHelp = LOWORD(reinterpret_cast<UINT_PTR>(lpszTemplateName));
    m_lpDialogTemplate = nullptr;
    HINSTANCE hInst;
    LPCDLGTEMPLATE lpTemplate = LoadTemplate(&hInst);
    if (!lpTemplate)
    {
        ::SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return FALSE;
    }
    if (!pParentWnd) pParentWnd = AfxGetMainWnd();
    m_pParentWnd = pParentWnd;
    return CreateDlgIndirect(lpTemplate, pParentWnd, hInst);
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    return Create(MAKEINTRESOURCEW(nIDTemplate), pParentWnd);
}

BOOL CDialog::CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd, void* lpDialogInit)
{
    if (!pParentWnd) pParentWnd = AfxGetMainWnd();
    m_pParentWnd = pParentWnd;
    m_lpDialogInit = lpDialogInit;
    return CreateDlgIndirect(lpDialogTemplate, pParentWnd, AfxGetResourceHandle());
}

BOOL CDialog::InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd, void* lpDialogInit)
{
    if (!lpDialogTemplate) return FALSE;
    m_lpDialogTemplate = lpDialogTemplate;
    m_lpDialogInit = lpDialogInit;
    m_pParentWnd = pParentWnd;
    return TRUE;
}

namespace
{
// Disables a window for the lifetime of the object when it was enabled, and enables it again.
class CDisabledOwner
{
public:
    explicit CDisabledOwner(HWND hWnd) : m_hWnd(hWnd && ::IsWindowEnabled(hWnd) ? hWnd : nullptr)
    {
        if (m_hWnd) ::EnableWindow(m_hWnd, FALSE);
    }
    ~CDisabledOwner() { Restore(); }
    CDisabledOwner(const CDisabledOwner&) = delete;
    CDisabledOwner& operator=(const CDisabledOwner&) = delete;
    void Restore()
    {
        if (m_hWnd) ::EnableWindow(m_hWnd, TRUE);
        m_hWnd = nullptr;
    }

private:
    HWND m_hWnd;
};
} // namespace

INT_PTR CDialog::DoModal()
{
    HINSTANCE hInst;
    LPCDLGTEMPLATE lpTemplate = LoadTemplate(&hInst);
    if (!lpTemplate) return -1;

    // The owner is the top-level window of the parent (or of the main window).
    HWND hWndParent = AfxGetSafeHwnd(m_pParentWnd);
    if (!hWndParent) hWndParent = AfxGetSafeHwnd(AfxGetMainWnd());
    if (hWndParent) hWndParent = ::GetAncestor(hWndParent, GA_ROOT);
    CDisabledOwner disabled(hWndParent);

    m_nModalResult = -1;
    m_bContinueModal = true; // before creation: OnInitDialog may already end the dialog
    if (CreateDlgIndirect(lpTemplate, CWnd::FromHandle(hWndParent), hInst))
    {
        if (m_bContinueModal)
        {
            DWORD flags = MLF_SHOWONIDLE;
            if (GetStyle() & DS_NOIDLEMSG) flags |= MLF_NOIDLEMSG;
            RunModalLoop(flags);
        }
        if (m_hWnd)
            SetWindowPos(nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    }
    m_bContinueModal = false;
    // The owner is enabled before the dialog goes, so that the activation returns to it.
    disabled.Restore();
    if (hWndParent && ::GetActiveWindow() == m_hWnd) ::SetActiveWindow(hWndParent);
    if (m_hWnd) DestroyWindow();
    return m_nModalResult;
}

void CDialog::EndDialog(int nResult)
{
    if (m_bContinueModal || m_bInModalLoop) EndModalLoop(nResult);
    m_nModalResult = nResult;
    ::EndDialog(m_hWnd, nResult); // a modeless dialog is hidden
}

BOOL CDialog::OnInitDialog()
{
    if (!UpdateData(FALSE))
    {
        EndDialog(-1);
        return FALSE;
    }
    return TRUE;
}

void CDialog::OnSetFont(CFont*) {}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE)) return; // the user was told; the dialog stays
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    // Only keyboard and mouse input to this dialog or its controls: the dialog manager then
    // handles Tab, Enter, Esc and mnemonics.
    const bool input = (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST) ||
                       (pMsg->message >= WM_MOUSEFIRST && pMsg->message <= WM_MOUSELAST);
    if (!input || !m_hWnd) return FALSE;
    if (pMsg->hwnd != m_hWnd && !::IsChild(m_hWnd, pMsg->hwnd)) return FALSE;
    return ::IsDialogMessageW(m_hWnd, pMsg);
}

void CDialog::OnHelp()
{
    if (CWinApp* pApp = AfxGetApp()) pApp->WinHelp(HID_BASE_RESOURCE + m_nIDHelp, HELP_CONTEXT);
}

void CDialog::GotoDlgCtrl(CWnd* pWndCtrl)
{
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(AfxGetSafeHwnd(pWndCtrl)), TRUE);
}
