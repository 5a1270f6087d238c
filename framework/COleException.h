#pragma once
#include "framework/CException.h"

// An OLE or automation call failed with the status code m_sc (for example a VARIANT that cannot be
// changed to the asked type).
class COleException : public CException
{
    DECLARE_DYNAMIC(COleException)

public:
    explicit COleException(SCODE sc = E_FAIL) : m_sc(sc) {}

    BOOL GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const override;
    static SCODE Process(const CException* pAnyException); // m_sc of an OLE exception, else E_UNEXPECTED

    SCODE m_sc;
};

[[noreturn]] void AfxThrowOleException(SCODE sc);
// Throws COleException* for a failed code (E_OUTOFMEMORY as CMemoryException*); does nothing on success.
void AfxCheckError(SCODE sc);
