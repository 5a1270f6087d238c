#pragma once
#include "framework/CWnd.h"
// CDialog: a dialog box from a template resource or a template in memory, modal (DoModal, with
// our own modal loop: the owner is disabled meanwhile and every message walks
// PreTranslateMessage) or modeless (Create). IDOK and IDCANCEL reach OnOK and OnCancel.

class CFont;

class CDialog : public CWnd
{
    DECLARE_DYNAMIC(CDialog)

public:
    CDialog() = default;
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    explicit CDialog(LPCWSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Modeless. The parent defaults to the main window.
    [[nodiscard]] virtual BOOL Create(LPCWSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
    [[nodiscard]] BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    [[nodiscard]] BOOL CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = nullptr, void* lpDialogInit = nullptr);
    // Modal from a template in memory (which must outlive DoModal).
    BOOL InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = nullptr, void* lpDialogInit = nullptr);

    // Runs the dialog; returns what EndDialog was given, or -1 when it could not be created.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog(); // exchanges the data into the controls; TRUE: default focus
    virtual void OnSetFont(CFont* pFont);
    virtual void OnOK();                          // UpdateData(TRUE), then EndDialog(IDOK)
    virtual void OnCancel();                      // EndDialog(IDCANCEL)
    BOOL PreTranslateMessage(MSG* pMsg) override; // IsDialogMessage for input to this dialog

    void NextDlgCtrl() const { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, 0); }
    void PrevDlgCtrl() const { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 1, 0); }
    void GotoDlgCtrl(CWnd* pWndCtrl);
    void SetDefID(UINT nID) { ::SendMessageW(m_hWnd, DM_SETDEFID, nID, 0); }
    DWORD GetDefID() const { return static_cast<DWORD>(::SendMessageW(m_hWnd, DM_GETDEFID, 0, 0)); }
    // Dialog units of this dialog's font to pixels.
    void MapDialogRect(LPRECT lpRect) const { ::MapDialogRect(m_hWnd, lpRect); }
    // The help command (ID_HELP): the application's WinHelp with this dialog's help context,
    // HID_BASE_RESOURCE + the template id, and HELP_CONTEXT.
    void OnHelp();

protected:
    LPCWSTR m_lpszTemplateName = nullptr; // an id as MAKEINTRESOURCE, or a copied name
    LPCDLGTEMPLATE m_lpDialogTemplate = nullptr;
    void* m_lpDialogInit = nullptr;
    CWnd* m_pParentWnd = nullptr;
    UINT m_nIDHelp = 0;

    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    LPCDLGTEMPLATE LoadTemplate(HINSTANCE* phInst) const;
    void SetTemplateName(LPCWSTR lpszTemplateName);
    wchar_t* m_pszOwnedName = nullptr;
};
