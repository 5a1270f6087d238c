#pragma once
#include "framework/Platform.h"
#include <oleauto.h>

// Owns one BSTR (NULL counts as the empty text everywhere). Comparison is the OLE text comparison
// of the user's default locale without flags, so ordered maps keyed by it collate as the system does.
// Allocation failure raises the framework's CMemoryException*.
class CComBSTR
{
public:
    CComBSTR() noexcept = default;
    explicit CComBSTR(int nSize);      // nSize characters, zero-filled
    CComBSTR(int nSize, LPCOLESTR sz); // the first nSize characters of sz (zeros without sz)
    CComBSTR(LPCOLESTR pSrc);
    explicit CComBSTR(LPCSTR pSrc); // ANSI text, converted
    CComBSTR(const CComBSTR& src);
    CComBSTR(CComBSTR&& src) noexcept : m_str(src.m_str) { src.m_str = nullptr; }
    ~CComBSTR() { ::SysFreeString(m_str); }

    CComBSTR& operator=(const CComBSTR& src);
    CComBSTR& operator=(CComBSTR&& src) noexcept;
    CComBSTR& operator=(LPCOLESTR pSrc);
    CComBSTR& operator=(LPCSTR pSrc);

    unsigned int Length() const noexcept { return ::SysStringLen(m_str); }
    unsigned int ByteLength() const noexcept { return ::SysStringByteLen(m_str); }
    operator BSTR() const noexcept { return m_str; }
    BSTR* operator&() noexcept { return &m_str; } // for out parameters; the BSTR should be empty first
    bool operator!() const noexcept { return m_str == nullptr; }

    BSTR Copy() const; // a new BSTR the caller frees; NULL for NULL
    HRESULT CopyTo(BSTR* pbstr) const noexcept;
    void Attach(BSTR src) noexcept; // takes ownership
    BSTR Detach() noexcept;         // hands ownership on
    void Empty() noexcept;

    HRESULT Append(LPCOLESTR lpsz) noexcept;
    HRESULT Append(LPCOLESTR lpsz, int nLen) noexcept;
    HRESULT Append(const CComBSTR& bstrSrc) noexcept { return Append(bstrSrc.m_str, bstrSrc.Length()); }
    HRESULT Append(wchar_t ch) noexcept { return Append(&ch, 1); }
    HRESULT AppendBSTR(BSTR p) noexcept { return Append(p, ::SysStringLen(p)); }
    CComBSTR& operator+=(const CComBSTR& bstrSrc);
    CComBSTR& operator+=(LPCOLESTR pszSrc);

    bool operator==(const CComBSTR& other) const noexcept;
    bool operator!=(const CComBSTR& other) const noexcept { return !(*this == other); }
    bool operator<(const CComBSTR& other) const noexcept;
    bool operator>(const CComBSTR& other) const noexcept { return other < *this; }
    bool operator==(LPCOLESTR psz) const noexcept; // exact, character by character
    bool operator!=(LPCOLESTR psz) const noexcept { return !(*this == psz); }

    HRESULT ToLower() noexcept;
    HRESULT ToUpper() noexcept;

    BSTR m_str = nullptr;
};
