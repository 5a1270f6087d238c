// The saved interview of an entry mask: "TVX-INTERVIEW 1", then an INTERVIEW line with the mask's own
// fields, one R line per answer that is not in its first state, one REC line per recording in progress
// and a QUOTACAT line with the quota category. Every line is a word and a property-list text.
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
#include <cwchar>

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

double ReadDouble(const CPropertyList& fields, LPCWSTR pszName, int nLine)
{
    CString strText;
    if (!fields.GetProperty(pszName, strText) || strText.IsEmpty()) RefuseLine(nLine, L"missing field");
    wchar_t* pEnd = nullptr;
    const double dValue = wcstod(strText.GetString(), &pEnd);
    if (!pEnd || *pEnd != L'\0') RefuseLine(nLine, L"not a number");
    return dValue;
}

CString Hex(const std::vector<BYTE>& bytes)
{
    CString str;
    for (BYTE b : bytes)
        str.AppendFormat(L"%02X", b);
    return str;
}

CString Line(LPCWSTR pszWord, const CPropertyList& fields)
{
    CString strLine = pszWord;
    strLine += L" ";
    strLine += fields.GetString();
    strLine.TrimRight();
    return strLine + L"\n";
}
} // namespace

CString CMasqueSaisie::WriteText() const
{
    CString strText = kHeader;
    strText += L"\n";
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
    strText += Line(L"INTERVIEW", interview);
    for (int i = 0; i < GetNbreReponse(); ++i)
    {
        const CReponse& reponse = m_reponses[static_cast<size_t>(i)];
        if (reponse.m_nEtat == kTvxStateNotReached && reponse.m_codes.empty() && reponse.m_strTexte.IsEmpty()) continue;
        CPropertyList answer;
        answer.SetProperty(L"position", i);
        answer.SetProperty(L"state", static_cast<int>(reponse.m_nEtat));
        CString strCodes;
        for (size_t c = 0; c < reponse.m_codes.size(); ++c)
            strCodes.AppendFormat(c ? L",%ld" : L"%ld", reponse.m_codes[c]);
        answer.SetProperty(L"codes", strCodes);
        answer.SetProperty(L"text", reponse.m_strTexte);
        CString strValue;
        strValue.Format(L"%.17g", reponse.m_dValeur); // every bit of the double, so that a reload is exact
        answer.SetProperty(L"value", strValue);
        strText += Line(L"R", answer);
    }
    for (const CString& strName : m_recordings)
    {
        CPropertyList recording;
        recording.SetProperty(L"name", strName);
        strText += Line(L"REC", recording);
    }
    if (!m_quotaCategory.empty())
    {
        CPropertyList category;
        category.SetProperty(L"hex", Hex(m_quotaCategory));
        strText += Line(L"QUOTACAT", category);
    }
    return strText;
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
        int nBlank = strLine.Find(L' ');
        if (nBlank < 0) nBlank = strLine.GetLength();
        const CString strWord = strLine.Left(nBlank);
        const CPropertyList fields(strLine.Mid(nBlank).GetString());
        if (strWord == L"INTERVIEW")
        {
            if (bInterviewSeen) RefuseLine(nLine, L"second INTERVIEW line");
            if (ReadLong(fields, L"survey", nLine) != m_pQuestionnaire->m_nId)
                RefuseLine(nLine, L"interview of another survey");
            interview = fields;
            bInterviewSeen = true;
        }
        else if (strWord == L"R")
        {
            const long nPosition = ReadLong(fields, L"position", nLine);
            if (nPosition < 0 || nPosition >= static_cast<long>(reponses.size()))
                RefuseLine(nLine, L"position outside the survey");
            CReponse& reponse = reponses[static_cast<size_t>(nPosition)];
            const long nState = ReadLong(fields, L"state", nLine);
            if (nState < kTvxStateNotReached || nState > kTvxStateSetByAction) RefuseLine(nLine, L"unknown state");
            reponse.m_nEtat = static_cast<short>(nState);
            const CString strCodes = fields.GetPropertyString(L"codes", L"");
            int nPos = 0;
            for (CString strCode = strCodes.Tokenize(L",", nPos); nPos >= 0; strCode = strCodes.Tokenize(L",", nPos))
            {
                wchar_t* pEnd = nullptr;
                const long nCode = wcstol(strCode.GetString(), &pEnd, 10);
                if (strCode.IsEmpty() || !pEnd || *pEnd != L'\0') RefuseLine(nLine, L"not a number");
                reponse.m_codes.push_back(nCode);
            }
            reponse.m_strTexte = fields.GetPropertyString(L"text", L"");
            reponse.m_dValeur = ReadDouble(fields, L"value", nLine);
        }
        else if (strWord == L"REC")
            recordings.push_back(fields.GetPropertyString(L"name", L""));
        else if (strWord == L"QUOTACAT")
        {
            const CString strHex = fields.GetPropertyString(L"hex", L"");
            if (strHex.GetLength() % 2 != 0) RefuseLine(nLine, L"odd hex text");
            for (int i = 0; i < strHex.GetLength(); i += 2)
            {
                wchar_t* pEnd = nullptr;
                const CString strByte = strHex.Mid(i, 2);
                const long nByte = wcstol(strByte.GetString(), &pEnd, 16);
                if (!pEnd || *pEnd != L'\0') RefuseLine(nLine, L"not a hex text");
                category.push_back(static_cast<BYTE>(nByte));
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

    m_reponses.swap(reponses);
    m_recordings.swap(recordings);
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
