#include "standins/tarvex/CIsapiParameter.h"
#include "standins/tarvex/CTarvexJournal.h"
#include <string>

namespace
{
int HexValue(wchar_t ch)
{
    if (ch >= L'0' && ch <= L'9') return ch - L'0';
    if (ch >= L'a' && ch <= L'f') return ch - L'a' + 10;
    if (ch >= L'A' && ch <= L'F') return ch - L'A' + 10;
    return -1;
}

bool Decode(const CString& strText, CString& strDecoded)
{
    std::string bytes;
    for (int i = 0; i < strText.GetLength(); ++i)
    {
        const wchar_t ch = strText[i];
        if (ch == L'+')
            bytes += ' ';
        else if (ch == L'%')
        {
            const int nHigh = i + 2 < strText.GetLength() ? HexValue(strText[i + 1]) : -1;
            const int nLow = nHigh >= 0 ? HexValue(strText[i + 2]) : -1;
            if (nLow < 0) return false;
            bytes += static_cast<char>(nHigh * 16 + nLow);
            i += 2;
        }
        else if (ch < 0x80)
            bytes += static_cast<char>(ch);
        else
            return false; // a posted form is ASCII: everything else comes %-escaped
    }
    strDecoded.Empty();
    if (bytes.empty()) return true;
    const int nChars =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (nChars <= 0) return false;
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), strDecoded.GetBuffer(nChars), nChars);
    strDecoded.ReleaseBuffer(nChars);
    return true;
}
} // namespace

bool CIsapiParameter::Parse(const CString& strForm)
{
    std::vector<std::pair<CString, CString>> fields;
    bool bOk = true;
    int nStart = 0;
    while (bOk && nStart < strForm.GetLength())
    {
        int nEnd = strForm.Find(L'&', nStart);
        if (nEnd < 0) nEnd = strForm.GetLength();
        const CString strPair = strForm.Mid(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        if (strPair.IsEmpty()) continue;
        const int nEquals = strPair.Find(L'=');
        CString strName, strValue;
        bOk = Decode(nEquals < 0 ? strPair : strPair.Left(nEquals), strName) &&
              Decode(nEquals < 0 ? CString() : strPair.Mid(nEquals + 1), strValue);
        if (bOk) fields.emplace_back(strName, strValue);
    }
    m_fields = bOk ? std::move(fields) : std::vector<std::pair<CString, CString>>();
    CTarvexJournal::Append(L"CIsapiParameter", L"Parse", strForm, CTarvexJournal::FromBool(bOk));
    return bOk;
}

bool CIsapiParameter::Lookup(LPCWSTR pszName, CString& strValue) const
{
    for (const auto& [name, value] : m_fields)
        if (name == pszName)
        {
            strValue = value;
            return true;
        }
    return false;
}

CString CIsapiParameter::Get(LPCWSTR pszName) const
{
    CString strValue;
    Lookup(pszName, strValue);
    return strValue;
}
