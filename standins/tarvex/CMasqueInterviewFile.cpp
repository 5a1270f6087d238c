// The saved interview of an entry mask: "TVX-INTERVIEW 1", then an INTERVIEW line with the mask's own
// fields as a property-list text; then tab-separated lines: one "R position state codes value seconds
// text" (value empty for none) per answer that is not in its first state, one "SO question id text" per
// semi-open answer given, one "REC name" per recording in progress and "QUOTACAT hex" with the quota
// category. Texts escape backslash, tab, CR and LF with a backslash; tabs keep the many answer lines
// cheap to write and read. Both ways the text goes line by line through buffers that are used again,
// not a heap block per line or field: under Wine those cost more than the work on the lines.
#include "standins/tarvex/CMasqueInterviewFile.h"
#include "standins/tarvex/CMasqueSaisie.h"
#include "core/CPropertyList.h"
#include "framework/CArchive.h"
#include "framework/CArchiveException.h"
#include "framework/CFile.h"
#include "framework/CFileException.h"
#include "framework/CStringConversion.h"
#include "standins/tarvex/CQuestionnaire.h"
#include "standins/tarvex/CTarvexJournal.h"
#include "standins/tarvex/CTarvexScript.h"
#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <cwctype>

namespace
{
constexpr LPCWSTR kHeader = L"TVX-INTERVIEW 1";
constexpr size_t kChunkChars = 4096; // lines gathered before they are turned into UTF-8

// A field of a line: where it starts in the line and how many characters it has.
struct CField
{
    const wchar_t* p = nullptr;
    size_t n = 0;
    bool Is(LPCWSTR psz) const { return std::wcslen(psz) == n && std::wmemcmp(p, psz, n) == 0; }
};
constexpr size_t kMaxFields = 8; // more than any line may have; beyond, they are only counted

[[noreturn]] void RefuseLine(int nLine, LPCWSTR pszReason)
{
    CString strReason;
    strReason.Format(L"interview line %d: %s", nLine, pszReason);
    AfxThrowArchiveException(CArchiveException::genericException, strReason.GetString());
}

long ReadLong(const CPropertyList& fields, LPCWSTR pszName, int nLine)
{
    CString strText;
    if (!fields.GetProperty(pszName, strText) || strText.IsEmpty()) RefuseLine(nLine, L"missing field");
    wchar_t* pEnd = nullptr;
    const long nValue = wcstol(strText.GetString(), &pEnd, 10);
    if (pEnd != strText.GetString() + strText.GetLength()) RefuseLine(nLine, L"not a number"); // a NUL ends no number
    return nValue;
}

CString Hex(const std::vector<BYTE>& bytes)
{
    CString str;
    for (BYTE b : bytes)
        str.AppendFormat(L"%02X", b);
    return str;
}

void AppendEscaped(std::wstring& line, const CString& strText)
{
    for (int i = 0; i < strText.GetLength(); ++i)
    {
        const wchar_t ch = strText[i];
        switch (ch)
        {
        case L'\\':
            line += L"\\\\";
            break;
        case L'\t':
            line += L"\\t";
            break;
        case L'\r':
            line += L"\\r";
            break;
        case L'\n':
            line += L"\\n";
            break;
        default:
            line += ch;
        }
    }
}

CString Unescaped(const CField& field, int nLine)
{
    CString strText;
    if (!std::wmemchr(field.p, L'\\', field.n))
    {
        strText.SetString(field.p, static_cast<int>(field.n));
        return strText;
    }
    strText.Preallocate(static_cast<int>(field.n));
    for (size_t i = 0; i < field.n; ++i)
    {
        if (field.p[i] != L'\\')
        {
            strText.AppendChar(field.p[i]);
            continue;
        }
        const wchar_t next = ++i < field.n ? field.p[i] : L'\0';
        if (next == L'\\')
            strText.AppendChar(L'\\');
        else if (next == L't')
            strText.AppendChar(L'\t');
        else if (next == L'r')
            strText.AppendChar(L'\r');
        else if (next == L'n')
            strText.AppendChar(L'\n');
        else
            RefuseLine(nLine, L"bad escape");
    }
    return strText;
}

// The tab-separated fields of a line; their count, which may exceed kMaxFields.
size_t SplitTabs(const CString& strLine, CField (&fields)[kMaxFields])
{
    const wchar_t* p = strLine.GetString();
    const wchar_t* const pEnd = p + strLine.GetLength();
    size_t nFields = 0;
    for (;;)
    {
        const wchar_t* pTab = std::find(p, pEnd, L'\t');
        if (nFields < kMaxFields) fields[nFields] = {p, static_cast<size_t>(pTab - p)};
        ++nFields;
        if (pTab == pEnd) return nFields;
        p = pTab + 1;
    }
}

// The mantissa bits of the NaN every arithmetic fault gives: only the quiet bit.
constexpr std::uint64_t kQuietNanBits = 0x0008000000000000;
constexpr std::uint64_t kMantissaBits = 0x000FFFFFFFFFFFFF;
constexpr std::uint64_t kSignBit = 0x8000000000000000;

// A NaN in a spelling that keeps its sign and payload, which %.17g would both drop: "nan" for the usual
// quiet NaN (the runtime's own text), a "-" before it when the sign is set, and "(0x...)" after it with
// the mantissa when that is not the usual one.
size_t FormatNan(double dValue, char (&szValue)[32])
{
    const auto nBits = std::bit_cast<std::uint64_t>(dValue);
    const char* pszSign = (nBits & kSignBit) ? "-" : "";
    const std::uint64_t nMantissa = nBits & kMantissaBits;
    const int nChars = nMantissa == kQuietNanBits ? std::snprintf(szValue, sizeof(szValue), "%snan", pszSign)
                                                  : std::snprintf(szValue, sizeof(szValue), "%snan(0x%llx)", pszSign,
                                                                  static_cast<unsigned long long>(nMantissa));
    return static_cast<size_t>(std::max(0, nChars));
}

// Reads what FormatNan writes; false for anything else.
bool ParseNan(const CField& field, double& dValue)
{
    const wchar_t* p = field.p;
    const wchar_t* const pEnd = field.p + field.n;
    std::uint64_t nBits = 0x7FF0000000000000;
    if (p < pEnd && *p == L'-')
    {
        nBits |= kSignBit;
        ++p;
    }
    if (pEnd - p < 3 || std::wmemcmp(p, L"nan", 3) != 0) return false;
    p += 3;
    std::uint64_t nMantissa = kQuietNanBits;
    if (p != pEnd)
    {
        // At most 13 hex digits, which is all a mantissa holds, and never 0, which would be an infinity.
        if (pEnd - p < 5 || pEnd - p > 17 || std::wmemcmp(p, L"(0x", 3) != 0 || pEnd[-1] != L')') return false;
        nMantissa = 0;
        for (p += 3; p < pEnd - 1; ++p)
        {
            if (!iswxdigit(*p)) return false;
            nMantissa = nMantissa << 4 | static_cast<std::uint64_t>(*p <= L'9' ? *p - L'0' : (*p | 0x20) - L'a' + 10);
        }
        if (nMantissa == 0 || nMantissa > kMantissaBits) return false;
    }
    dValue = std::bit_cast<double>(nBits | nMantissa);
    return true;
}

// A value as %.17g writes it, so a reload is exact. std::to_chars gives the same text as the C runtime
// (both round correctly) in a sixth of the time; infinities keep the runtime's spelling.
size_t FormatValue(double dValue, char (&szValue)[32])
{
    if (std::isnan(dValue)) return FormatNan(dValue, szValue);
    if (std::isfinite(dValue))
    {
        const auto result = std::to_chars(szValue, szValue + sizeof(szValue), dValue, std::chars_format::general, 17);
        if (result.ec == std::errc()) return static_cast<size_t>(result.ptr - szValue);
    }
    return static_cast<size_t>(std::max(0, std::snprintf(szValue, sizeof(szValue), "%.17g", dValue)));
}

// What wcstod reads from the field, which must end where the field ends. The text FormatValue writes
// is taken by std::from_chars, a fifth of the runtime's time, when writing the value read gives that
// text back; a NaN by ParseNan, since wcstod drops a NaN's payload; anything else (a blank or a sign
// before it, hex, a text edited by hand) goes to wcstod.
bool ParseValue(const CField& field, double& dValue)
{
    char szField[32];
    bool bPlain = field.n < sizeof(szField);
    for (size_t i = 0; bPlain && i < field.n; ++i)
    {
        bPlain = field.p[i] < 0x80;
        szField[i] = static_cast<char>(field.p[i]);
    }
    if (bPlain)
    {
        double dRead = 0;
        char szBack[32];
        const auto result = std::from_chars(szField, szField + field.n, dRead);
        if (result.ec == std::errc() && result.ptr == szField + field.n && std::isfinite(dRead) &&
            FormatValue(dRead, szBack) == field.n && std::memcmp(szBack, szField, field.n) == 0)
        {
            dValue = dRead;
            return true;
        }
        if (ParseNan(field, dValue)) return true;
    }
    wchar_t* pEnd = nullptr;
    dValue = wcstod(field.p, &pEnd);
    return pEnd == field.p + field.n;
}

// The field is followed by a tab, a comma or the line's end, none of which a number takes in.
long ParseLongField(const CField& field, int nLine, int nBase = 10)
{
    wchar_t* pEnd = nullptr;
    const long nValue = field.n ? wcstol(field.p, &pEnd, nBase) : 0;
    if (field.n == 0 || iswspace(field.p[0]) || pEnd != field.p + field.n) RefuseLine(nLine, L"not a number");
    return nValue;
}
} // namespace

CMasqueInterviewFile::CMasqueInterviewFile(CMasqueSaisie& mask) : m_mask(mask) {}

bool CMasqueInterviewFile::RenameAsCompleted(int nFlags, bool bRename)
{
    m_mask.m_bCompleted = true;
    const bool bOk = CTarvexScript::Decide(L"CMasqueSaisie::RenameAsCompleted", true);
    CTarvexJournal::Append(L"CMasqueSaisie", L"RenameAsCompleted", CTarvexJournal::FromNumbers({nFlags, bRename}),
                           CTarvexJournal::FromBool(bOk));
    return bOk;
}

std::string CMasqueInterviewFile::WriteText() const
{
    std::wstring text = kHeader;
    text += L"\n";
    CPropertyList interview;
    interview.SetProperty(L"survey", m_mask.m_pQuestionnaire->m_nId);
    interview.SetProperty(L"seed", m_mask.m_nSeed);
    interview.SetProperty(L"position", m_mask.m_nPosition);
    interview.SetProperty(L"language", m_mask.m_nLangue);
    interview.SetProperty(L"callid", m_mask.m_nCallId);
    interview.SetProperty(L"result", static_cast<int>(m_mask.m_nCallResult));
    interview.SetProperty(L"subresult", static_cast<int>(m_mask.m_nSubResult));
    interview.SetProperty(L"resultset", static_cast<int>(m_mask.m_bResultSet));
    interview.SetProperty(L"completed", static_cast<int>(m_mask.m_bCompleted));
    interview.SetProperty(L"ivr", m_mask.m_strIvrNumber);
    interview.SetProperty(L"callinfo", m_mask.m_strCallInfo);
    CString strFields = interview.GetString();
    strFields.TrimRight();
    text += L"INTERVIEW ";
    text.append(strFields.GetString(), static_cast<size_t>(strFields.GetLength())); // NULs in the texts included
    text += L"\n";
    std::string utf8;
    // A chunk always ends with a whole line, so no character is ever cut in two.
    const auto convertFull = [&](bool bLast) {
        if (!bLast && text.size() < kChunkChars) return;
        utf8 += NarrowText(text.data(), static_cast<int>(text.size()), CP_UTF8);
        text.clear();
    };
    wchar_t szNumber[40];
    char szValue[32];
    for (int i = 0; i < m_mask.GetNbreReponse(); ++i)
    {
        const CReponse& reponse = m_mask.m_reponses[static_cast<size_t>(i)];
        if (reponse.m_nEtat == kTvxStateNotReached && reponse.m_codes.empty() && reponse.m_strTexte.IsEmpty() &&
            reponse.m_nDuree == 0)
            continue;
        swprintf(szNumber, 40, L"R\t%d\t%d\t", i, reponse.m_nEtat);
        text += szNumber;
        text += CReponse::FormatCodes(reponse.m_codes).GetString();
        text += L'\t';
        if (reponse.m_dValeur != kTvxNoValue) // no value stays an empty field: most answers have none
            text.append(szValue, szValue + FormatValue(reponse.m_dValeur, szValue));
        swprintf(szNumber, 40, L"\t%ld\t", reponse.m_nDuree);
        text += szNumber;
        AppendEscaped(text, reponse.m_strTexte);
        text += L"\n";
        convertFull(false);
    }
    for (const CMasqueSaisie::CGivenSemiOpen& given : m_mask.m_semiOpens)
    {
        swprintf(szNumber, 40, L"SO\t%d\t%ld\t", given.m_nQuestion, given.m_nId);
        text += szNumber;
        AppendEscaped(text, given.m_strText);
        text += L"\n";
        convertFull(false);
    }
    for (const CString& strName : m_mask.m_recordings)
    {
        text += L"REC\t";
        AppendEscaped(text, strName);
        text += L"\n";
        convertFull(false);
    }
    if (!m_mask.m_quotaCategory.empty()) text += (L"QUOTACAT\t" + Hex(m_mask.m_quotaCategory) + L"\n").GetString();
    convertFull(true);
    return utf8;
}

void CMasqueInterviewFile::ReadText(const std::vector<BYTE>& bytes)
{
    const char* pBytes = reinterpret_cast<const char*>(bytes.data());
    if (!bytes.empty() &&
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, pBytes, static_cast<int>(bytes.size()), nullptr, 0) <= 0)
        RefuseLine(0, L"invalid UTF-8");

    std::vector<CReponse> reponses(static_cast<size_t>(m_mask.m_pQuestionnaire->GetNbreQuestion()));
    for (size_t i = 0; i < reponses.size(); ++i)
        reponses[i].m_nQuestion = static_cast<int>(i);
    std::vector<CString> recordings;
    std::vector<CMasqueSaisie::CGivenSemiOpen> semiOpens;
    std::vector<BYTE> category;
    CPropertyList interview;
    bool bInterviewSeen = false;

    CString strLine; // one buffer for every line
    CField fields[kMaxFields];
    int nLine = 0;
    size_t nStart = 0;
    while (nStart < bytes.size())
    {
        ++nLine;
        const auto itEnd = std::find(bytes.begin() + static_cast<ptrdiff_t>(nStart), bytes.end(), '\n');
        const size_t nEnd = static_cast<size_t>(itEnd - bytes.begin());
        // The whole line, NULs included: a text that holds one keeps what follows it.
        const int nBytes = static_cast<int>(nEnd - nStart);
        strLine.Empty();
        if (nBytes > 0)
        {
            const int nChars =
                MultiByteToWideChar(CP_UTF8, 0, pBytes + nStart, nBytes, strLine.GetBufferSetLength(nBytes), nBytes);
            strLine.ReleaseBuffer(nChars > 0 ? nChars : 0);
        }
        nStart = nEnd + 1;
        if (nLine == 1)
        {
            if (strLine != kHeader) RefuseLine(nLine, L"not a saved interview");
            continue;
        }
        if (strLine.Find(L"INTERVIEW ") == 0)
        {
            if (bInterviewSeen) RefuseLine(nLine, L"second INTERVIEW line");
            interview.SetString(strLine.GetString() + 10, static_cast<size_t>(strLine.GetLength() - 10));
            if (ReadLong(interview, L"survey", nLine) != m_mask.m_pQuestionnaire->m_nId)
                RefuseLine(nLine, L"interview of another survey");
            bInterviewSeen = true;
            continue;
        }
        const size_t nFields = SplitTabs(strLine, fields);
        if (fields[0].Is(L"R"))
        {
            if (nFields != 7) RefuseLine(nLine, L"wrong number of fields");
            const long nPosition = ParseLongField(fields[1], nLine);
            if (nPosition < 0 || nPosition >= static_cast<long>(reponses.size()))
                RefuseLine(nLine, L"position outside the survey");
            CReponse& reponse = reponses[static_cast<size_t>(nPosition)];
            const long nState = ParseLongField(fields[2], nLine);
            if (nState < kTvxStateNotReached || nState > kTvxStateSetByAction) RefuseLine(nLine, L"unknown state");
            reponse.m_nEtat = static_cast<short>(nState);
            const CField& codes = fields[3];
            if (codes.n) reponse.m_codes.reserve(static_cast<size_t>(std::count(codes.p, codes.p + codes.n, L',')) + 1);
            for (size_t nCode = 0; nCode < codes.n;)
            {
                const size_t nComma =
                    static_cast<size_t>(std::find(codes.p + nCode, codes.p + codes.n, L',') - codes.p);
                reponse.m_codes.push_back(ParseLongField({codes.p + nCode, nComma - nCode}, nLine));
                nCode = nComma + 1;
            }
            reponse.m_dValeur = kTvxNoValue;
            if (fields[4].n && !ParseValue(fields[4], reponse.m_dValeur)) RefuseLine(nLine, L"not a number");
            reponse.m_nDuree = ParseLongField(fields[5], nLine);
            reponse.m_strTexte = Unescaped(fields[6], nLine);
        }
        else if (fields[0].Is(L"SO") && nFields == 4)
        {
            const long nQuestion = ParseLongField(fields[1], nLine);
            if (nQuestion < 0 || nQuestion >= static_cast<long>(reponses.size()))
                RefuseLine(nLine, L"question outside the survey");
            semiOpens.push_back(
                {static_cast<int>(nQuestion), ParseLongField(fields[2], nLine), Unescaped(fields[3], nLine)});
        }
        else if (fields[0].Is(L"REC") && nFields == 2)
            recordings.push_back(Unescaped(fields[1], nLine));
        else if (fields[0].Is(L"QUOTACAT") && nFields == 2)
        {
            const CField& hex = fields[1];
            if (hex.n % 2 != 0) RefuseLine(nLine, L"odd hex text");
            if (!std::all_of(hex.p, hex.p + hex.n, iswxdigit)) RefuseLine(nLine, L"not a hex text");
            for (size_t i = 0; i < hex.n; i += 2)
            {
                const wchar_t pair[3] = {hex.p[i], hex.p[i + 1], L'\0'}; // in place, wcstol would read on
                category.push_back(static_cast<BYTE>(ParseLongField({pair, 2}, nLine, 16)));
            }
        }
        else if (!strLine.IsEmpty())
            RefuseLine(nLine, L"unknown line");
    }
    if (nLine == 0 || !bInterviewSeen) RefuseLine(nLine, L"no INTERVIEW line");

    const long nSeed = ReadLong(interview, L"seed", 2);
    const long nPosition = ReadLong(interview, L"position", 2);
    if (nPosition < -1 || nPosition > static_cast<long>(reponses.size())) RefuseLine(2, L"position outside the survey");
    const long nLangue = ReadLong(interview, L"language", 2);
    const long nCallId = ReadLong(interview, L"callid", 2);
    const long nResult = ReadLong(interview, L"result", 2);
    const long nSubResult = ReadLong(interview, L"subresult", 2);
    const long nResultSet = ReadLong(interview, L"resultset", 2);
    const long nCompleted = ReadLong(interview, L"completed", 2);

    m_mask.m_reponses.swap(reponses);
    m_mask.m_recordings.swap(recordings);
    m_mask.m_semiOpens.swap(semiOpens);
    m_mask.m_quotaCategory.swap(category);
    m_mask.m_nSeed = nSeed;
    m_mask.m_nPosition = static_cast<int>(nPosition);
    m_mask.m_nScreenShown = -1;
    m_mask.m_nLangue = static_cast<int>(nLangue);
    m_mask.m_nCallId = nCallId;
    m_mask.m_nCallResult = static_cast<short>(nResult);
    m_mask.m_nSubResult = static_cast<short>(nSubResult);
    m_mask.m_bResultSet = nResultSet != 0;
    m_mask.m_bCompleted = nCompleted != 0;
    m_mask.m_strIvrNumber = interview.GetPropertyString(L"ivr", L"");
    m_mask.m_strCallInfo = interview.GetPropertyString(L"callinfo", L"");
}

bool CMasqueInterviewFile::SaveToFile(CFile& file)
{
    bool bOk = CTarvexScript::Decide(L"CMasqueSaisie::SaveToFile", true);
    if (bOk)
    {
        const std::string utf8 = WriteText();
        try
        {
            file.Write(utf8.data(), static_cast<UINT>(utf8.size()));
        }
        catch (CFileException* pError)
        {
            pError->Delete();
            bOk = false;
        }
    }
    CTarvexJournal::Append(L"CMasqueSaisie", L"SaveToFile", L"file", CTarvexJournal::FromBool(bOk));
    return bOk;
}

void CMasqueInterviewFile::Serialize(CArchive& ar)
{
    if (ar.IsStoring())
    {
        CTarvexScript::Decide(L"CMasqueSaisie::Serialize", true); // only a scripted throw matters here
        const std::string utf8 = WriteText();
        ar.Write(utf8.data(), static_cast<UINT>(utf8.size()));
        CTarvexJournal::Append(L"CMasqueSaisie", L"Serialize", L"store",
                               CTarvexJournal::FromLong(static_cast<long>(utf8.size())));
        return;
    }
    try
    {
        CTarvexScript::Decide(L"CMasqueSaisie::Serialize", true);
        std::vector<BYTE> bytes;
        BYTE buffer[4096];
        for (UINT nRead; (nRead = ar.Read(buffer, sizeof(buffer))) > 0;)
            bytes.insert(bytes.end(), buffer, buffer + nRead);
        ReadText(bytes);
    }
    catch (CArchiveException* pError)
    {
        CTarvexJournal::Append(L"CMasqueSaisie", L"Serialize", L"load", L"throws " + pError->m_strFileName);
        throw;
    }
    CTarvexJournal::Append(L"CMasqueSaisie", L"Serialize", L"load",
                           L"position " + CTarvexJournal::FromLong(m_mask.m_nPosition));
}

CString CMasqueInterviewFile::GetSavedPath(long nCallId) const
{
    CString strFolder = m_mask.m_strDirectory;
    if (strFolder.IsEmpty())
    {
        wchar_t szTemp[MAX_PATH] = {};
        if (GetTempPathW(MAX_PATH, szTemp)) strFolder = szTemp;
    }
    if (!strFolder.IsEmpty() && strFolder[strFolder.GetLength() - 1] != L'\\') strFolder += L'\\';
    CString strPath;
    strPath.Format(L"%sTvx%ld-%ld.tvi", strFolder.GetString(), m_mask.m_pQuestionnaire->m_nId, nCallId);
    return strPath;
}

bool CMasqueInterviewFile::Save(long nCallId)
{
    bool bOk = false;
    CFile file;
    if (CTarvexScript::Decide(L"CMasqueSaisie::Save", true) &&
        file.Open(GetSavedPath(nCallId).GetString(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive))
    {
        bOk = m_mask.SaveToFile(file);
        try
        {
            file.Close();
        }
        catch (CFileException* pError)
        {
            pError->Delete();
            bOk = false;
        }
    }
    CTarvexJournal::Append(L"CMasqueSaisie", L"Save", CTarvexJournal::FromLong(nCallId), CTarvexJournal::FromBool(bOk));
    return bOk;
}

bool CMasqueInterviewFile::DeleteFile(long nCallId, bool bCompleted)
{
    const bool bOk =
        CTarvexScript::Decide(L"CMasqueSaisie::DeleteFile", ::DeleteFileW(GetSavedPath(nCallId).GetString()) != FALSE);
    CString strArguments;
    strArguments.Format(L"%ld, %d", nCallId, bCompleted);
    CTarvexJournal::Append(L"CMasqueSaisie", L"DeleteFile", strArguments, CTarvexJournal::FromBool(bOk));
    return bOk;
}
