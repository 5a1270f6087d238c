#include "framework/CComBSTR.h"
#include "framework/CException.h"
#include <cwchar>
#include <memory>

namespace
{
BSTR AllocOrThrow(LPCOLESTR text, UINT length)
{
    BSTR result = ::SysAllocStringLen(text, length);
    if (!result) AfxThrowMemoryException();
    return result;
}

BSTR AllocFromAnsi(LPCSTR text)
{
    if (!text) return nullptr;
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0); // with the terminator
    if (length <= 0) AfxThrowMemoryException();
    BSTR result = AllocOrThrow(nullptr, static_cast<UINT>(length - 1));
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, result, length);
    return result;
}
} // namespace

CComBSTR::CComBSTR(int nSize)
{
    if (nSize < 0) AfxThrowMemoryException();
    m_str = AllocOrThrow(nullptr, static_cast<UINT>(nSize));
    wmemset(m_str, 0, static_cast<size_t>(nSize));
}

CComBSTR::CComBSTR(int nSize, LPCOLESTR sz)
{
    if (nSize < 0) AfxThrowMemoryException();
    m_str = AllocOrThrow(sz, static_cast<UINT>(nSize));
    if (!sz) wmemset(m_str, 0, static_cast<size_t>(nSize));
}

CComBSTR::CComBSTR(LPCOLESTR pSrc)
{
    if (pSrc) m_str = AllocOrThrow(pSrc, static_cast<UINT>(wcslen(pSrc)));
}

CComBSTR::CComBSTR(LPCSTR pSrc) : m_str(AllocFromAnsi(pSrc)) {}

CComBSTR::CComBSTR(const CComBSTR& src) : m_str(src.Copy()) {}

CComBSTR& CComBSTR::operator=(const CComBSTR& src)
{
    if (this != std::addressof(src))
    {
        BSTR copy = src.Copy();
        ::SysFreeString(m_str);
        m_str = copy;
    }
    return *this;
}

CComBSTR& CComBSTR::operator=(CComBSTR&& src) noexcept
{
    if (this != std::addressof(src))
    {
        ::SysFreeString(m_str);
        m_str = src.m_str;
        src.m_str = nullptr;
    }
    return *this;
}

CComBSTR& CComBSTR::operator=(LPCOLESTR pSrc)
{
    if (pSrc != m_str)
    {
        BSTR copy = pSrc ? AllocOrThrow(pSrc, static_cast<UINT>(wcslen(pSrc))) : nullptr;
        ::SysFreeString(m_str);
        m_str = copy;
    }
    return *this;
}

CComBSTR& CComBSTR::operator=(LPCSTR pSrc)
{
    BSTR copy = AllocFromAnsi(pSrc);
    ::SysFreeString(m_str);
    m_str = copy;
    return *this;
}

BSTR CComBSTR::Copy() const
{
    if (!m_str) return nullptr;
    // By bytes, so a BSTR holding binary data of odd length survives.
    BSTR copy = ::SysAllocStringByteLen(reinterpret_cast<LPCSTR>(m_str), ::SysStringByteLen(m_str));
    if (!copy) AfxThrowMemoryException();
    return copy;
}

HRESULT CComBSTR::CopyTo(BSTR* pbstr) const noexcept
{
    if (!pbstr) return E_POINTER;
    *pbstr = nullptr;
    if (!m_str) return S_OK;
    *pbstr = ::SysAllocStringByteLen(reinterpret_cast<LPCSTR>(m_str), ::SysStringByteLen(m_str));
    return *pbstr ? S_OK : E_OUTOFMEMORY;
}

void CComBSTR::Attach(BSTR src) noexcept
{
    if (m_str != src)
    {
        ::SysFreeString(m_str);
        m_str = src;
    }
}

BSTR CComBSTR::Detach() noexcept
{
    BSTR result = m_str;
    m_str = nullptr;
    return result;
}

void CComBSTR::Empty() noexcept
{
    ::SysFreeString(m_str);
    m_str = nullptr;
}

HRESULT CComBSTR::Append(LPCOLESTR lpsz) noexcept
{
    return lpsz ? Append(lpsz, static_cast<int>(wcslen(lpsz))) : S_OK;
}

HRESULT CComBSTR::Append(LPCOLESTR lpsz, int nLen) noexcept
{
    if (!lpsz || nLen <= 0) return nLen < 0 ? E_INVALIDARG : S_OK;
    const UINT oldLength = Length();
    BSTR joined = ::SysAllocStringLen(nullptr, oldLength + static_cast<UINT>(nLen));
    if (!joined) return E_OUTOFMEMORY;
    if (oldLength) wmemcpy(joined, m_str, oldLength);
    wmemcpy(joined + oldLength, lpsz, static_cast<size_t>(nLen));
    ::SysFreeString(m_str);
    m_str = joined;
    return S_OK;
}

CComBSTR& CComBSTR::operator+=(const CComBSTR& bstrSrc)
{
    if (FAILED(Append(bstrSrc))) AfxThrowMemoryException();
    return *this;
}

CComBSTR& CComBSTR::operator+=(LPCOLESTR pszSrc)
{
    if (FAILED(Append(pszSrc))) AfxThrowMemoryException();
    return *this;
}

bool CComBSTR::operator==(const CComBSTR& other) const noexcept
{
    return ::VarBstrCmp(m_str, other.m_str, LOCALE_USER_DEFAULT, 0) == static_cast<HRESULT>(VARCMP_EQ);
}

bool CComBSTR::operator<(const CComBSTR& other) const noexcept
{
    return ::VarBstrCmp(m_str, other.m_str, LOCALE_USER_DEFAULT, 0) == static_cast<HRESULT>(VARCMP_LT);
}

bool CComBSTR::operator==(LPCOLESTR psz) const noexcept
{
    const UINT length = Length();
    const size_t otherLength = psz ? wcslen(psz) : 0;
    return length == otherLength && (length == 0 || wmemcmp(m_str, psz, length) == 0);
}

HRESULT CComBSTR::ToLower() noexcept
{
    if (m_str && Length()) ::CharLowerBuffW(m_str, Length());
    return S_OK;
}

HRESULT CComBSTR::ToUpper() noexcept
{
    if (m_str && Length()) ::CharUpperBuffW(m_str, Length());
    return S_OK;
}
