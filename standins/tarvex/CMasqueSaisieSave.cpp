// The saved interview of an entry mask: "TVX-INTERVIEW 1", then an INTERVIEW line with the mask's own
// fields as a property-list text; then tab-separated lines: one "R position state codes value seconds
// text" (value empty for none) per answer that is not in its first state, one "SO question id text" per
// semi-open answer given, one "REC name" per recording in progress and "QUOTACAT hex" with the quota
// category. Texts escape backslash, tab, CR and LF with a backslash; tabs keep the many answer lines
// cheap to write and read.
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
#include <cwchar>
#include <cwctype>

namespace
{
constexpr LPCWSTR kHeader = L"TVX-INTERVIEW 1";

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
    if (!pEnd || *pEnd != L'\0') RefuseLine(nLine, L"not a number");
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

CString Unescaped(const std::wstring& field, int nLine)
{
    std::wstring text;
    text.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i)
    {
        if (field[i] != L'\\')
        {
            text += field[i];
            continue;
        }
        const wchar_t next = ++i < field.size() ? field[i] : L'\0';
        if (next == L'\\')
            text += L'\\';
        else if (next == L't')
            text += L'\t';
        else if (next == L'r')
            text += L'\r';
        else if (next == L'n')
            text += L'\n';
        else
            RefuseLine(nLine, L"bad escape");
    }
    return CString(text.c_str());
}

std::vector<std::wstring> SplitTabs(const std::wstring& line)
{
    std::vector<std::wstring> fields;
    size_t nStart = 0;
    for (size_t nTab; (nTab = line.find(L'\t', nStart)) != std::wstring::npos; nStart = nTab + 1)
        fields.push_back(line.substr(nStart, nTab - nStart));
    fields.push_back(line.substr(nStart));
    return fields;
}

long ParseLongField(const std::wstring& field, int nLine, int nBase = 10)
{
    wchar_t* pEnd = nullptr;
    const long nValue = wcstol(field.c_str(), &pEnd, nBase);
    if (field.empty() || iswspace(field[0]) || !pEnd || *pEnd != L'\0') RefuseLine(nLine, L"not a number");
    return nValue;
}
} // namespace

CString CMasqueSaisie::WriteText() const
{
    std::wstring text = kHeader;
    text += L"\n";
    CPropertyList interview;
    interview.SetProperty(L"survey", m_pQuestionnaire->m_nId);
    interview.SetProperty(L"seed", m_nSeed);
    interview.SetProperty(L"position", m_nPosition);
    interview.SetProperty(L"language", m_nLangue);
    interview.SetProperty(L"callid", m_nCallId);
    interview.SetProperty(L"result", static_cast<int>(m_nCallResult));
    interview.SetProperty(L"subresult", static_cast<int>(m_nSubResult));
    interview.SetProperty(L"resultset", static_cast<int>(m_bResultSet));
    interview.SetProperty(L"completed", static_cast<int>(m_bCompleted));
    interview.SetProperty(L"ivr", m_strIvrNumber);
    interview.SetProperty(L"callinfo", m_strCallInfo);
    CString strFields = interview.GetString();
    strFields.TrimRight();
    text += L"INTERVIEW ";
    text += strFields.GetString();
    text += L"\n";
    wchar_t szNumber[40];
    for (int i = 0; i < GetNbreReponse(); ++i)
    {
        const CReponse& reponse = m_reponses[static_cast<size_t>(i)];
        if (reponse.m_nEtat == kTvxStateNotReached && reponse.m_codes.empty() && reponse.m_strTexte.IsEmpty() &&
            reponse.m_nDuree == 0)
            continue;
        swprintf(szNumber, 40, L"R\t%d\t%d\t", i, reponse.m_nEtat);
        text += szNumber;
        text += CReponse::FormatCodes(reponse.m_codes).GetString();
        // No value stays an empty field: most answers have none, and formatting a double is dear.
        if (reponse.m_dValeur == kTvxNoValue)
            swprintf(szNumber, 40, L"\t\t%ld\t", reponse.m_nDuree);
        else
            swprintf(szNumber, 40, L"\t%.17g\t%ld\t", reponse.m_dValeur, reponse.m_nDuree); // %.17g: a reload is exact
        text += szNumber;
        AppendEscaped(text, reponse.m_strTexte);
        text += L"\n";
    }
    for (const CGivenSemiOpen& given : m_semiOpens)
    {
        swprintf(szNumber, 40, L"SO\t%d\t%ld\t", given.m_nQuestion, given.m_nId);
        text += szNumber;
        AppendEscaped(text, given.m_strText);
        text += L"\n";
    }
    for (const CString& strName : m_recordings)
    {
        text += L"REC\t";
        AppendEscaped(text, strName);
        text += L"\n";
    }
    if (!m_quotaCategory.empty()) text += (L"QUOTACAT\t" + Hex(m_quotaCategory) + L"\n").GetString();
    return CString(text.c_str());
}

// Everything is read into copies first: a text that fails half-way leaves the mask untouched.
void CMasqueSaisie::ReadText(const std::vector<BYTE>& bytes)
{
    const char* pBytes = reinterpret_cast<const char*>(bytes.data());
    if (!bytes.empty() &&
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, pBytes, static_cast<int>(bytes.size()), nullptr, 0) <= 0)
        RefuseLine(0, L"invalid UTF-8");
    const std::wstring text =
        bytes.empty() ? std::wstring() : WidenText(pBytes, static_cast<int>(bytes.size()), CP_UTF8);

    std::vector<CReponse> reponses(static_cast<size_t>(m_pQuestionnaire->GetNbreQuestion()));
    for (size_t i = 0; i < reponses.size(); ++i)
        reponses[i].m_nQuestion = static_cast<int>(i);
    std::vector<CString> recordings;
    std::vector<CGivenSemiOpen> semiOpens;
    std::vector<BYTE> category;
    CPropertyList interview;
    bool bInterviewSeen = false;

    int nLine = 0;
    size_t nStart = 0;
    while (nStart < text.size())
    {
        ++nLine;
        size_t nEnd = text.find(L'\n', nStart);
        if (nEnd == std::wstring::npos) nEnd = text.size();
        const CString strLine(text.substr(nStart, nEnd - nStart).c_str());
        nStart = nEnd + 1;
        if (nLine == 1)
        {
            if (strLine != kHeader) RefuseLine(nLine, L"not a saved interview");
            continue;
        }
        if (strLine.Find(L"INTERVIEW ") == 0)
        {
            if (bInterviewSeen) RefuseLine(nLine, L"second INTERVIEW line");
            interview.SetString(strLine.Mid(10).GetString());
            if (ReadLong(interview, L"survey", nLine) != m_pQuestionnaire->m_nId)
                RefuseLine(nLine, L"interview of another survey");
            bInterviewSeen = true;
            continue;
        }
        const std::vector<std::wstring> fields = SplitTabs(strLine.GetString());
        if (fields[0] == L"R")
        {
            if (fields.size() != 7) RefuseLine(nLine, L"wrong number of fields");
            const long nPosition = ParseLongField(fields[1], nLine);
            if (nPosition < 0 || nPosition >= static_cast<long>(reponses.size()))
                RefuseLine(nLine, L"position outside the survey");
            CReponse& reponse = reponses[static_cast<size_t>(nPosition)];
            const long nState = ParseLongField(fields[2], nLine);
            if (nState < kTvxStateNotReached || nState > kTvxStateSetByAction) RefuseLine(nLine, L"unknown state");
            reponse.m_nEtat = static_cast<short>(nState);
            for (size_t nCode = 0; nCode < fields[3].size();)
            {
                size_t nComma = fields[3].find(L',', nCode);
                if (nComma == std::wstring::npos) nComma = fields[3].size();
                reponse.m_codes.push_back(ParseLongField(fields[3].substr(nCode, nComma - nCode), nLine));
                nCode = nComma + 1;
            }
            wchar_t* pEnd = nullptr;
            reponse.m_dValeur = fields[4].empty() ? kTvxNoValue : wcstod(fields[4].c_str(), &pEnd);
            if (!fields[4].empty() && (!pEnd || *pEnd != L'\0')) RefuseLine(nLine, L"not a number");
            reponse.m_nDuree = ParseLongField(fields[5], nLine);
            reponse.m_strTexte = Unescaped(fields[6], nLine);
        }
        else if (fields[0] == L"SO" && fields.size() == 4)
        {
            const long nQuestion = ParseLongField(fields[1], nLine);
            if (nQuestion < 0 || nQuestion >= static_cast<long>(reponses.size()))
                RefuseLine(nLine, L"question outside the survey");
            semiOpens.push_back(
                {static_cast<int>(nQuestion), ParseLongField(fields[2], nLine), Unescaped(fields[3], nLine)});
        }
        else if (fields[0] == L"REC" && fields.size() == 2)
            recordings.push_back(Unescaped(fields[1], nLine));
        else if (fields[0] == L"QUOTACAT" && fields.size() == 2)
        {
            const std::wstring& hex = fields[1];
            if (hex.size() % 2 != 0) RefuseLine(nLine, L"odd hex text");
            if (!std::all_of(hex.begin(), hex.end(), iswxdigit)) RefuseLine(nLine, L"not a hex text");
            for (size_t i = 0; i < hex.size(); i += 2)
                category.push_back(static_cast<BYTE>(ParseLongField(hex.substr(i, 2), nLine, 16)));
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

    m_reponses.swap(reponses);
    m_recordings.swap(recordings);
    m_semiOpens.swap(semiOpens);
    m_quotaCategory.swap(category);
    m_nSeed = nSeed;
    m_nPosition = static_cast<int>(nPosition);
    m_nScreenShown = -1;
    m_nLangue = static_cast<int>(nLangue);
    m_nCallId = nCallId;
    m_nCallResult = static_cast<short>(nResult);
    m_nSubResult = static_cast<short>(nSubResult);
    m_bResultSet = nResultSet != 0;
    m_bCompleted = nCompleted != 0;
    m_strIvrNumber = interview.GetPropertyString(L"ivr", L"");
    m_strCallInfo = interview.GetPropertyString(L"callinfo", L"");
}

bool CMasqueSaisie::SaveToFile(CFile& file)
{
    bool bOk = CTarvexScript::Decide(L"CMasqueSaisie::SaveToFile", true);
    if (bOk)
    {
        const CString strText = WriteText();
        const std::string utf8 = NarrowText(strText.GetString(), strText.GetLength(), CP_UTF8);
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

void CMasqueSaisie::Serialize(CArchive& ar)
{
    if (ar.IsStoring())
    {
        CTarvexScript::Decide(L"CMasqueSaisie::Serialize", true); // only a scripted throw matters here
        const CString strText = WriteText();
        const std::string utf8 = NarrowText(strText.GetString(), strText.GetLength(), CP_UTF8);
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
                           L"position " + CTarvexJournal::FromLong(m_nPosition));
}

CString CMasqueSaisie::GetSavedPath(long nCallId) const
{
    CString strFolder = m_strDirectory;
    if (strFolder.IsEmpty())
    {
        wchar_t szTemp[MAX_PATH] = {};
        if (GetTempPathW(MAX_PATH, szTemp)) strFolder = szTemp;
    }
    if (!strFolder.IsEmpty() && strFolder[strFolder.GetLength() - 1] != L'\\') strFolder += L'\\';
    CString strPath;
    strPath.Format(L"%sTvx%ld-%ld.tvi", strFolder.GetString(), m_pQuestionnaire->m_nId, nCallId);
    return strPath;
}

bool CMasqueSaisie::Save(long nCallId)
{
    bool bOk = false;
    CFile file;
    if (CTarvexScript::Decide(L"CMasqueSaisie::Save", true) &&
        file.Open(GetSavedPath(nCallId).GetString(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive))
    {
        bOk = SaveToFile(file);
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

bool CMasqueSaisie::DeleteFile(long nCallId, bool bCompleted)
{
    const bool bOk =
        CTarvexScript::Decide(L"CMasqueSaisie::DeleteFile", ::DeleteFileW(GetSavedPath(nCallId).GetString()) != FALSE);
    CString strArguments;
    strArguments.Format(L"%ld, %d", nCallId, bCompleted);
    CTarvexJournal::Append(L"CMasqueSaisie", L"DeleteFile", strArguments, CTarvexJournal::FromBool(bOk));
    return bOk;
}
