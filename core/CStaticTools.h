#pragma once
// The library's stateless utility functions. The class is large, so its members live in three
// source files by theme: CStaticToolsNumbers.cpp, CStaticToolsConversions.cpp, CStaticToolsDates.cpp.
#include "framework/CString.h"
#include "framework/COleDateTime.h"
#include "framework/CArray.h"
#include "framework/CList.h"
#include "framework/CStringArray.h"
#include <map>
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

    // ISO 8601: "2020-01-22T10:30:00.5+01:00", any tail of the text after a complete field may be
    // missing. The zone sign is 'Z', '+' or '-'. No range checks of hour, minute and second here.
    static bool ParseIsoDateTimeFields(LPCWSTR szText, int& nYear, int& nMonth, int& nDay, int& nHour, int& nMinute,
                                       int& nSecond, int& nMilliseconds, wchar_t& chZoneSign, int& nZoneHours,
                                       int& nZoneMinutes);
    static bool ParseIsoDateTimeFields(LPCWSTR szText, int& nYear, int& nMonth, int& nDay, int& nHour, int& nMinute,
                                       int& nSecond, wchar_t& chZoneSign, int& nZoneHours, int& nZoneMinutes);
    // true when the fields were read; the value's status tells whether they form a date. A text with
    // a zone gives UTC.
    static bool ParseIsoDateTime(LPCWSTR szText, COleDateTime& dt);
    static COleDateTime DateTimeFromIsoText(LPCWSTR szText);  // also reads "(null)"; unreadable: invalid
    // "%Y-%m-%dT%H:%M:%S", with milliseconds ".%03d"; "(null)" or "(invalid)" for those statuses.
    static CString FormatIsoDateTime(const COleDateTime& dt, bool bWithMilliseconds = false);
    static CString NormalizeDate(const CString& strDate);    // "%Y-%m-%d" or "INVALID DATE"
    static CString DateToLocaleDate(const CString& strDate);  // the user's short date or "INVALID DATE"
    // Through the time tools' zone, with the rules in force at that date; whole seconds.
    static COleDateTime LocalToUtc(const COleDateTime& dt);
    static COleDateTime UtcToLocal(const COleDateTime& dt);
    static __time64_t OleDateTimeToTime(const COleDateTime& dt);  // 0 for non-valid, 0 and before 1970
    static COleDateTime TimeToOleDateTime(__time64_t tTime);      // 0 and -1 give a null value
    static int CompareOleDateTime(const COleDateTime& dtA, const COleDateTime& dtB);
    static double GetTimeOfDayDifference(const COleDateTime& dtA, const COleDateTime& dtB);  // seconds
    static COleDateTime AddMilliseconds(const COleDateTime& dt, LONGLONG nMilliseconds);
    static long GetUtcOffsetMinutes();  // UTC minus local now: -60 one hour east of Greenwich

    static int FindNoCase(const CString& strText, const CString& strFind);
    static void ReplaceNoCase(CString& strText, const CString& strOld, const CString& strNew);
    static int GetEditDistance(LPCWSTR szA, LPCWSTR szB);  // Damerau-Levenshtein, case matters
    static void CleanFileName(CString& strName);
    static CString MakeValidFileName(const CString& strName);
    static bool RemoveExtension(const CString& strPath, CString& strOutput);
    static bool CreateFolderForFile(const CString& strPath);
    static bool WriteBufferToFile(const CString& strPath, long nLength, const BYTE* pBytes);
    template <FormatArgument... Args> static CString FormatString(LPCWSTR szFormat, Args... args)
    {
        CString text;
        text.Format(szFormat, args...);
        return text;
    }
    template <FormatArgument... Args> static CString LoadAndFormat(UINT nID, Args... args)
    {
        CString format;
        if (!format.LoadString(nID)) return CString();
        return FormatString(format.GetString(), args...);
    }
    static CString FormatSystemError(DWORD dwError);  // with the system's line end; empty when unknown

    // Estimated bytes; the container's own share is left out with bContentOnly.
    static size_t GetMemorySize(const CString& str, bool bContentOnly = false);
    static size_t GetMemorySize(const std::map<long, long>& map, bool bContentOnly = false);
    static size_t GetMemorySize(const std::map<CString, long>& map, bool bContentOnly = false);
    static size_t GetMemorySize(const std::vector<CString>& strings, bool bContentOnly = false);
    static size_t GetMemorySize(const CDWordArray& values, bool bContentOnly = false);
    static size_t GetMemorySize(const CStringArray& strings, bool bContentOnly = false);

    // ---- end of dates, texts and files ----
};
