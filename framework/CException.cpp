#include "framework/CException.h"

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CUserException, CException)
IMPLEMENT_DYNAMIC(CInvalidArgException, CException)
IMPLEMENT_DYNAMIC(CMemoryException, CException)
IMPLEMENT_DYNAMIC(CNotSupportedException, CException)
IMPLEMENT_DYNAMIC(CResourceException, CException)

void CException::Delete()
{
    if (m_bAutoDelete) delete this;
}

BOOL CException::GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const
{
    return CopyMessage(GetMessageText(), lpszError, nMaxError, pnHelpContext);
}

BOOL CException::CopyMessage(const wchar_t* pszText, LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext)
{
    if (pnHelpContext) *pnHelpContext = 0;
    const bool hasText = pszText && *pszText;
    if (lpszError && nMaxError > 0)
    {
        UINT n = 0;
        if (hasText)
            for (; n + 1 < nMaxError && pszText[n]; ++n)
                lpszError[n] = pszText[n];
        lpszError[n] = L'\0';
    }
    return hasText ? TRUE : FALSE;
}

const wchar_t* CInvalidArgException::GetMessageText() const
{
    return L"An invalid argument was encountered.";
}

const wchar_t* CMemoryException::GetMessageText() const
{
    return L"Out of memory.";
}

const wchar_t* CNotSupportedException::GetMessageText() const
{
    return L"An unsupported operation was attempted.";
}

const wchar_t* CResourceException::GetMessageText() const
{
    return L"A required resource was unavailable.";
}

void AfxThrowUserException()
{
    throw new CUserException;
}

void AfxThrowInvalidArgException()
{
    throw new CInvalidArgException;
}

void AfxThrowMemoryException()
{
    // Preallocated: there may be no memory left for a new one. Delete() leaves it alone.
    static CMemoryException s_outOfMemory(FALSE);
    throw &s_outOfMemory;
}

void AfxThrowNotSupportedException()
{
    throw new CNotSupportedException;
}

void AfxThrowResourceException()
{
    throw new CResourceException;
}
