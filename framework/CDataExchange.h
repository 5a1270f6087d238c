#pragma once
#include "framework/CString.h"
#include "framework/CWnd.h"
// Dialog data exchange: DoDataExchange(CDataExchange*) lists DDX_ calls, each moving one member
// to its control (m_bSaveAndValidate FALSE) or back (TRUE), and DDV_ calls that check the value
// just read. A refused value tells the user (AfxMessageBox), puts the focus on the control and
// ends the exchange: UpdateData then returns FALSE.

class CDataExchange
{
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    HWND m_hWndLastControl = nullptr;
    BOOL m_bEditLastControl = FALSE;

    HWND PrepareCtrl(int nIDC);     // the control's window; throws CNotSupportedException* when missing
    HWND PrepareEditCtrl(int nIDC); // the same, remembering that it is an edit (for Fail)
    [[noreturn]] void Fail();       // focus (and selection) to the last control; throws CUserException*
};

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);
void DDX_Text(CDataExchange* pDX, int nIDC, long& value);
void DDX_Text(CDataExchange* pDX, int nIDC, DWORD& value);
void DDX_Text(CDataExchange* pDX, int nIDC, double& value);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);       // BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);       // nIDC: first button of the group; -1 none
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl); // subclasses the control once
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);     // CB_ERR (-1): no selection
void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value);

void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars); // also limits the edit
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);
void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal);
