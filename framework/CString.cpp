#include "framework/CString.h"
#include "framework/CException.h"
#include "framework/CStringConversion.h"
#include "framework/CStringFormatter.h"
#include "framework/CWnd.h"
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <oleauto.h>

namespace
{
size_t RawLength(const char* p)
{
    return std::strlen(p);
}
size_t RawLength(const wchar_t* p)
{
    return std::wcslen(p);
}

std::wstring ToOwnWidth(const char* p, int n, wchar_t*)
{
    return WidenText(p, n, CP_THREAD_ACP);
}
std::string ToOwnWidth(const wchar_t* p, int n, char*)
{
    return NarrowText(p, n, CP_THREAD_ACP);
}

template <typename X> X FoldLower(X c)
{
    return (c >= X('A') && c <= X('Z')) ? static_cast<X>(c + ('a' - 'A')) : c;
}
template <typename X> X FoldUpper(X c)
{
    return (c >= X('a') && c <= X('z')) ? static_cast<X>(c - ('a' - 'A')) : c;
}

// The white space of the C runtime's "C" locale: blank, tab, line feed, vertical tab, form feed,
// carriage return. Trim() removes exactly these.
template <typename X> bool IsSpace(X c)
{
    return c == X(' ') || (c >= X('\t') && c <= X('\r'));
}

template <typename X> bool IsIn(X c, const X* set)
{
    if (!set) return false;
    for (; *set; ++set)
        if (*set == c) return true;
    return false;
}

// The module whose string table LoadString(nID) reads: the one this code is linked into, so that a
// DLL finds its own strings and a program its own.
const char kModuleMarker = 0; // any address inside this module names it

HINSTANCE OwnModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&kModuleMarker), &module);
    return module;
}

// The string table entry as stored (UTF-16, not terminated); false when the id has none.
bool FindStringResource(HINSTANCE hInstance, UINT nID, const wchar_t*& text, int& length)
{
    text = nullptr;
    // A buffer size of 0 asks for a read-only pointer into the resource instead of a copy.
    length = LoadStringW(hInstance, nID, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text;
}
} // namespace

template <typename X> CStringT<X>::CStringT(PCXSTR psz)
{
    if (psz && IS_INTRESOURCE(psz))
        LoadString(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(psz)));
    else if (psz)
        m_str.assign(psz);
}

template <typename X> CStringT<X>::CStringT(PCYSTR psz)
{
    if (psz && IS_INTRESOURCE(psz))
        LoadString(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(psz)));
    else if (psz)
        m_str = ToOwnWidth(psz, -1, static_cast<X*>(nullptr));
}

template <typename X> CStringT<X>::CStringT(PCXSTR pch, int nLength)
{
    if (nLength < 0) AfxThrowInvalidArgException();
    if (nLength > 0)
    {
        if (!pch) AfxThrowInvalidArgException();
        m_str.assign(pch, static_cast<size_t>(nLength));
    }
}

template <typename X> CStringT<X>::CStringT(PCYSTR pch, int nLength)
{
    if (nLength < 0) AfxThrowInvalidArgException();
    if (nLength > 0)
    {
        if (!pch) AfxThrowInvalidArgException();
        m_str = ToOwnWidth(pch, nLength, static_cast<X*>(nullptr));
    }
}

template <typename X> CStringT<X>::CStringT(X ch, int nRepeat)
{
    if (nRepeat > 0) m_str.assign(static_cast<size_t>(nRepeat), ch);
}

template <typename X> CStringT<X>::CStringT(const CStringT<YCHAR>& other)
{
    m_str = ToOwnWidth(other.GetString(), other.GetLength(), static_cast<X*>(nullptr));
}

template <typename X> CStringT<X>& CStringT<X>::operator=(PCXSTR psz)
{
    SetString(psz);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::operator=(PCYSTR psz)
{
    if (psz)
        m_str = ToOwnWidth(psz, -1, static_cast<X*>(nullptr));
    else
        m_str.clear();
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::operator=(X ch)
{
    m_str.assign(1, ch);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::operator=(const CStringT<YCHAR>& other)
{
    m_str = ToOwnWidth(other.GetString(), other.GetLength(), static_cast<X*>(nullptr));
    return *this;
}

template <typename X> X CStringT<X>::GetAt(int iChar) const
{
    if (iChar < 0 || iChar > GetLength()) AfxThrowInvalidArgException();
    return m_str.c_str()[iChar];
}

template <typename X> void CStringT<X>::SetAt(int iChar, X ch)
{
    if (iChar < 0 || iChar >= GetLength()) AfxThrowInvalidArgException();
    m_str[static_cast<size_t>(iChar)] = ch;
}

template <typename X> CStringT<X>& CStringT<X>::operator+=(const CStringT& str)
{
    m_str += str.m_str;
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::operator+=(PCXSTR psz)
{
    Append(psz);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::operator+=(PCYSTR psz)
{
    if (psz) m_str += ToOwnWidth(psz, -1, static_cast<X*>(nullptr));
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::operator+=(X ch)
{
    m_str.push_back(ch);
    return *this;
}

template <typename X> void CStringT<X>::Append(PCXSTR psz)
{
    if (psz) m_str.append(psz);
}

template <typename X> void CStringT<X>::Append(PCXSTR pch, int nLength)
{
    if (nLength < 0) AfxThrowInvalidArgException();
    if (nLength > 0 && !pch) AfxThrowInvalidArgException();
    if (nLength > 0) m_str.append(pch, static_cast<size_t>(nLength));
}

template <typename X> void CStringT<X>::SetString(PCXSTR psz)
{
    if (!psz)
        m_str.clear();
    else if (psz >= m_str.data() && psz <= m_str.data() + m_str.size())
        m_str = std::basic_string<X>(psz); // a part of our own text
    else
        m_str.assign(psz);
}

template <typename X> void CStringT<X>::SetString(PCXSTR pch, int nLength)
{
    if (nLength < 0) AfxThrowInvalidArgException();
    if (nLength > 0 && !pch) AfxThrowInvalidArgException();
    // In place: a text set again and again (the fields of every received line) keeps its buffer.
    // assign copes with a piece of our own text.
    m_str.assign(pch ? pch : m_str.data(), static_cast<size_t>(nLength));
}

template <typename X> int CStringT<X>::Compare(PCXSTR psz) const
{
    const X* a = m_str.c_str();
    const X* b = psz ? psz : &m_str.c_str()[m_str.size()]; // null compares as the empty text
    using U = std::make_unsigned_t<X>;
    for (;; ++a, ++b)
    {
        if (*a != *b) return static_cast<U>(*a) < static_cast<U>(*b) ? -1 : 1;
        if (!*a) return 0;
    }
}

template <typename X> int CStringT<X>::CompareNoCase(PCXSTR psz) const
{
    const X* a = m_str.c_str();
    const X* b = psz ? psz : &m_str.c_str()[m_str.size()];
    using U = std::make_unsigned_t<X>;
    for (;; ++a, ++b)
    {
        const U ca = static_cast<U>(FoldLower(*a));
        const U cb = static_cast<U>(FoldLower(*b));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (!ca) return 0;
    }
}

template <typename X> CStringT<X> CStringT<X>::Left(int nCount) const
{
    nCount = std::clamp(nCount, 0, GetLength());
    return CStringT(m_str.substr(0, static_cast<size_t>(nCount)));
}

template <typename X> CStringT<X> CStringT<X>::Mid(int iFirst) const
{
    return Mid(iFirst, GetLength());
}

template <typename X> CStringT<X> CStringT<X>::Mid(int iFirst, int nCount) const
{
    const int length = GetLength();
    iFirst = std::clamp(iFirst, 0, length);
    nCount = std::clamp(nCount, 0, length - iFirst);
    return CStringT(m_str.substr(static_cast<size_t>(iFirst), static_cast<size_t>(nCount)));
}

template <typename X> CStringT<X> CStringT<X>::Right(int nCount) const
{
    nCount = std::clamp(nCount, 0, GetLength());
    return CStringT(m_str.substr(m_str.size() - static_cast<size_t>(nCount)));
}

template <typename X> CStringT<X> CStringT<X>::SpanIncluding(PCXSTR pszCharSet) const
{
    size_t n = 0;
    while (n < m_str.size() && IsIn(m_str[n], pszCharSet))
        ++n;
    return CStringT(m_str.substr(0, n));
}

template <typename X> CStringT<X> CStringT<X>::SpanExcluding(PCXSTR pszCharSet) const
{
    size_t n = 0;
    while (n < m_str.size() && !IsIn(m_str[n], pszCharSet))
        ++n;
    return CStringT(m_str.substr(0, n));
}

template <typename X> int CStringT<X>::Find(X ch, int iStart) const
{
    if (iStart < 0 || iStart >= GetLength()) return -1;
    const size_t pos = m_str.find(ch, static_cast<size_t>(iStart));
    return pos == std::basic_string<X>::npos ? -1 : static_cast<int>(pos);
}

template <typename X> int CStringT<X>::Find(PCXSTR pszSub, int iStart) const
{
    if (!pszSub || iStart < 0 || iStart > GetLength()) return -1;
    const size_t pos = m_str.find(pszSub, static_cast<size_t>(iStart));
    return pos == std::basic_string<X>::npos ? -1 : static_cast<int>(pos);
}

template <typename X> int CStringT<X>::FindOneOf(PCXSTR pszCharSet) const
{
    for (size_t i = 0; i < m_str.size(); ++i)
        if (IsIn(m_str[i], pszCharSet)) return static_cast<int>(i);
    return -1;
}

template <typename X> int CStringT<X>::ReverseFind(X ch) const
{
    const size_t pos = m_str.rfind(ch);
    return pos == std::basic_string<X>::npos ? -1 : static_cast<int>(pos);
}

template <typename X> int CStringT<X>::Replace(X chOld, X chNew)
{
    int count = 0;
    for (X& c : m_str)
        if (c == chOld)
        {
            c = chNew;
            ++count;
        }
    return count;
}

template <typename X> int CStringT<X>::Replace(PCXSTR pszOld, PCXSTR pszNew)
{
    if (!pszOld || !*pszOld) return 0;
    const std::basic_string<X> oldText(pszOld);
    const std::basic_string<X> newText(pszNew ? pszNew : &oldText.c_str()[oldText.size()]);
    std::basic_string<X> result;
    int count = 0;
    size_t from = 0;
    for (size_t pos; (pos = m_str.find(oldText, from)) != std::basic_string<X>::npos; from = pos + oldText.size())
    {
        result.append(m_str, from, pos - from);
        result += newText;
        ++count;
    }
    if (count)
    {
        result.append(m_str, from, std::basic_string<X>::npos);
        m_str.swap(result);
    }
    return count;
}

template <typename X> int CStringT<X>::Remove(X ch)
{
    const size_t before = m_str.size();
    m_str.erase(std::remove(m_str.begin(), m_str.end(), ch), m_str.end());
    return static_cast<int>(before - m_str.size());
}

template <typename X> int CStringT<X>::Insert(int iIndex, X ch)
{
    iIndex = std::clamp(iIndex, 0, GetLength());
    m_str.insert(static_cast<size_t>(iIndex), 1, ch);
    return GetLength();
}

template <typename X> int CStringT<X>::Insert(int iIndex, PCXSTR psz)
{
    iIndex = std::clamp(iIndex, 0, GetLength());
    if (psz) m_str.insert(static_cast<size_t>(iIndex), std::basic_string<X>(psz));
    return GetLength();
}

template <typename X> int CStringT<X>::Delete(int iIndex, int nCount)
{
    iIndex = std::max(iIndex, 0);
    if (iIndex < GetLength() && nCount > 0)
        m_str.erase(static_cast<size_t>(iIndex), static_cast<size_t>(std::min(nCount, GetLength() - iIndex)));
    return GetLength();
}

template <typename X> CStringT<X>& CStringT<X>::TrimLeft()
{
    size_t n = 0;
    while (n < m_str.size() && IsSpace(m_str[n]))
        ++n;
    m_str.erase(0, n);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::TrimLeft(X chTarget)
{
    size_t n = 0;
    while (n < m_str.size() && m_str[n] == chTarget)
        ++n;
    m_str.erase(0, n);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::TrimLeft(PCXSTR pszTargets)
{
    size_t n = 0;
    while (n < m_str.size() && IsIn(m_str[n], pszTargets))
        ++n;
    m_str.erase(0, n);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::TrimRight()
{
    size_t n = m_str.size();
    while (n > 0 && IsSpace(m_str[n - 1]))
        --n;
    m_str.resize(n);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::TrimRight(X chTarget)
{
    size_t n = m_str.size();
    while (n > 0 && m_str[n - 1] == chTarget)
        --n;
    m_str.resize(n);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::TrimRight(PCXSTR pszTargets)
{
    size_t n = m_str.size();
    while (n > 0 && IsIn(m_str[n - 1], pszTargets))
        --n;
    m_str.resize(n);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::Trim()
{
    return TrimRight().TrimLeft();
}

template <typename X> CStringT<X>& CStringT<X>::Trim(X chTarget)
{
    return TrimRight(chTarget).TrimLeft(chTarget);
}

template <typename X> CStringT<X>& CStringT<X>::Trim(PCXSTR pszTargets)
{
    return TrimRight(pszTargets).TrimLeft(pszTargets);
}

template <typename X> CStringT<X>& CStringT<X>::MakeUpper()
{
    for (X& c : m_str)
        c = FoldUpper(c);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::MakeLower()
{
    for (X& c : m_str)
        c = FoldLower(c);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::MakeReverse()
{
    std::reverse(m_str.begin(), m_str.end());
    return *this;
}

template <typename X> CStringT<X> CStringT<X>::Tokenize(PCXSTR pszTokens, int& iStart) const
{
    if (iStart < 0) AfxThrowInvalidArgException();
    const size_t length = m_str.size();
    if (!pszTokens || !*pszTokens)
    {
        // No delimiters: the rest of the text is the one token, and the next call ends the walk
        // (leaving iStart where it was would hand the same token out forever).
        if (static_cast<size_t>(iStart) < length)
        {
            const int from = iStart;
            iStart = static_cast<int>(length);
            return Mid(from);
        }
    }
    else if (static_cast<size_t>(iStart) < length)
    {
        size_t from = static_cast<size_t>(iStart);
        while (from < length && IsIn(m_str[from], pszTokens))
            ++from;
        if (from < length)
        {
            size_t to = from;
            while (to < length && !IsIn(m_str[to], pszTokens))
                ++to;
            iStart = static_cast<int>(to) + 1;
            return CStringT(m_str.substr(from, to - from));
        }
    }
    iStart = -1;
    return CStringT();
}

template <typename X> typename CStringT<X>::PXSTR CStringT<X>::GetBuffer()
{
    return m_str.data();
}

template <typename X> typename CStringT<X>::PXSTR CStringT<X>::GetBuffer(int nMinBufferLength)
{
    if (nMinBufferLength < 0) AfxThrowInvalidArgException();
    // The characters beyond the text are zeros, so a ReleaseBuffer() without a length finds the end
    // of whatever the caller wrote, or the buffer's end if the caller left no terminator.
    if (static_cast<size_t>(nMinBufferLength) > m_str.size()) m_str.resize(static_cast<size_t>(nMinBufferLength));
    return m_str.data();
}

template <typename X> typename CStringT<X>::PXSTR CStringT<X>::GetBufferSetLength(int nLength)
{
    if (nLength < 0) AfxThrowInvalidArgException();
    m_str.resize(static_cast<size_t>(nLength));
    return m_str.data();
}

template <typename X> void CStringT<X>::ReleaseBuffer(int nNewLength)
{
    if (nNewLength < 0)
    {
        // std::basic_string keeps a terminator after its last character, so this never reads beyond the buffer.
        nNewLength = static_cast<int>(RawLength(m_str.c_str()));
    }
    else if (static_cast<size_t>(nNewLength) > m_str.size())
        AfxThrowInvalidArgException(); // longer than the buffer the caller was given
    m_str.resize(static_cast<size_t>(nNewLength));
}

template <typename X> void CStringT<X>::Preallocate(int nLength)
{
    if (nLength > 0) m_str.reserve(static_cast<size_t>(nLength));
}

template <typename X> void CStringT<X>::FormatV(PCXSTR pszFormat, va_list args)
{
    std::basic_string<X> text;
    CStringFormatter::AppendV(text, pszFormat, args);
    m_str.swap(text);
}

template <typename X> void CStringT<X>::AppendFormatV(PCXSTR pszFormat, va_list args)
{
    // Formatted apart first: an argument may point into this very string.
    std::basic_string<X> text;
    CStringFormatter::AppendV(text, pszFormat, args);
    m_str += text;
}

template <typename X> void CStringT<X>::FormatUnchecked(PCXSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

template <typename X> void CStringT<X>::AppendFormatUnchecked(PCXSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    AppendFormatV(pszFormat, args);
    va_end(args);
}

template <typename X> BOOL CStringT<X>::LoadString(UINT nID)
{
    // A language library made the program's resource handle holds its texts in that language; a
    // text the library lacks still comes from the module's own table.
    const HINSTANCE hResource = AfxGetResourceHandle();
    if (hResource && hResource != OwnModule() && LoadString(hResource, nID)) return TRUE;
    return LoadString(OwnModule(), nID);
}

template <typename X> BOOL CStringT<X>::LoadString(HINSTANCE hInstance, UINT nID)
{
    const wchar_t* text = nullptr;
    int length = 0;
    if (!FindStringResource(hInstance, nID, text, length))
    {
        m_str.clear();
        return FALSE;
    }
    if constexpr (std::is_same_v<X, wchar_t>)
        m_str.assign(text, static_cast<size_t>(length));
    else
        m_str = NarrowText(text, length, CP_THREAD_ACP);
    return TRUE;
}

template <typename X> BSTR CStringT<X>::AllocSysString() const
{
    BSTR result;
    if constexpr (std::is_same_v<X, wchar_t>)
        result = SysAllocStringLen(m_str.data(), static_cast<UINT>(m_str.size()));
    else
    {
        const std::wstring wide = WidenText(m_str.data(), GetLength(), CP_THREAD_ACP);
        result = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    }
    if (!result) AfxThrowMemoryException();
    return result;
}

template <typename X> BSTR CStringT<X>::SetSysString(BSTR* pbstr) const
{
    if (!pbstr) AfxThrowInvalidArgException();
    std::wstring wide;
    if constexpr (std::is_same_v<X, wchar_t>)
        wide = m_str;
    else
        wide = WidenText(m_str.data(), GetLength(), CP_THREAD_ACP);
    if (!SysReAllocStringLen(pbstr, wide.data(), static_cast<UINT>(wide.size()))) AfxThrowMemoryException();
    return *pbstr;
}

template class CStringT<wchar_t>;
template class CStringT<char>;
