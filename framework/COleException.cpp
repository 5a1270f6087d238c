#include "framework/COleException.h"
#include "framework/CHandleOwner.h"
#include "framework/CString.h"

IMPLEMENT_DYNAMIC(COleException, CException)

BOOL COleException::GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const
{
    CLocalMemory<LPWSTR> systemText;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(m_sc), 0, reinterpret_cast<LPWSTR>(systemText.Receive()), 0, nullptr);
    CString text;
    if (length && systemText.IsValid())
        text = systemText.Get();
    else
        text.Format(L"OLE error 0x%08lX.", static_cast<unsigned long>(m_sc));
    text.TrimRight();
    return CopyMessage(text.GetString(), lpszError, nMaxError, pnHelpContext);
}

SCODE COleException::Process(const CException* pAnyException)
{
    if (pAnyException && pAnyException->IsKindOf(RUNTIME_CLASS(COleException)))
        return static_cast<const COleException*>(pAnyException)->m_sc;
    if (pAnyException && pAnyException->IsKindOf(RUNTIME_CLASS(CMemoryException))) return E_OUTOFMEMORY;
    return E_UNEXPECTED;
}

void AfxThrowOleException(SCODE sc)
{
    throw new COleException(sc);
}

void AfxCheckError(SCODE sc)
{
    if (SUCCEEDED(sc)) return;
    if (sc == E_OUTOFMEMORY) AfxThrowMemoryException();
    AfxThrowOleException(sc);
}
