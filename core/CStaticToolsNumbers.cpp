#include "core/CStaticTools.h"
#include <shlwapi.h>
#include <algorithm>
#include <charconv>
#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>

namespace
{

const wchar_t* SkipBlanksAndTabs(const wchar_t* p)
{
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

// The common shape of the whole-number parsers. errno is cleared first so that only this
// conversion's overflow counts: the exact limits must pass even after an earlier overflow.
template <class T, class TConvert> bool ParseWhole(const wchar_t* psz, T& value, TConvert convert)
{
    if (!psz) return false;
    const wchar_t* pStart = SkipBlanksAndTabs(psz);
    const wchar_t chFirst = *pStart;
    wchar_t* pEnd = nullptr;
    errno = 0;
    const T parsed = convert(pStart, &pEnd, 10);
    if (errno == ERANGE) return false;
    // The conversion gives 0 for "no digits" too; only a text that starts with the digit 0
    // really is zero ("-0" and "+0" are not numbers on the wire).
    if (parsed == 0 && chFirst != L'0') return false;
    if (*SkipBlanksAndTabs(pEnd) != L'\0') return false;
    value = parsed;
    return true;
}

std::wstring Widen(const char* psz)
{
    std::wstring result;
    if (!psz) return result;
    const int nLength = MultiByteToWideChar(CP_ACP, 0, psz, -1, nullptr, 0);
    if (nLength <= 1) return result;
    result.resize(static_cast<size_t>(nLength));
    MultiByteToWideChar(CP_ACP, 0, psz, -1, result.data(), nLength);
    result.resize(static_cast<size_t>(nLength - 1));
    return result;
}

// Taken once per process at the first use with the locale flag, as the parsers always did:
// a program that changes its C locale later keeps the first decimal point.
const std::wstring& KeptDecimalPoint()
{
    static const std::wstring s_point = Widen(std::localeconv()->decimal_point);
    return s_point;
}

void ReplaceAll(CString& str, const std::wstring& strOld, const std::wstring& strNew)
{
    if (!strOld.empty() && strOld != strNew) str.Replace(strOld.c_str(), strNew.c_str());
}

// Numbers written for files and the wire always use "." and no grouping, whatever the runtime
// locale says (both read at each call). The locale's marks are only touched when the text really
// carries its decimal point: a German locale's thousands separator is ".", and removing it from a
// text already written with "." would turn 1.5 into 15.
void MakeNeutral(CString& str)
{
    const lconv* pConv = std::localeconv();
    const std::wstring strPoint = Widen(pConv->decimal_point);
    const std::wstring strThousands = Widen(pConv->thousands_sep);
    const bool bLocalised = !strPoint.empty() && strPoint != L"." && str.Find(strPoint.c_str()) >= 0;
    if (strPoint != L"." && !bLocalised) return;
    if (!strThousands.empty() && strThousands != L".") str.Replace(strThousands.c_str(), L"");
    if (bLocalised)
    {
        if (strThousands == L".") str.Remove(L'.');
        ReplaceAll(str, strPoint, L".");
    }
}

// Reads back a number that Format wrote, whichever decimal point it used: the runtime locale's
// (as the C library writes) or ".". Never through the locale alone, which may expect a comma.
double ReadFormatted(const CString& str)
{
    CString strNeutral = str;
    ReplaceAll(strNeutral, Widen(std::localeconv()->decimal_point), L".");
    std::string text;
    for (int i = 0; i < strNeutral.GetLength(); ++i)
    {
        const wchar_t ch = strNeutral.GetString()[i];
        text += static_cast<char>(ch < 128 ? ch : '?');
    }
    double d = 0;
    const char* pFirst = text.c_str();
    if (*pFirst == '+') ++pFirst;
    std::from_chars(pFirst, text.c_str() + text.size(), d);
    return d;
}

// Calls fnPiece(const wchar_t* begin, size_t length) for every non-empty piece: runs of
// separators count as one, as with the C library's tokenizer.
template <class TPiece> void ForEachPiece(const CString& strText, wchar_t chSeparator, TPiece fnPiece)
{
    const wchar_t* p = strText.GetString();
    while (*p)
    {
        while (*p == chSeparator)
            ++p;
        const wchar_t* pStart = p;
        while (*p && *p != chSeparator)
            ++p;
        if (p != pStart) fnPiece(pStart, static_cast<size_t>(p - pStart));
    }
}

// Number readers: each piece parsed by its parser, pieces that are not numbers skipped.
template <class T, class TParse, class TAdd>
void ForEachNumber(const CString& strText, wchar_t chSeparator, TParse fnParse, TAdd fnAdd)
{
    std::wstring piece;
    ForEachPiece(strText, chSeparator, [&](const wchar_t* p, size_t n) {
        piece.assign(p, n);
        T value{};
        if (fnParse(piece.c_str(), value)) fnAdd(value);
    });
}

void AppendSeparator(CString& strOut, wchar_t chSeparator)
{
    const wchar_t sz[2] = {chSeparator, L'\0'};
    strOut += sz;
}

// Writers of numbers: bAfterEvery puts the separator after every element (the
// WriteStringSeparator family), otherwise only between elements (the Join family).
template <class TIter>
void WriteNumbers(CString& strOut, wchar_t chSeparator, TIter first, TIter last, const wchar_t* pszFormat,
                  bool bAfterEvery)
{
    strOut.Empty();
    CString strElement;
    for (TIter it = first; it != last; ++it)
    {
        if (!bAfterEvery && it != first) AppendSeparator(strOut, chSeparator);
        strElement.Format(pszFormat, *it);
        strOut += strElement;
        if (bAfterEvery) AppendSeparator(strOut, chSeparator);
    }
}

void WriteStrings(CString& strOut, wchar_t chSeparator, const CStringArray& arr, bool bAfterEvery)
{
    strOut.Empty();
    for (INT_PTR i = 0; i < arr.GetSize(); ++i)
    {
        if (!bAfterEvery && i > 0) AppendSeparator(strOut, chSeparator);
        CString strElement = arr.GetAt(i);
        strElement.Remove(chSeparator); // so that reading back gives one field per element
        strOut += strElement;
        if (bAfterEvery) AppendSeparator(strOut, chSeparator);
    }
}

} // namespace

// ---- parsers and converters ----

bool CStaticTools::EstLong(const wchar_t* psz, long& nValue)
{
    return ParseWhole(psz, nValue, [](const wchar_t* p, wchar_t** e, int b) { return std::wcstol(p, e, b); });
}

bool CStaticTools::IsInt(const wchar_t* psz, int& nValue)
{
    long n = 0;
    if (!EstLong(psz, n)) return false;
    nValue = static_cast<int>(n);
    return true;
}

bool CStaticTools::IsShort(const wchar_t* psz, short& nValue)
{
    long n = 0;
    if (!EstLong(psz, n) || n < -32768 || n > 32767) return false;
    nValue = static_cast<short>(n);
    return true;
}

bool CStaticTools::EstULong(const wchar_t* psz, unsigned long& nValue)
{
    // wcstoul takes a minus sign and gives the two's complement: "-1" is 4294967295.
    return ParseWhole(psz, nValue, [](const wchar_t* p, wchar_t** e, int b) { return std::wcstoul(p, e, b); });
}

bool CStaticTools::EstInt64(const wchar_t* psz, __int64& nValue)
{
    return ParseWhole(psz, nValue, [](const wchar_t* p, wchar_t** e, int b) { return _wcstoi64(p, e, b); });
}

bool CStaticTools::EstDouble(CString strText, double& dValue, bool bLocale)
{
    const wchar_t* pStart = strText.GetString();
    while (*pStart && std::iswspace(*pStart))
        ++pStart;
    std::wstring text(pStart);
    if (text.empty()) return false;
    if (bLocale)
    {
        const std::wstring& strPoint = KeptDecimalPoint();
        if (strPoint != L".")
        {
            std::wstring converted;
            for (wchar_t ch : text)
            {
                if (ch == L'.')
                    converted += strPoint;
                else
                    converted += ch;
            }
            text.swap(converted);
        }
    }
    wchar_t* pEnd = nullptr;
    const double d = std::wcstod(text.c_str(), &pEnd);
    dValue = d; // stored even when the rest of the text makes it no number
    const bool bZeroWritten = text[0] == L'0' || (text[0] == L'-' && text.size() > 1 && text[1] == L'0');
    if (d == 0 && !bZeroWritten) return false;
    return *SkipBlanksAndTabs(pEnd) == L'\0';
}

bool CStaticTools::EstBool(const wchar_t* psz, bool& bValue)
{
    // A null pointer counts as "not the text 0", like the empty text: true.
    bValue = !(psz && psz[0] == L'0' && psz[1] == L'\0');
    return true;
}

long CStaticTools::ToLong(const wchar_t* psz)
{
    long n = 0;
    return EstLong(psz, n) ? n : 0;
}

long CStaticTools::ToLongValue(const wchar_t* psz)
{
    return ToLong(psz);
}

int CStaticTools::ToInt(const wchar_t* psz)
{
    int n = 0;
    return IsInt(psz, n) ? n : 0;
}

short CStaticTools::ToShort(const wchar_t* psz)
{
    short n = 0;
    return IsShort(psz, n) ? n : static_cast<short>(0);
}

unsigned long CStaticTools::ToULong(const wchar_t* psz)
{
    unsigned long n = 0;
    return EstULong(psz, n) ? n : 0;
}

__int64 CStaticTools::ToInt64(const wchar_t* psz)
{
    __int64 n = 0;
    return EstInt64(psz, n) ? n : 0;
}

double CStaticTools::ToDouble(const wchar_t* psz, bool bLocale)
{
    double d = 0;
    return psz && EstDouble(CString(psz), d, bLocale) ? d : 0;
}

bool CStaticTools::ToBool(const wchar_t* psz)
{
    bool b = true;
    EstBool(psz, b);
    return b;
}

// ---- number texts ----

CString CStaticTools::ToString(int nValue)
{
    CString str;
    str.Format(L"%d", nValue);
    return str;
}

CString CStaticTools::ToString(long nValue)
{
    CString str;
    str.Format(L"%ld", nValue);
    return str;
}

CString CStaticTools::ToString(double dValue, bool bPoint)
{
    if (bPoint) return FormatDouble(L"%.15g", dValue);
    CString str;
    str.Format(L"%.15g", dValue);
    return str;
}

CString CStaticTools::ToStringForPrint(double dValue, bool bPoint)
{
    // The shortest precision from 15 up that reads back as the same value; 18 is taken unchecked.
    int nPrecision = 15;
    CString str;
    str.Format(L"%.*g", nPrecision, dValue);
    while (nPrecision < 18 && ReadFormatted(str) != dValue)
    {
        ++nPrecision;
        str.Format(L"%.*g", nPrecision, dValue);
    }
    if (bPoint) MakeNeutral(str);
    return str;
}

CString CStaticTools::FormatDouble(const wchar_t* pszFormat, double dValue)
{
    CString str;
    str.Format(pszFormat, dValue);
    MakeNeutral(str);
    return str;
}

CString CStaticTools::DoubleToLocale(const CString& strNumber, long nLocaleId, double* pValue)
{
    if (strNumber.IsEmpty()) return CString();
    double d = 0;
    if (!EstDouble(strNumber, d, true)) return strNumber;
    if (pValue) *pValue = d;
    if (nLocaleId == 0)
    {
        CString str;
        str.Format(L"%.15g", d);
        return str;
    }
    // An unknown locale, or one whose separator does not fit one character, leaves the text
    // as it came: better a point the reader may not expect than an empty or broken number.
    wchar_t szDecimal[2] = {};
    if (!GetLocaleInfoW(static_cast<LCID>(nLocaleId), LOCALE_SDECIMAL, szDecimal, 2) || szDecimal[0] == L'\0')
        return strNumber;
    CString str = strNumber;
    str.Replace(L'.', szDecimal[0]);
    return str;
}

CString CStaticTools::NormalizeNumber(const CString& strText)
{
    double d = 0;
    if (!EstDouble(strText, d, false)) return strText;
    return FormatDouble(L"%.15g", d);
}

CString CStaticTools::FormatByteSize(unsigned long nBytes)
{
    wchar_t sz[100] = {};
    if (!StrFormatByteSizeW(static_cast<LONGLONG>(nBytes), sz, 100)) return CString();
    return CString(sz);
}

int CStaticTools::HexToLong(const CString& strHex)
{
    // Unsigned 32-bit on purpose: only the last eight digits count, and a ninth one must wrap
    // rather than overflow a signed value.
    std::wstring text(strHex.GetString());
    const size_t nFirst = text.find_first_not_of(L" \t\r\n\v\f");
    if (nFirst == std::wstring::npos) return 0;
    const size_t nLast = text.find_last_not_of(L" \t\r\n\v\f");
    uint32_t nValue = 0;
    uint32_t nWeight = 1;
    for (size_t i = nLast + 1; i-- > nFirst;)
    {
        const wchar_t ch = text[i];
        uint32_t nDigit = 0;
        if (ch >= L'0' && ch <= L'9')
            nDigit = static_cast<uint32_t>(ch - L'0');
        else if (ch >= L'A' && ch <= L'F')
            nDigit = static_cast<uint32_t>(ch - L'A' + 10);
        else if (ch >= L'a' && ch <= L'f')
            nDigit = static_cast<uint32_t>(ch - L'a' + 10);
        nValue += nDigit * nWeight;
        nWeight *= 16;
    }
    return static_cast<int>(nValue);
}

// ---- readers ----

void CStaticTools::LireChaineSeparateurString(const CString& strText, wchar_t chSeparator, CStringArray& arr)
{
    // Every command line of every link is split here: size the array once, one copy per piece.
    const wchar_t* const pText = strText.GetString();
    // To the text's length, not to its first NUL: a NUL from the wire is a character like any other,
    // and cutting there would make a shorter line of the fields before it.
    const wchar_t* const pEnd = pText + strText.GetLength();
    INT_PTR nPieces = 0;
    const wchar_t* pTail = pText;
    if (chSeparator != L'\0')
    {
        for (const wchar_t* p = pText; (p = std::wmemchr(p, chSeparator, static_cast<size_t>(pEnd - p))) != nullptr;
             ++p)
        {
            ++nPieces;
            pTail = p + 1;
        }
    }
    if (pTail != pEnd) ++nPieces; // the text after the last separator, when there is any
    arr.SetSize(nPieces);         // every element is set below; the texts kept keep their buffers
    const wchar_t* p = pText;
    for (INT_PTR i = 0; i < nPieces; ++i)
    {
        const wchar_t* pSeparator =
            i + 1 < nPieces || pTail == pEnd ? std::wmemchr(p, chSeparator, static_cast<size_t>(pEnd - p)) : pEnd;
        arr[i].SetString(p, static_cast<int>(pSeparator - p));
        p = pSeparator + 1;
    }
}

void CStaticTools::ReadStringSeparatorString(const CString& strText, wchar_t chSeparator, CStringArray& arr)
{
    arr.RemoveAll();
    ForEachPiece(strText, chSeparator, [&](const wchar_t* p, size_t n) { arr.Add(CString(p, static_cast<int>(n))); });
}

void CStaticTools::ReadStringSeparatorListString(const CString& strText, wchar_t chSeparator,
                                                 CList<CString, LPCWSTR>& list)
{
    list.RemoveAll();
    ForEachPiece(strText, chSeparator,
                 [&](const wchar_t* p, size_t n) { list.AddTail(CString(p, static_cast<int>(n))); });
}

void CStaticTools::ReadStringSeparatorArrayLong(const CString& strText, wchar_t chSeparator, CArray<long, long>& arr)
{
    arr.RemoveAll();
    ForEachNumber<long>(strText, chSeparator, EstLong, [&](long n) { arr.Add(n); });
}

void CStaticTools::ReadStringSeparatorArrayInt(const CString& strText, wchar_t chSeparator, CArray<int, int>& arr)
{
    arr.RemoveAll();
    ForEachNumber<int>(strText, chSeparator, IsInt, [&](int n) { arr.Add(n); });
}

void CStaticTools::ReadStringSeparatorListLong(const CString& strText, wchar_t chSeparator, CList<long, long>& list)
{
    list.RemoveAll();
    ForEachNumber<long>(strText, chSeparator, EstLong, [&](long n) { list.AddTail(n); });
}

void CStaticTools::ReadStringSeparatorDWordArray(const CString& strText, wchar_t chSeparator, CDWordArray& arr)
{
    arr.RemoveAll();
    ForEachNumber<unsigned long>(strText, chSeparator, EstULong,
                                 [&](unsigned long n) { arr.Add(static_cast<DWORD>(n)); });
}

void CStaticTools::ReadStringSeparatorDWordArraySigned(const CString& strText, wchar_t chSeparator, CDWordArray& arr)
{
    arr.RemoveAll();
    ForEachNumber<long>(strText, chSeparator, EstLong, [&](long n) { arr.Add(static_cast<DWORD>(n)); });
}

void CStaticTools::ReadStringSeparatorVectorLong(const CString& strText, wchar_t chSeparator, std::vector<long>& vec)
{
    vec.clear();
    ForEachNumber<long>(strText, chSeparator, EstLong, [&](long n) { vec.push_back(n); });
}

void CStaticTools::ReadStringSeparatorVectorInt(const CString& strText, wchar_t chSeparator, std::vector<int>& vec)
{
    vec.clear();
    ForEachNumber<int>(strText, chSeparator, IsInt, [&](int n) { vec.push_back(n); });
}

void CStaticTools::ReadStringSeparatorVectorDouble(const CString& strText, wchar_t chSeparator,
                                                   std::vector<double>& vec, bool bLocale)
{
    vec.clear();
    auto parse = [bLocale](const wchar_t* p, double& d) { return EstDouble(CString(p), d, bLocale); };
    ForEachNumber<double>(strText, chSeparator, parse, [&](double d) { vec.push_back(d); });
}

void CStaticTools::ReadStringSeparatorArrayDouble(const CString& strText, wchar_t chSeparator,
                                                  CArray<double, double>& arr, bool bLocale)
{
    arr.RemoveAll();
    auto parse = [bLocale](const wchar_t* p, double& d) { return EstDouble(CString(p), d, bLocale); };
    ForEachNumber<double>(strText, chSeparator, parse, [&](double d) { arr.Add(d); });
}

void CStaticTools::ReadStringSeparatorSetLong(const CString& strText, wchar_t chSeparator, std::set<long>& set)
{
    set.clear();
    ForEachNumber<long>(strText, chSeparator, EstLong, [&](long n) { set.insert(n); });
}

// ---- writers ----

void CStaticTools::WriteStringSeparatorString(CString& strOut, wchar_t chSeparator, const CStringArray& arr)
{
    WriteStrings(strOut, chSeparator, arr, true);
}

void CStaticTools::JoinString(CString& strOut, wchar_t chSeparator, const CStringArray& arr)
{
    WriteStrings(strOut, chSeparator, arr, false);
}

void CStaticTools::WriteStringSeparatorArrayLong(CString& strOut, wchar_t chSeparator, const CArray<long, long>& arr)
{
    const long* pData = arr.GetData();
    WriteNumbers(strOut, chSeparator, pData, pData + arr.GetSize(), L"%ld", true);
}

void CStaticTools::WriteStringSeparatorListLong(CString& strOut, wchar_t chSeparator, const CList<long, long>& list,
                                                bool bDropLast)
{
    strOut.Empty();
    CString strElement;
    for (POSITION pos = list.GetHeadPosition(); pos;)
    {
        strElement.Format(L"%ld", list.GetNext(pos));
        strOut += strElement;
        AppendSeparator(strOut, chSeparator);
    }
    if (bDropLast && !list.IsEmpty()) strOut.Delete(strOut.GetLength() - 1);
}

void CStaticTools::WriteStringSeparatorVectorLong(CString& strOut, wchar_t chSeparator, const std::vector<long>& vec)
{
    WriteNumbers(strOut, chSeparator, vec.begin(), vec.end(), L"%ld", true);
}

void CStaticTools::JoinVectorLong(CString& strOut, wchar_t chSeparator, const std::vector<long>& vec)
{
    WriteNumbers(strOut, chSeparator, vec.begin(), vec.end(), L"%ld", false);
}

void CStaticTools::JoinVectorInt(CString& strOut, wchar_t chSeparator, const std::vector<int>& vec)
{
    WriteNumbers(strOut, chSeparator, vec.begin(), vec.end(), L"%d", false);
}

void CStaticTools::JoinSetLong(CString& strOut, wchar_t chSeparator, const std::set<long>& set)
{
    WriteNumbers(strOut, chSeparator, set.begin(), set.end(), L"%ld", false);
}

void CStaticTools::JoinDWordArray(CString& strOut, wchar_t chSeparator, const CDWordArray& arr)
{
    const DWORD* pData = arr.GetData();
    WriteNumbers(strOut, chSeparator, pData, pData + arr.GetSize(), L"%u", false);
}

// ---- containers and comparisons ----

void CStaticTools::CDWordArrayToVectorLong(const CDWordArray& arr, std::vector<long>& vec)
{
    vec.clear();
    for (INT_PTR i = 0; i < arr.GetSize(); ++i)
        vec.push_back(static_cast<long>(arr.GetAt(i)));
}

void CStaticTools::VectorLongToCDWordArray(const std::vector<long>& vec, CDWordArray& arr)
{
    for (long n : vec)
        arr.Add(static_cast<DWORD>(n));
}

void CStaticTools::StringArrayToArrayLong(const CStringArray& arrText, CArray<long, long>& arr)
{
    arr.SetSize(arrText.GetSize());
    for (INT_PTR i = 0; i < arrText.GetSize(); ++i)
    {
        long n = 0;
        arr.SetAt(i, EstLong(arrText.GetAt(i).GetString(), n) ? n : 2147483647L);
    }
}

void CStaticTools::SortUniqueDWordArray(const CDWordArray& arrIn, CDWordArray& arrOut)
{
    // Collected first, so input and output may be the same array.
    std::set<DWORD> values;
    for (INT_PTR i = 0; i < arrIn.GetSize(); ++i)
        values.insert(arrIn.GetAt(i));
    arrOut.RemoveAll();
    for (DWORD n : values)
        arrOut.Add(n);
}

bool CStaticTools::CompareListLong(const CList<long, long>& list1, const CList<long, long>& list2)
{
    if (list1.GetCount() != list2.GetCount()) return false;
    for (POSITION pos1 = list1.GetHeadPosition(); pos1;)
    {
        const long n = list1.GetNext(pos1);
        bool bFound = false;
        for (POSITION pos2 = list2.GetHeadPosition(); pos2 && !bFound;)
            bFound = list2.GetNext(pos2) == n;
        if (!bFound) return false;
    }
    return true;
}

int CStaticTools::CompareVersion(const CString& strA, const CString& strB, bool bLenient)
{
    CDWordArray arrA;
    CDWordArray arrB;
    ReadStringSeparatorDWordArraySigned(strA, L'.', arrA);
    ReadStringSeparatorDWordArraySigned(strB, L'.', arrB);
    const INT_PTR nA = arrA.GetSize();
    const INT_PTR nB = arrB.GetSize();
    INT_PTR nCompare = 0;
    if (nA == nB)
        nCompare = bLenient ? nA - 1 : nA; // lenient: the build number does not count
    else if (bLenient && (nA - nB == 1 || nB - nA == 1))
        nCompare = std::min(nA, nB);
    else
        return -2;
    for (INT_PTR i = 0; i < nCompare; ++i)
    {
        if (arrA.GetAt(i) < arrB.GetAt(i)) return 1;
        if (arrA.GetAt(i) > arrB.GetAt(i)) return -1;
    }
    return 0;
}

bool CStaticTools::AlmostEqual(double dX, double dY)
{
    constexpr uint64_t kSign = 0x8000000000000000ULL;
    constexpr uint64_t kExponent = 0x7FF0000000000000ULL;
    constexpr uint64_t kMantissa = 0x000FFFFFFFFFFFFFULL;
    uint64_t nX = 0;
    uint64_t nY = 0;
    std::memcpy(&nX, &dX, sizeof nX);
    std::memcpy(&nY, &dY, sizeof nY);
    auto isNaN = [&](uint64_t n) { return (n & kExponent) == kExponent && (n & kMantissa) != 0; };
    if (isNaN(nX) || isNaN(nY)) return false;
    // Maps the sign-magnitude patterns onto one ordered scale, so that neighbouring doubles are
    // neighbouring integers and +0 meets -0.
    auto biased = [&](uint64_t n) { return (n & kSign) ? ~n + 1 : n | kSign; };
    const uint64_t nBX = biased(nX);
    const uint64_t nBY = biased(nY);
    return (nBX > nBY ? nBX - nBY : nBY - nBX) <= 4;
}

bool CStaticTools::IsNumberChar(wchar_t ch)
{
    return (ch >= L'0' && ch <= L'9') || ch == L',' || ch == L'.';
}

void CStaticTools::SkipNumberChars(const CString& strText, int& nPos)
{
    const int nLength = strText.GetLength();
    if (nPos < 0) return;
    while (nPos < nLength && IsNumberChar(strText.GetAt(nPos)))
        ++nPos;
}

bool CStaticTools::FindNumberStart(const CString& strText, int& nPos)
{
    // Every position is looked at, the last one included: a one-digit number may end the text.
    const int nLength = strText.GetLength();
    for (int i = std::max(nPos, 0); i < nLength; ++i)
    {
        const wchar_t ch = strText.GetAt(i);
        const bool bSign = (ch == L'+' || ch == L'-') && i + 1 < nLength && IsNumberChar(strText.GetAt(i + 1));
        if (IsNumberChar(ch) || bSign)
        {
            nPos = i;
            return true;
        }
    }
    return false;
}

namespace
{

// One number of a range: a sign counts when it leads the number, not when it joins two numbers
// ("1-2" is the range from 1 to 2, "-1 to -2" two negative numbers).
bool ReadRangeNumber(const CString& strText, int& nPos, double& dValue)
{
    while (CStaticTools::FindNumberStart(strText, nPos))
    {
        int nStart = nPos;
        const wchar_t ch = strText.GetAt(nPos);
        if (ch == L'+' || ch == L'-')
        {
            if (nPos > 0 && CStaticTools::IsNumberChar(strText.GetAt(nPos - 1)))
            {
                ++nPos; // a joining sign: the number starts after it
                continue;
            }
            ++nPos;
        }
        CStaticTools::SkipNumberChars(strText, nPos);
        return CStaticTools::EstDouble(strText.Mid(nStart, nPos - nStart), dValue, false);
    }
    return false;
}

} // namespace

bool CStaticTools::ReadNumberRange(const CString& strText, double& dFirst, double& dSecond)
{
    if (strText.IsEmpty()) return false;
    int nPos = 0;
    double d = 0;
    if (!ReadRangeNumber(strText, nPos, d)) return false;
    dFirst = d;
    double dOther = 0;
    dSecond = ReadRangeNumber(strText, nPos, dOther) ? dOther : dFirst;
    return true;
}
