#include "core/CStaticTools.h"
#include "core/CCrcFixedTable.h"
#include "framework/COleVariant.h"
#include "framework/CArray.h"
#include "framework/COleDateTime.h"
#include "framework/CException.h"
#include "framework/CHandleOwner.h"
#include "framework/COleException.h"
#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <new>
#include <string>
#include <vector>

extern "C"
{
#include <b64/cdecode.h>
#include <b64/cencode.h>
}

namespace
{
// libb64 is fed in pieces of this size so that its int lengths never overflow.
constexpr int kBase64Piece = 16 * 1024 * 1024;

bool IsBlankOrTab(wchar_t ch)
{
    return ch == L' ' || ch == L'\t';
}

// Characters whose entity EncodeHtmlEntities writes, in the order the replacements run.
// "&" must come first: the entities written afterwards contain it.
struct HtmlEntity
{
    const wchar_t* pszChar;
    const wchar_t* pszEntity;
};
const HtmlEntity kEncodedEntities[] = {
    {L"&", L"&amp;"},         {L"<", L"&lt;"},          {L">", L"&gt;"},          {L"\"", L"&quot;"},
    {L"\u00E0", L"&agrave;"}, {L"\u00C0", L"&Agrave;"}, {L"\u00E2", L"&acirc;"},  {L"\u00C2", L"&Acirc;"},
    {L"\u00E4", L"&auml;"},   {L"\u00C4", L"&Auml;"},   {L"\u00E5", L"&aring;"},  {L"\u00C5", L"&Aring;"},
    {L"\u00E6", L"&aelig;"},  {L"\u00C6", L"&AElig;"},  {L"\u00E7", L"&ccedil;"}, {L"\u00C7", L"&Ccedil;"},
    {L"\u00E9", L"&eacute;"}, {L"\u00C9", L"&Eacute;"}, {L"\u00E8", L"&egrave;"}, {L"\u00C8", L"&Egrave;"},
    {L"\u00EA", L"&ecirc;"},  {L"\u00CA", L"&Ecirc;"},  {L"\u00EB", L"&euml;"},   {L"\u00CB", L"&Euml;"},
    {L"\u00EF", L"&iuml;"},   {L"\u00CF", L"&Iuml;"},   {L"\u00F4", L"&ocirc;"},  {L"\u00D4", L"&Ocirc;"},
    {L"\u00F6", L"&ouml;"},   {L"\u00D6", L"&Ouml;"},   {L"\u00F8", L"&oslash;"}, {L"\u00D8", L"&Oslash;"},
    {L"\u00DF", L"&szlig;"},  {L"\u00F9", L"&ugrave;"}, {L"\u00D9", L"&Ugrave;"}, {L"\u00FB", L"&ucirc;"},
    {L"\u00DB", L"&Ucirc;"},  {L"\u00FC", L"&uuml;"},   {L"\u00DC", L"&Uuml;"},   {L"\u00AE", L"&reg;"},
    {L"\u00A9", L"&copy;"},   {L"\u20AC", L"&euro;"},
};

// The order matters: "&amp;" after "&lt;" and "&gt;", so "&amp;lt;" ends as "&lt;".
const HtmlEntity kDecodedEntities[] = {
    {L">", L"&gt;"},        {L"<", L"&lt;"},       {L"&", L"&amp;"},  {L"\"", L"&quot;"},
    {L"\u00A9", L"&copy;"}, {L"\u00AE", L"&reg;"}, {L" ", L"&nbsp;"},
};

bool IsHexDigit(wchar_t ch)
{
    return (ch >= L'0' && ch <= L'9') || (ch >= L'a' && ch <= L'f') || (ch >= L'A' && ch <= L'F');
}

CString FormatInteger(long long value)
{
    return CString(std::to_wstring(value).c_str());
}

// The shared tail of both UrlDecode forms: Char is char or wchar_t, Out its string.
template <typename Char, typename Out> void AppendUrlDecoded(const Char* pszText, size_t nLength, Out& out)
{
    for (size_t i = 0; i < nLength; ++i)
    {
        const Char ch = pszText[i];
        // A "%" without two hexadecimal digits after it is not an escape: keep it as written.
        if (ch == '%' && nLength - i > 2 && IsHexDigit(static_cast<wchar_t>(pszText[i + 1])) &&
            IsHexDigit(static_cast<wchar_t>(pszText[i + 2])))
        {
            const unsigned char byte = static_cast<unsigned char>(CStaticTools::HexPairToByte(
                static_cast<wchar_t>(pszText[i + 1]), static_cast<wchar_t>(pszText[i + 2])));
            out.push_back(static_cast<Char>(byte));
            i += 2;
        }
        else
            out.push_back(ch);
    }
}
} // namespace

// ---- Checksum ----

unsigned long CStaticTools::GetChecksumForMemory(const BYTE* pData, unsigned long nLength)
{
    return CCrcFixedTable::ComputeBuffer(pData, nLength);
}

// ---- Variants ----

CString CStaticTools::VariantToString(const COleVariant& value, bool bPoint)
{
    const VARIANT& v = value;
    switch (v.vt)
    {
    case VT_I2:
        return FormatInteger(v.iVal);
    case VT_I4:
        return FormatInteger(v.lVal);
    case VT_INT:
        return FormatInteger(v.intVal);
    case VT_I8:
        return FormatInteger(v.llVal);
    case VT_R4:
    case VT_R8:
    case VT_DATE: {
        const double d = v.vt == VT_R4 ? static_cast<double>(v.fltVal) : v.vt == VT_R8 ? v.dblVal : v.date;
        if (bPoint) return FormatDouble(L"%.15g", d);
        CString text; // without the point flag the runtime locale's decimal point shows
        text.Format(L"%.15g", d);
        return text;
    }
    case VT_BSTR:
        return v.bstrVal ? CString(v.bstrVal, static_cast<int>(SysStringLen(v.bstrVal))) : CString();
    case VT_BOOL:
        return v.boolVal ? CString(L"1") : CString(L"0");
    case VT_DECIMAL: {
        VARIANT text;
        VariantInit(&text);
        // The system only reads the source, whatever its signature says.
        const HRESULT hr = VariantChangeType(&text, const_cast<VARIANT*>(&v), 0, VT_BSTR);
        if (FAILED(hr)) AfxThrowOleException(hr);
        CString result(text.bstrVal, static_cast<int>(SysStringLen(text.bstrVal)));
        VariantClear(&text);
        return result;
    }
    case VT_BYREF | VT_UI1: {
        // Our own callers pass ANSI text this way; foreign VARIANTs are coerced before they get here.
        const char* pszAnsi = reinterpret_cast<const char*>(v.pbVal);
        if (!pszAnsi || !*pszAnsi) return CString();
        const int nChars = MultiByteToWideChar(CP_ACP, 0, pszAnsi, -1, nullptr, 0);
        if (nChars <= 1) return CString();
        CString result;
        MultiByteToWideChar(CP_ACP, 0, pszAnsi, -1, result.GetBuffer(nChars), nChars);
        result.ReleaseBuffer(nChars - 1);
        return result;
    }
    default:
        return CString();
    }
}

bool CStaticTools::EstVariant(LPCWSTR pszText, bool bLocale, VARTYPE vt, VARIANT& out)
{
    if (!pszText) pszText = L""; // a null CString source would be taken for a resource id
    VariantClear(&out);
    // VariantClear leaves the union as it was: a refused pointer type would hand the caller's next
    // VariantClear the pointer just freed (or VariantInit's garbage).
    std::memset(&out, 0, sizeof(out));
    out.vt = vt;
    switch (vt)
    {
    case VT_EMPTY:
    case VT_NULL:
        return true;
    case VT_I2:
        return IsShort(pszText, out.iVal);
    case VT_I4: {
        long value = 0;
        if (!EstLong(pszText, value)) return false;
        out.lVal = value;
        return true;
    }
    case VT_INT:
        return IsInt(pszText, out.intVal);
    case VT_R4: {
        constexpr double kFloatMax = 3.4028234663852886e38;
        double value = 0;
        if (!EstDouble(pszText, value, bLocale) || value < -kFloatMax || value > kFloatMax) return false;
        out.fltVal = static_cast<float>(value);
        return true;
    }
    case VT_R8:
        return EstDouble(pszText, out.dblVal, bLocale);
    case VT_DATE: {
        double value = 0;
        if (EstDouble(pszText, value, bLocale) || EstDouble(pszText, value, false))
        {
            out.date = value;
            return true;
        }
        COleDateTime date;
        if (!ParseIsoDateTime(pszText, date) || date.GetStatus() != COleDateTime::valid) return false;
        out.date = date.m_dt;
        return true;
    }
    case VT_BSTR:
        out.bstrVal = SysAllocString(pszText);
        if (!out.bstrVal) AfxThrowMemoryException();
        return true;
    case VT_BOOL: {
        bool value = false;
        EstBool(pszText, value);
        out.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        return true;
    }
    default:
        return false;
    }
}

COleVariant CStaticTools::ToVariant(LPCWSTR pszText, VARTYPE vt, bool bLocale)
{
    if (!pszText) pszText = L"";
    VARIANT v;
    std::memset(&v, 0, sizeof(v));
    v.vt = vt;
    switch (vt)
    {
    case VT_I2:
        v.iVal = static_cast<SHORT>(ToLong(pszText));
        break;
    case VT_I4:
        v.lVal = ToLong(pszText);
        break;
    case VT_INT:
        v.intVal = static_cast<INT>(ToLong(pszText));
        break;
    case VT_R4:
        v.fltVal = static_cast<float>(ToDouble(pszText, bLocale));
        break;
    case VT_R8:
        v.dblVal = ToDouble(pszText, bLocale);
        break;
    case VT_DATE:
        v.date = ToDouble(pszText, bLocale);
        break;
    case VT_BSTR:
        v.bstrVal = SysAllocString(pszText);
        if (!v.bstrVal) AfxThrowMemoryException();
        break;
    case VT_BOOL:
        v.boolVal = ToBool(pszText) ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    case VT_I8: {
        const wchar_t* p = pszText;
        while (IsBlankOrTab(*p))
            ++p;
        // _wcstoi64 would skip any further white space itself; only blanks and tabs may lead.
        if (std::iswspace(*p)) break;
        wchar_t* pEnd = nullptr;
        const long long value = _wcstoi64(p, &pEnd, 10); // saturates at the 64-bit limits
        const wchar_t* pRest = pEnd;
        while (IsBlankOrTab(*pRest))
            ++pRest;
        v.llVal = (pEnd != p && *pRest == L'\0') ? value : 0;
        break;
    }
    default:
        break;
    }
    COleVariant result;
    result.Attach(v); // takes over the BSTR, if any
    return result;
}

int CStaticTools::GetVariantSize(const VARIANT& value)
{
    switch (value.vt)
    {
    case VT_I2:
    case VT_BOOL:
    case VT_UI1:
        return 2;
    case VT_I4:
    case VT_ERROR:
        return 4;
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_DECIMAL:
    case VT_I8:
        return 8;
    case VT_BSTR:
        return value.bstrVal ? 2 * static_cast<int>(SysStringLen(value.bstrVal)) : 0;
    default:
        return 0;
    }
}

void CStaticTools::ByteArrayToVariant(const CByteArray& bytes, VARIANT& out, bool bEmptyAsArray)
{
    VariantInit(&out);
    const INT_PTR nSize = bytes.GetSize();
    if (nSize == 0 && !bEmptyAsArray) return;
    out.vt = VT_ARRAY | VT_UI1;
    out.parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(nSize));
    if (!out.parray || nSize == 0) return;
    void* pData = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(out.parray, &pData)))
    {
        const CSafeArrayAccess access(out.parray);
        std::memcpy(pData, bytes.GetData(), static_cast<size_t>(nSize));
    }
}

void CStaticTools::VariantToByteArray(const VARIANT& value, CByteArray& bytes)
{
    bytes.RemoveAll();
    if (value.vt != (VT_ARRAY | VT_UI1) || !value.parray) return;
    const ULONG nCount = value.parray->rgsabound[0].cElements;
    bytes.SetSize(static_cast<INT_PTR>(nCount));
    if (nCount == 0) return;
    std::memset(bytes.GetData(), 0, nCount); // what callers see when access is refused
    void* pData = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(value.parray, &pData)))
    {
        const CSafeArrayAccess access(value.parray);
        std::memcpy(bytes.GetData(), pData, nCount);
    }
}

// ---- HTML ----

CString CStaticTools::EncodeHtmlEntities(const CString& strText)
{
    CString result(strText);
    for (const auto& entity : kEncodedEntities)
        result.Replace(entity.pszChar, entity.pszEntity);
    return result;
}

void CStaticTools::DecodeHtmlEntities(CString& strText)
{
    for (const auto& entity : kDecodedEntities)
        strText.Replace(entity.pszEntity, entity.pszChar);
}

CString CStaticTools::DecodeNumericEntities(const CString& strText)
{
    const wchar_t* pszText = strText;
    const size_t nLength = static_cast<size_t>(strText.GetLength());
    std::wstring result;
    result.reserve(nLength);
    size_t pos = 0;
    while (pos < nLength)
    {
        const wchar_t* pRef = std::wcsstr(pszText + pos, L"&#");
        if (!pRef) break;
        const size_t start = static_cast<size_t>(pRef - pszText);
        const wchar_t* pEnd = std::wcschr(pRef + 2, L';');
        if (!pEnd) break;
        result.append(pszText + pos, start - pos);
        // Only a plain run of decimal digits naming a character is a reference; anything else
        // (hexadecimal, signs, 0, beyond Unicode) is kept as written instead of becoming a NUL
        // that would cut the text.
        unsigned long code = 0;
        const wchar_t* p = pRef + 2;
        bool bDecimal = p < pEnd;
        for (; p < pEnd && bDecimal; ++p)
        {
            if (*p < L'0' || *p > L'9')
                bDecimal = false;
            else if (code <= 0x10FFFF)
                code = code * 10 + static_cast<unsigned long>(*p - L'0');
        }
        if (!bDecimal || code == 0 || code > 0x10FFFF)
        {
            result.append(pRef, 2); // go on scanning just after this "&#"
            pos = start + 2;
            continue;
        }
        if (code > 0xFFFF)
        {
            code -= 0x10000;
            result.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
            result.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
        }
        else
            result.push_back(static_cast<wchar_t>(code));
        pos = static_cast<size_t>(pEnd - pszText) + 1;
    }
    if (pos < nLength) result.append(pszText + pos, nLength - pos);
    return CString(result.c_str(), static_cast<int>(result.size()));
}

CString CStaticTools::HtmlToText(const CString& strHtml)
{
    CString text(strHtml);
    CString lower(strHtml);
    lower.MakeLower();
    const int nBody = lower.Find(L"<body");
    if (nBody >= 0)
    {
        const int nOpenEnd = lower.Find(L'>', nBody);
        if (nOpenEnd >= 0)
        {
            const int nClose = lower.Find(L"</body", nOpenEnd + 1);
            text = nClose >= 0 ? strHtml.Mid(nOpenEnd + 1, nClose - nOpenEnd - 1) : strHtml.Mid(nOpenEnd + 1);
        }
    }

    // Links keep their target visible: "<a href="x">this</a>" becomes "this [x]". Every pass removes
    // one ">", and a target holds none, so the loop ends.
    CString strTarget;
    for (;;)
    {
        const int nOpen = text.Find(L"<a");
        if (nOpen < 0) break;
        const int nOpenEnd = text.Find(L'>', nOpen);
        if (nOpenEnd < 0) break;
        const CString tag = text.Mid(nOpen, nOpenEnd - nOpen);
        const int nHref = tag.Find(L"href=");
        if (nHref >= 0)
        {
            const int nQuote1 = tag.Find(L'"', nHref + 5);
            const int nQuote2 = nQuote1 >= 0 ? tag.Find(L'"', nQuote1 + 1) : -1;
            if (nQuote2 >= 0) strTarget = tag.Mid(nQuote1 + 1, nQuote2 - nQuote1 - 1);
        }
        text.Delete(nOpen, nOpenEnd - nOpen + 1);
        const int nClose = text.Find(L"</a", nOpen);
        if (nClose >= 0)
        {
            const int nCloseEnd = text.Find(L'>', nClose);
            if (nCloseEnd >= 0)
            {
                text.Delete(nClose, nCloseEnd - nClose + 1);
                text.Insert(nClose, CString(L" [") + strTarget + L"]");
            }
        }
    }

    for (int nPass = 0; nPass < 10000; ++nPass)
    {
        const int nLt = text.Find(L'<');
        const int nGt = text.Find(L'>');
        if (nLt < 0 || nGt < 0) break;
        if (nLt < nGt)
            text.Delete(nLt, nGt - nLt + 1);
        else
            text.Delete(nGt, 1);
    }
    DecodeHtmlEntities(text);
    text.Trim();
    return text;
}

CString CStaticTools::MakeHtmlPage(CString strBody, const CString& strTitle)
{
    CString lower(strBody);
    lower.MakeLower();
    const bool bHasBody = lower.Find(L"<body") >= 0;
    const bool bHasHead = lower.Find(L"<head") >= 0;
    if (lower.Find(L"<html") >= 0)
    {
        if (bHasBody && lower.Find(L"</body>") < 0) strBody += L"\n\t</body>";
        if (lower.Find(L"</html>") < 0) strBody += L"\n</html>";
        return strBody;
    }
    strBody.Replace(L"</body>", L"");
    strBody.Replace(L"</html>", L"");
    strBody.Replace(L"</BODY>", L"");
    strBody.Replace(L"</HEAD>", L"");
    strBody.Replace(L"\n", L"\n\t");
    if (!bHasHead && !bHasBody)
        return CString(L"<html>\n<head>\n\t<title>") + strTitle + L"</title>\n</head>\n<body>\n\t" + strBody +
               L"\n</body>\n</html>";
    if (!bHasHead)
        return CString(L"<html>\n<head>\n\t<title>") + strTitle + L"</title>\n</head>\n" + strBody +
               L"\n</body>\n</html>";
    if (!bHasBody) return CString(L"<html>\n") + strBody + L"\n</head>\n<body>\n</body>\n</html>";
    strBody.Replace(L"<body", L"</head>\n<body");
    strBody.Replace(L"<BODY", L"</head>\n<body");
    return CString(L"<html>\n\t") + strBody + L"</body>\n</html>";
}

// ---- base64 ----

void CStaticTools::EncodeBase64(const BYTE* pData, int nLength, CString& strOut)
{
    if (!pData || nLength < 0) nLength = 0;
    // 4 characters per 3 bytes, a line feed per 72 characters, the closing group and line feed.
    const size_t nGroups = (static_cast<size_t>(nLength) + 2) / 3;
    const size_t nBound = nGroups * 4 + nGroups / 18 + 8;
    if (nBound > static_cast<size_t>(INT_MAX)) AfxThrowMemoryException(); // more than a CString can hold
    try
    {
        std::vector<char> work(static_cast<size_t>(std::min(nLength, kBase64Piece)) / 3 * 4 +
                               static_cast<size_t>(std::min(nLength, kBase64Piece)) / 54 + 16);
        wchar_t* pOut = strOut.GetBuffer(static_cast<int>(nBound));
        size_t nWritten = 0;
        auto widen = [&](int nChars) {
            for (int i = 0; i < nChars; ++i)
                pOut[nWritten++] = static_cast<unsigned char>(work[static_cast<size_t>(i)]);
        };
        base64_encodestate state;
        base64_init_encodestate(&state);
        for (int nDone = 0; nDone < nLength;)
        {
            const int nPiece = std::min(kBase64Piece, nLength - nDone);
            widen(base64_encode_block(reinterpret_cast<const char*>(pData) + nDone, nPiece, work.data(), &state));
            nDone += nPiece;
        }
        widen(base64_encode_blockend(work.data(), &state));
        strOut.ReleaseBuffer(static_cast<int>(nWritten));
    }
    catch (const std::bad_alloc&)
    {
        AfxThrowMemoryException();
    }
}

void CStaticTools::DecodeBase64(const CString& strText, BYTE*& pOut, int& nLength)
{
    pOut = nullptr;
    nLength = 0;
    const int nChars = strText.GetLength();
    const wchar_t* pszText = strText;
    try
    {
        // libb64 writes the pending partial byte one place beyond what it reports.
        BYTE* pBuffer = new BYTE[static_cast<size_t>(nChars) / 4 * 3 + 4];
        std::vector<char> piece(static_cast<size_t>(std::min(nChars, kBase64Piece)));
        base64_decodestate state;
        base64_init_decodestate(&state);
        int nWritten = 0;
        for (int nDone = 0; nDone < nChars;)
        {
            const int nPiece = std::min(kBase64Piece, nChars - nDone);
            for (int i = 0; i < nPiece; ++i)
                piece[static_cast<size_t>(i)] = static_cast<char>(pszText[nDone + i] & 0xFF);
            nWritten += base64_decode_block(piece.data(), nPiece, reinterpret_cast<char*>(pBuffer) + nWritten, &state);
            nDone += nPiece;
        }
        pOut = pBuffer;
        nLength = nWritten;
    }
    catch (const std::bad_alloc&)
    {
        AfxThrowMemoryException();
    }
}

// ---- URLs and UTF-8 ----

char CStaticTools::HexPairToByte(wchar_t chHigh, wchar_t chLow)
{
    auto value = [](wchar_t ch) -> int {
        return ch < L'A' ? static_cast<int>(ch) - L'0' : static_cast<int>(std::towupper(ch)) - L'A' + 10;
    };
    return static_cast<char>((value(chHigh) * 16 + value(chLow)) & 0xFF);
}

CStringA CStaticTools::UrlDecode(const char* pszText)
{
    if (!pszText) return CStringA();
    std::string result;
    AppendUrlDecoded(pszText, std::strlen(pszText), result);
    return CStringA(result.c_str(), static_cast<int>(result.size()));
}

CString CStaticTools::UrlDecode(const CString& strText)
{
    std::wstring result;
    AppendUrlDecoded(static_cast<const wchar_t*>(strText), static_cast<size_t>(strText.GetLength()), result);
    return CString(result.c_str(), static_cast<int>(result.size()));
}

CStringA CStaticTools::ToUTF8(const CString& strText)
{
    const wchar_t* pszText = strText;
    const int nBytes = WideCharToMultiByte(CP_UTF8, 0, pszText, -1, nullptr, 0, nullptr, nullptr);
    if (nBytes <= 1) return CStringA();
    CStringA result;
    char* pOut = result.GetBuffer(nBytes);
    const int nDone = WideCharToMultiByte(CP_UTF8, 0, pszText, -1, pOut, nBytes, nullptr, nullptr);
    result.ReleaseBuffer(nDone > 0 ? nDone - 1 : 0);
    return result;
}

CString CStaticTools::FromUTF8(const CStringA& strUtf8)
{
    // Counted without the terminator: a truncated sequence at the end must not swallow it.
    const char* pszUtf8 = strUtf8;
    const int nBytes = strUtf8.GetLength();
    if (nBytes == 0) return CString();
    const int nChars = MultiByteToWideChar(CP_UTF8, 0, pszUtf8, nBytes, nullptr, 0);
    // As many characters as bytes: no multi-byte sequence, so the text is taken as ANSI.
    const UINT nCodePage = nChars == nBytes ? CP_ACP : CP_UTF8;
    const int nNeeded = nCodePage == CP_UTF8 ? nChars : MultiByteToWideChar(CP_ACP, 0, pszUtf8, nBytes, nullptr, 0);
    if (nNeeded <= 0) return CString();
    CString result;
    const int nDone = MultiByteToWideChar(nCodePage, 0, pszUtf8, nBytes, result.GetBuffer(nNeeded), nNeeded);
    result.ReleaseBuffer(nDone > 0 ? nDone : 0);
    return result;
}

CString CStaticTools::MaskPassword(const CString& strText)
{
    const int nKey = strText.Find(L"PWD=");
    if (nKey < 0) return strText;
    const int nStart = nKey + 4;
    const int nEnd = strText.Find(L';', nStart);
    return strText.Left(nStart) + L"*****" + (nEnd >= 0 ? strText.Mid(nEnd) : CString());
}
