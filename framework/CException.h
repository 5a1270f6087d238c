#pragma once
#include "framework/CObject.h"

// The framework's exceptions are thrown as heap pointers and caught as CException*:
//     try { ... } catch (CException* e) { e->GetErrorMessage(text, 256); e->Delete(); }
// Delete() frees the object unless it is a shared one (the out-of-memory exception is preallocated,
// because allocating an exception is exactly what may fail then).
class CException : public CObject
{
    DECLARE_DYNAMIC(CException)

public:
    explicit CException(BOOL bAutoDelete = TRUE) : m_bAutoDelete(bAutoDelete) {}
    void Delete();

    // Copies the message, cut to nMaxError - 1 characters and always terminated; FALSE (and an empty
    // buffer) when the exception has no message. pnHelpContext, when given, receives 0.
    virtual BOOL GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const;

protected:
    // The message of this kind of exception; empty for none.
    virtual const wchar_t* GetMessageText() const { return L""; }
    static BOOL CopyMessage(const wchar_t* pszText, LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext);

    BOOL m_bAutoDelete;
};

// The user cancelled: callers end what they were doing without reporting anything.
class CUserException : public CException
{
    DECLARE_DYNAMIC(CUserException)
};

// A bad argument, such as an index outside an array.
class CInvalidArgException : public CException
{
    DECLARE_DYNAMIC(CInvalidArgException)

protected:
    const wchar_t* GetMessageText() const override;
};

class CMemoryException : public CException
{
    DECLARE_DYNAMIC(CMemoryException)

public:
    explicit CMemoryException(BOOL bAutoDelete = TRUE) : CException(bAutoDelete) {}

protected:
    const wchar_t* GetMessageText() const override;
};

class CNotSupportedException : public CException
{
    DECLARE_DYNAMIC(CNotSupportedException)

protected:
    const wchar_t* GetMessageText() const override;
};

// A resource (a window, a GDI object, a string) could not be created or loaded.
class CResourceException : public CException
{
    DECLARE_DYNAMIC(CResourceException)

protected:
    const wchar_t* GetMessageText() const override;
};

[[noreturn]] void AfxThrowUserException();
[[noreturn]] void AfxThrowInvalidArgException();
[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowNotSupportedException();
[[noreturn]] void AfxThrowResourceException();
