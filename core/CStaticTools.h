#pragma once
// The library's stateless utility functions. The class is large, so its members live in three
// source files by theme: CStaticToolsNumbers.cpp, CStaticToolsConversions.cpp, CStaticToolsDates.cpp.
#include "framework/CString.h"
#include "framework/CArray.h"
#include "framework/CList.h"
#include "framework/CStringArray.h"
#include <set>
#include <vector>

class CStaticTools
{
public:
    virtual ~CStaticTools() = default;

    // ---- Numbers, separators and tokenisers (CStaticToolsNumbers.cpp) ----
    // The wire's number rules: blanks and tabs around a number are allowed, anything else makes it
    // not a number, and the converters then yield 0. Every protocol handler reads with these.

    // Validating parsers: true and the value on success; false leaves the output untouched
    // (EstDouble stores the converted value whenever the text is not empty).
    static bool EstLong(const wchar_t* psz, long& nValue);
    static bool IsInt(const wchar_t* psz, int& nValue);
    static bool IsShort(const wchar_t* psz, short& nValue);
    static bool EstULong(const wchar_t* psz, unsigned long& nValue);
    static bool EstInt64(const wchar_t* psz, __int64& nValue);
    static bool EstDouble(CString strText, double& dValue, bool bLocale);
    static bool EstBool(const wchar_t* psz, bool& bValue); // always true: only "0" is false

    // Converters: the parsed value, or 0 when the text is not a number.
    static long ToLong(const wchar_t* psz);
    static long ToLongValue(const wchar_t* psz);
    static int ToInt(const wchar_t* psz);
    static short ToShort(const wchar_t* psz);
    static unsigned long ToULong(const wchar_t* psz);
    static __int64 ToInt64(const wchar_t* psz);
    static double ToDouble(const wchar_t* psz, bool bLocale);
    static bool ToBool(const wchar_t* psz);

    // Number texts
    static CString ToString(int nValue);
    static CString ToString(long nValue);
    static CString ToString(double dValue, bool bPoint);
    static CString ToStringForPrint(double dValue, bool bPoint);
    static CString FormatDouble(const wchar_t* pszFormat, double dValue);
    static CString DoubleToLocale(const CString& strNumber, long nLocaleId, double* pValue);
    static CString NormalizeNumber(const CString& strText);
    static CString FormatByteSize(unsigned long nBytes);
    static int HexToLong(const CString& strHex);

    // Readers: empty the container, then fill it with the pieces between separators.
    // All but LireChaineSeparateurString drop empty pieces; the number readers skip pieces
    // that are not numbers.
    static void LireChaineSeparateurString(const CString& strText, wchar_t chSeparator, CStringArray& arr);
    static void ReadStringSeparatorString(const CString& strText, wchar_t chSeparator, CStringArray& arr);
    static void ReadStringSeparatorListString(const CString& strText, wchar_t chSeparator,
                                              CList<CString, LPCWSTR>& list);
    static void ReadStringSeparatorArrayLong(const CString& strText, wchar_t chSeparator, CArray<long, long>& arr);
    static void ReadStringSeparatorArrayInt(const CString& strText, wchar_t chSeparator, CArray<int, int>& arr);
    static void ReadStringSeparatorListLong(const CString& strText, wchar_t chSeparator, CList<long, long>& list);
    static void ReadStringSeparatorDWordArray(const CString& strText, wchar_t chSeparator, CDWordArray& arr);
    static void ReadStringSeparatorDWordArraySigned(const CString& strText, wchar_t chSeparator, CDWordArray& arr);
    static void ReadStringSeparatorVectorLong(const CString& strText, wchar_t chSeparator, std::vector<long>& vec);
    static void ReadStringSeparatorVectorInt(const CString& strText, wchar_t chSeparator, std::vector<int>& vec);
    static void ReadStringSeparatorVectorDouble(const CString& strText, wchar_t chSeparator, std::vector<double>& vec,
                                                bool bLocale);
    static void ReadStringSeparatorArrayDouble(const CString& strText, wchar_t chSeparator, CArray<double, double>& arr,
                                               bool bLocale);
    static void ReadStringSeparatorSetLong(const CString& strText, wchar_t chSeparator, std::set<long>& set);

    // Writers: empty the output first. WriteStringSeparator* end every element with the
    // separator, Join* put it only between elements.
    static void WriteStringSeparatorString(CString& strOut, wchar_t chSeparator, const CStringArray& arr);
    static void JoinString(CString& strOut, wchar_t chSeparator, const CStringArray& arr);
    static void WriteStringSeparatorArrayLong(CString& strOut, wchar_t chSeparator, const CArray<long, long>& arr);
    static void WriteStringSeparatorListLong(CString& strOut, wchar_t chSeparator, const CList<long, long>& list,
                                             bool bDropLast);
    static void WriteStringSeparatorVectorLong(CString& strOut, wchar_t chSeparator, const std::vector<long>& vec);
    static void JoinVectorLong(CString& strOut, wchar_t chSeparator, const std::vector<long>& vec);
    static void JoinVectorInt(CString& strOut, wchar_t chSeparator, const std::vector<int>& vec);
    static void JoinSetLong(CString& strOut, wchar_t chSeparator, const std::set<long>& set);
    static void JoinDWordArray(CString& strOut, wchar_t chSeparator, const CDWordArray& arr);

    // Containers and comparisons
    static void CDWordArrayToVectorLong(const CDWordArray& arr, std::vector<long>& vec);
    static void VectorLongToCDWordArray(const std::vector<long>& vec, CDWordArray& arr);
    static void StringArrayToArrayLong(const CStringArray& arrText, CArray<long, long>& arr);
    static void SortUniqueDWordArray(const CDWordArray& arrIn, CDWordArray& arrOut);
    static bool CompareListLong(const CList<long, long>& list1, const CList<long, long>& list2);
    static int CompareVersion(const CString& strA, const CString& strB, bool bLenient);
    static bool AlmostEqual(double dX, double dY);

    // Numbers inside free text ("between 1.5 and 2")
    static bool IsNumberChar(wchar_t ch);
    static void SkipNumberChars(const CString& strText, int& nPos);
    static bool FindNumberStart(const CString& strText, int& nPos);
    static bool ReadNumberRange(const CString& strText, double& dFirst, double& dSecond);

    // ---- end of numbers, separators and tokenisers ----

    // ---- Variants, HTML, base64, masking and the checksum of memory (CStaticToolsConversions.cpp) ----

    // ---- end of variants, HTML, base64, masking ----

    // ---- Dates, texts and files (CStaticToolsDates.cpp) ----

    // ---- end of dates, texts and files ----
};
