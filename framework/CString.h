#pragma once
#include "framework/Platform.h"
#include <cstdarg>
#include <string>
#include <type_traits>
#include <utility>

// What may travel through the "..." of Format: numbers, enumerations, pointers. A CString object
// itself may not (pass GetString() or cast to LPCWSTR), nor any other class; the check turns the old
// run-time fault into a compile error.
// long double is refused too: the system's formats were written for a runtime where it is a double.
template <typename T>
concept FormatArgument = (std::is_arithmetic_v<std::remove_cvref_t<T>> &&
                          !std::is_same_v<std::remove_cvref_t<T>, long double>) ||
                         std::is_enum_v<std::remove_cvref_t<T>> || std::is_pointer_v<std::decay_t<T>> ||
                         std::is_null_pointer_v<std::remove_cvref_t<T>>;

// The framework's string: a length-counted, zero-terminated text of XCHAR with value semantics.
// CString (wide, UTF-16) is the default; CStringA holds bytes of the ANSI code page or UTF-8.
// Text of the other width converts through the thread's ANSI code page (CP_THREAD_ACP).
// Index errors (GetAt, SetAt, operator[] outside the text) throw CInvalidArgException*.
template <typename XCHAR> class CStringT
{
public:
    using XCHAR_T = XCHAR;
    using YCHAR = std::conditional_t<std::is_same_v<XCHAR, wchar_t>, char, wchar_t>;
    using PXSTR = XCHAR*;
    using PCXSTR = const XCHAR*;
    using PCYSTR = const YCHAR*;

    CStringT() = default;
    CStringT(const CStringT&) = default;
    CStringT(CStringT&&) noexcept = default;
    CStringT& operator=(const CStringT&) = default;
    CStringT& operator=(CStringT&&) noexcept = default;
    ~CStringT() = default;

    // A pointer made with MAKEINTRESOURCE loads that string from the module's string table.
    CStringT(PCXSTR psz);
    CStringT(PCYSTR psz);
    CStringT(PCXSTR pch, int nLength);
    CStringT(PCYSTR pch, int nLength); // never reads past nLength
    explicit CStringT(XCHAR ch, int nRepeat = 1);
    CStringT(const CStringT<YCHAR>& other);
    explicit CStringT(const std::basic_string<XCHAR>& s) : m_str(s) {}

    CStringT& operator=(PCXSTR psz);
    CStringT& operator=(PCYSTR psz);
    CStringT& operator=(XCHAR ch);
    CStringT& operator=(const CStringT<YCHAR>& other);

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    PCXSTR GetString() const { return m_str.c_str(); }
    operator PCXSTR() const { return m_str.c_str(); }
    const std::basic_string<XCHAR>& Str() const { return m_str; } // for code that speaks std::

    XCHAR GetAt(int iChar) const; // iChar == GetLength() gives the terminator, as the framework always did
    void SetAt(int iChar, XCHAR ch);
    // Any integer type: with int alone, s[size_t] would be ambiguous with the pointer conversion.
    template <typename I>
    requires std::is_integral_v<I> XCHAR operator[](I iChar) const
    {
        return GetAt(std::in_range<int>(iChar) ? static_cast<int>(iChar) : -1);
    }

    CStringT& operator+=(const CStringT& str);
    CStringT& operator+=(PCXSTR psz);
    CStringT& operator+=(PCYSTR psz);
    CStringT& operator+=(XCHAR ch);
    void Append(PCXSTR psz);
    void Append(PCXSTR pch, int nLength);
    void AppendChar(XCHAR ch) { m_str.push_back(ch); }
    void SetString(PCXSTR psz);
    void SetString(PCXSTR pch, int nLength);

    // Ordinal comparison by code unit; the no-case forms fold A-Z only, like the C runtime's "C" locale.
    int Compare(PCXSTR psz) const;
    int CompareNoCase(PCXSTR psz) const;

    CStringT Left(int nCount) const;
    CStringT Mid(int iFirst) const;
    CStringT Mid(int iFirst, int nCount) const;
    CStringT Right(int nCount) const;
    CStringT SpanIncluding(PCXSTR pszCharSet) const;
    CStringT SpanExcluding(PCXSTR pszCharSet) const;

    int Find(XCHAR ch, int iStart = 0) const;
    int Find(PCXSTR pszSub, int iStart = 0) const;
    int FindOneOf(PCXSTR pszCharSet) const;
    int ReverseFind(XCHAR ch) const;

    int Replace(XCHAR chOld, XCHAR chNew);     // number replaced
    int Replace(PCXSTR pszOld, PCXSTR pszNew); // an empty old text replaces nothing
    int Remove(XCHAR ch);                      // number removed
    int Insert(int iIndex, XCHAR ch);          // new length; the index is clamped to the text
    int Insert(int iIndex, PCXSTR psz);
    int Delete(int iIndex, int nCount = 1); // new length

    CStringT& Trim();
    CStringT& Trim(XCHAR chTarget);
    CStringT& Trim(PCXSTR pszTargets);
    CStringT& TrimLeft();
    CStringT& TrimLeft(XCHAR chTarget);
    CStringT& TrimLeft(PCXSTR pszTargets);
    CStringT& TrimRight();
    CStringT& TrimRight(XCHAR chTarget);
    CStringT& TrimRight(PCXSTR pszTargets);

    CStringT& MakeUpper();
    CStringT& MakeLower();
    CStringT& MakeReverse();

    // The next token after iStart, skipping leading delimiters; iStart moves past it, or becomes -1
    // (with an empty result) when no token is left.
    CStringT Tokenize(PCXSTR pszTokens, int& iStart) const;

    // Direct access to the characters: write at most nMinBufferLength characters (plus a terminator),
    // then ReleaseBuffer before using the string again. Without a length ReleaseBuffer takes the text up
    // to the first terminator.
    PXSTR GetBuffer();
    PXSTR GetBuffer(int nMinBufferLength);
    PXSTR GetBufferSetLength(int nLength);
    void ReleaseBuffer(int nNewLength = -1);
    void ReleaseBufferSetLength(int nNewLength) { ReleaseBuffer(nNewLength); }
    void Preallocate(int nLength);
    void FreeExtra() { m_str.shrink_to_fit(); }
    int GetAllocLength() const { return static_cast<int>(m_str.capacity()); }

    template <FormatArgument... Args> void Format(PCXSTR pszFormat, Args... args)
    {
        FormatUnchecked(pszFormat, args...);
    }
    template <FormatArgument... Args> void Format(UINT nFormatID, Args... args)
    {
        CStringT format;
        format.LoadString(nFormatID);
        FormatUnchecked(format.GetString(), args...);
    }
    template <FormatArgument... Args> void AppendFormat(PCXSTR pszFormat, Args... args)
    {
        AppendFormatUnchecked(pszFormat, args...);
    }
    void FormatV(PCXSTR pszFormat, va_list args);
    void AppendFormatV(PCXSTR pszFormat, va_list args);

    // From the string table of the module this code is linked into (the program, or the DLL).
    BOOL LoadString(UINT nID);
    BOOL LoadString(HINSTANCE hInstance, UINT nID);

    BSTR AllocSysString() const; // throws CMemoryException* when the system has no memory
    BSTR SetSysString(BSTR* pbstr) const;

private:
    void FormatUnchecked(PCXSTR pszFormat, ...);
    void AppendFormatUnchecked(PCXSTR pszFormat, ...);

    std::basic_string<XCHAR> m_str;
};

using CStringW = CStringT<wchar_t>;
using CStringA = CStringT<char>;
using CString = CStringW;

extern template class CStringT<wchar_t>;
extern template class CStringT<char>;

template <typename X> CStringT<X> operator+(const CStringT<X>& a, const CStringT<X>& b)
{
    CStringT<X> r(a);
    r += b;
    return r;
}
template <typename X> CStringT<X> operator+(const CStringT<X>& a, const X* b)
{
    CStringT<X> r(a);
    r += b;
    return r;
}
template <typename X> CStringT<X> operator+(const X* a, const CStringT<X>& b)
{
    CStringT<X> r(a);
    r += b;
    return r;
}
template <typename X> CStringT<X> operator+(const CStringT<X>& a, X b)
{
    CStringT<X> r(a);
    r += b;
    return r;
}
template <typename X> CStringT<X> operator+(X a, const CStringT<X>& b)
{
    CStringT<X> r(a);
    r += b;
    return r;
}

template <typename X> bool operator==(const CStringT<X>& a, const CStringT<X>& b)
{
    return a.Str() == b.Str();
}
template <typename X> bool operator==(const CStringT<X>& a, const X* b)
{
    return a.Compare(b) == 0;
}
template <typename X> bool operator==(const X* a, const CStringT<X>& b)
{
    return b.Compare(a) == 0;
}
template <typename X> bool operator!=(const CStringT<X>& a, const CStringT<X>& b)
{
    return !(a == b);
}
template <typename X> bool operator!=(const CStringT<X>& a, const X* b)
{
    return !(a == b);
}
template <typename X> bool operator!=(const X* a, const CStringT<X>& b)
{
    return !(b == a);
}
template <typename X> bool operator<(const CStringT<X>& a, const CStringT<X>& b)
{
    return a.Compare(b) < 0;
}
template <typename X> bool operator<(const CStringT<X>& a, const X* b)
{
    return a.Compare(b) < 0;
}
template <typename X> bool operator>(const CStringT<X>& a, const CStringT<X>& b)
{
    return a.Compare(b) > 0;
}
template <typename X> bool operator<=(const CStringT<X>& a, const CStringT<X>& b)
{
    return a.Compare(b) <= 0;
}
template <typename X> bool operator>=(const CStringT<X>& a, const CStringT<X>& b)
{
    return a.Compare(b) >= 0;
}

// Usable as a key of std::unordered_map and of the framework's CMap (same hash for equal texts).
template <typename X> struct std::hash<CStringT<X>>
{
    size_t operator()(const CStringT<X>& s) const noexcept { return std::hash<std::basic_string<X>>()(s.Str()); }
};
