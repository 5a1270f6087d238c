#pragma once
#include "framework/CException.h"
#include "framework/CString.h"

// A call through IDispatch failed. m_scError is the failure: the status code the object put into
// its exception information, else the HRESULT of the call itself. m_strDescription says why, in the
// object's words when it gave any, else in the system's.
class COleDispatchException : public CException
{
    DECLARE_DYNAMIC(COleDispatchException)

public:
    COleDispatchException(LPCWSTR lpszDescription, UINT nHelpID, WORD wCode);

    BOOL GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const override;
    // Fills the object from a failed IDispatch::Invoke; pExcepInfo is read for DISP_E_EXCEPTION.
    static COleDispatchException* FromInvokeResult(HRESULT hr, const EXCEPINFO* pExcepInfo);

    WORD m_wCode = 0; // the object's own error code, 0 when it gave an SCODE instead
    SCODE m_scError = S_OK;
    CString m_strDescription;
    CString m_strSource;
    CString m_strHelpFile;
    DWORD m_dwHelpContext = 0;
};

[[noreturn]] void AfxThrowOleDispatchException(WORD wCode, LPCWSTR lpszDescription, UINT nHelpID = 0);
