#include "framework/COleDispatchException.h"
#include "framework/CHandleOwner.h"

IMPLEMENT_DYNAMIC(COleDispatchException, CException)

namespace
{
CString SystemTextOf(HRESULT hr)
{
    CLocalMemory<wchar_t*> systemText;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<LPWSTR>(systemText.Receive()), 0, nullptr);
    CString text;
    if (length && systemText.IsValid())
        text = systemText.Get();
    else
        text.Format(L"Dispatch error 0x%08lX.", static_cast<unsigned long>(hr));
    text.TrimRight();
    return text;
}
} // namespace

COleDispatchException::COleDispatchException(LPCWSTR lpszDescription, UINT nHelpID, WORD wCode)
    : m_wCode(wCode), m_strDescription(lpszDescription ? lpszDescription : L""), m_dwHelpContext(nHelpID)
{
}

BOOL COleDispatchException::GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const
{
    const BOOL ok = CopyMessage(m_strDescription.GetString(), lpszError, nMaxError, pnHelpContext);
    if (pnHelpContext) *pnHelpContext = m_dwHelpContext;
    return ok;
}

COleDispatchException* COleDispatchException::FromInvokeResult(HRESULT hr, const EXCEPINFO* pExcepInfo)
{
    auto* pException = new COleDispatchException(nullptr, 0, 0);
    pException->m_scError = hr;
    if (hr == DISP_E_EXCEPTION && pExcepInfo)
    {
        pException->m_wCode = pExcepInfo->wCode;
        if (pExcepInfo->scode != S_OK) pException->m_scError = pExcepInfo->scode;
        pException->m_strDescription = pExcepInfo->bstrDescription ? pExcepInfo->bstrDescription : L"";
        pException->m_strSource = pExcepInfo->bstrSource ? pExcepInfo->bstrSource : L"";
        pException->m_strHelpFile = pExcepInfo->bstrHelpFile ? pExcepInfo->bstrHelpFile : L"";
        pException->m_dwHelpContext = pExcepInfo->dwHelpContext;
    }
    // A caller shows the description: an object that gave none is described by its status code.
    if (pException->m_strDescription.IsEmpty()) pException->m_strDescription = SystemTextOf(pException->m_scError);
    return pException;
}

void AfxThrowOleDispatchException(WORD wCode, LPCWSTR lpszDescription, UINT nHelpID)
{
    auto* pException = new COleDispatchException(lpszDescription, nHelpID, wCode);
    pException->m_scError = DISP_E_EXCEPTION;
    throw pException;
}
