#pragma once
// The library's stateless utility functions. The class is large, so its members live in three
// source files by theme: CStaticToolsNumbers.cpp, CStaticToolsConversions.cpp, CStaticToolsDates.cpp.
#include "framework/CString.h"

class CStaticTools
{
public:
    virtual ~CStaticTools() = default;

    // ---- Numbers, separators and tokenisers (CStaticToolsNumbers.cpp) ----

    // ---- end of numbers, separators and tokenisers ----

    // ---- Variants, HTML, base64, masking and the checksum of memory (CStaticToolsConversions.cpp) ----

    static CString EncodeHtmlEntities(const CString& strText);
    static void DecodeHtmlEntities(CString& strText);
    static CString DecodeNumericEntities(const CString& strText);
    static CString HtmlToText(const CString& strHtml);
    static CString MakeHtmlPage(CString strBody, const CString& strTitle);

    // A line feed after every 72 characters and one at the end, as our peers expect.
    static void EncodeBase64(const BYTE* pData, int nLength, CString& strOut);
    // pOut is always a new buffer (also for an empty text); the caller frees it with delete[].
    static void DecodeBase64(const CString& strText, BYTE*& pOut, int& nLength);

    static CStringA UrlDecode(const char* pszText);
    static CString UrlDecode(const CString& strText);
    static char HexPairToByte(wchar_t chHigh, wchar_t chLow);
    static CStringA ToUTF8(const CString& strText);
    static CString FromUTF8(const CStringA& strUtf8);
    static CString MaskPassword(const CString& strText);

    // ---- end of variants, HTML, base64, masking ----

    // ---- Dates, texts and files (CStaticToolsDates.cpp) ----

    // ---- end of dates, texts and files ----
};
