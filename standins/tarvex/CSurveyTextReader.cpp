#include "standins/tarvex/CSurveyTextReader.h"
#include "core/CPropertyList.h"
#include "framework/CArchiveException.h"
#include "framework/CStringConversion.h"
#include "standins/tarvex/CQuestionnaire.h"
#include <algorithm>
#include <cerrno>
#include <cwchar>

namespace
{
constexpr size_t kMaxLineBytes = 64 * 1024;

struct CKindName
{
    LPCWSTR pszName;
    int nKind;
    int nSubKind;
};
const CKindName kQuestionKinds[] = {
    {L"chapter", kTvxKindChapter, 0},
    {L"single", kTvxKindQuestion, kTvxSubSingle},
    {L"multiple", kTvxKindQuestion, kTvxSubMultiple},
    {L"ordered", kTvxKindQuestion, kTvxSubOrdered},
    {L"date", kTvxKindQuestion, kTvxSubDate},
    {L"open", kTvxKindQuestion, kTvxSubOpen},
    {L"numeric", kTvxKindQuestion, kTvxSubNumeric},
};

struct CActionName
{
    LPCWSTR pszName;
    int nKind;
};
const CActionName kActionKinds[] = {
    {L"email", tvxActionEmail},
    {L"record", tvxActionRecord},
    {L"stoprecord", tvxActionStopRecord},
    {L"predictive", tvxActionPredictive},
    {L"language", tvxActionLanguage},
    {L"result", tvxActionResult},
    {L"ivr", tvxActionIvr},
};

// A whole decimal or floating number, nothing before or after it.
bool ParseNumber(const CString& strText, double& dValue)
{
    if (strText.IsEmpty()) return false;
    wchar_t* pEnd = nullptr;
    dValue = wcstod(strText.GetString(), &pEnd);
    return pEnd && *pEnd == L'\0' && !iswspace(strText[0]);
}

std::vector<CString> SplitList(const CString& strText)
{
    std::vector<CString> items;
    int nStart = 0;
    while (nStart <= strText.GetLength())
    {
        int nComma = strText.Find(L',', nStart);
        if (nComma < 0) nComma = strText.GetLength();
        CString strItem = strText.Mid(nStart, nComma - nStart);
        strItem.Trim();
        if (!strItem.IsEmpty()) items.push_back(strItem);
        nStart = nComma + 1;
    }
    return items;
}
} // namespace

void CSurveyTextReader::Read(const std::vector<BYTE>& text, CQuestionnaire& survey, std::vector<CScriptRecord>& scripts)
{
    CSurveyTextReader reader(survey, scripts);
    size_t nStart = 0;
    while (nStart < text.size())
    {
        ++reader.m_nLine;
        const auto itEnd = std::find(text.begin() + static_cast<ptrdiff_t>(nStart), text.end(), '\n');
        size_t nEnd = static_cast<size_t>(itEnd - text.begin());
        const size_t nNext = nEnd + 1;
        if (nEnd > nStart && text[nEnd - 1] == '\r') --nEnd;
        const size_t nBytes = nEnd - nStart;
        if (nBytes > kMaxLineBytes) reader.Refuse(L"line too long");
        CString strLine;
        if (nBytes > 0)
        {
            const char* pLine = reinterpret_cast<const char*>(text.data() + nStart);
            // One pass that refuses invalid bytes; a line decodes to at most as many characters as it has bytes.
            const int nChars =
                MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, pLine, static_cast<int>(nBytes),
                                    strLine.GetBuffer(static_cast<int>(nBytes)), static_cast<int>(nBytes));
            strLine.ReleaseBuffer(nChars > 0 ? nChars : 0);
            if (nChars <= 0) reader.Refuse(L"invalid UTF-8");
        }
        nStart = nNext;
        if (reader.m_nLine == 1)
        {
            if (strLine != L"TVX-SURVEY 1") reader.Refuse(L"not a survey text");
            continue;
        }
        if (strLine.IsEmpty() || strLine[0] == L'#') continue;
        int nBlank = strLine.Find(L' ');
        if (nBlank < 0) nBlank = strLine.GetLength();
        reader.ReadLine(strLine.Left(nBlank),
                        CPropertyList(strLine.GetString() + nBlank)); // no copy of the fields' text
    }
    if (reader.m_nLine == 0) reader.Refuse(L"not a survey text");
    if (!reader.m_bSurveySeen) reader.Refuse(L"no SURVEY record");
    reader.BuildScreens();
}

void CSurveyTextReader::ReadLine(const CString& strWord, const CPropertyList& fields)
{
    if (strWord == L"SURVEY")
    {
        if (m_bSurveySeen) Refuse(L"duplicate id");
        m_bSurveySeen = true;
        m_survey.m_nId = RequiredLong(fields, L"id");
        m_survey.m_strName = fields.GetPropertyString(L"name", L"");
        m_survey.m_nLangue = OptionalLong(fields, L"language", 0);
        m_survey.m_screenGroup.m_generationSettings.m_bUseWebScreens = OptionalLong(fields, L"web", 0) != 0;
    }
    else if (strWord == L"Q")
        ReadQuestion(fields);
    else if (strWord == L"M")
        ReadModalite(fields);
    else if (strWord == L"S")
        ReadSemiOpen(fields);
    else if (strWord == L"SCREEN")
        ReadScreen(fields);
    else if (strWord == L"SKIP")
        ReadSkip(fields);
    else if (strWord == L"CHECK")
        ReadCheck(fields);
    else if (strWord == L"ACTION")
        ReadAction(fields);
    else if (strWord == L"RES")
        ReadResource(fields);
    else if (strWord == L"QUOTA")
        m_survey.m_quota.m_nMode = OptionalLong(fields, L"mode", 0);
    else if (strWord == L"CELL")
        ReadCell(fields);
    else if (strWord == L"SCRIPT")
        ReadScript(fields);
}

void CSurveyTextReader::ReadQuestion(const CPropertyList& fields)
{
    auto pQuestion = std::make_unique<CQuestion>();
    pQuestion->m_nId = RequiredLong(fields, L"id");
    pQuestion->m_strName = Required(fields, L"name");
    const CString strKind = Required(fields, L"kind");
    if (strKind == L"loop") Refuse(L"loops are not supported");
    const auto itKind = std::find_if(std::begin(kQuestionKinds), std::end(kQuestionKinds),
                                     [&](const CKindName& k) { return strKind == k.pszName; });
    if (itKind == std::end(kQuestionKinds)) Refuse(L"unknown kind");
    if (!m_ids.insert(pQuestion->m_nId).second ||
        !m_names.emplace(pQuestion->m_strName, m_survey.GetNbreQuestion()).second)
        Refuse(L"duplicate id");
    pQuestion->m_nKind = itKind->nKind;
    pQuestion->m_nSubKind = itKind->nSubKind;
    pQuestion->m_strText = fields.GetPropertyString(L"text", L"");
    pQuestion->m_strShortcut = fields.GetPropertyString(L"shortcut", L"");
    const long nDefaultMax = pQuestion->m_nSubKind == kTvxSubSingle ? 1 : 99;
    pQuestion->m_nMaxAnswers = static_cast<short>(std::clamp(OptionalLong(fields, L"max", nDefaultMax), 1L, 99L));
    pQuestion->m_bDontKnow = OptionalLong(fields, L"dontknow", 0) != 0;
    pQuestion->m_bOther = OptionalLong(fields, L"other", 0) != 0;
    pQuestion->m_bGeoLumo = OptionalLong(fields, L"geolumo", 0) != 0;
    pQuestion->m_bBlock = pQuestion->EstAModalite() && OptionalLong(fields, L"block", 0) != 0;
    pQuestion->m_dMin = OptionalDouble(fields, L"min", kTvxNoValue);
    pQuestion->m_dMax = OptionalDouble(fields, L"maxvalue", kTvxNoValue);
    pQuestion->m_nDecimals = static_cast<short>(OptionalLong(fields, L"decimals", 0));
    pQuestion->m_nDateKind = OptionalLong(fields, L"datekind", 1);
    m_survey.m_questions.push_back(std::move(pQuestion));
}

void CSurveyTextReader::ReadModalite(const CPropertyList& fields)
{
    const int nQuestion = QuestionNamed(Required(fields, L"question"));
    CModalite modalite;
    modalite.m_nCode = RequiredLong(fields, L"code");
    modalite.m_strLibelle = fields.GetPropertyString(L"text", L"");
    modalite.m_bExclusive = OptionalLong(fields, L"exclusive", 0) != 0;
    modalite.m_nQuestion = nQuestion;
    CQuestion& question = *m_survey.m_questions[static_cast<size_t>(nQuestion)];
    if (!question.EstAModalite()) Refuse(L"responses of a question that takes none");
    if (modalite.m_nCode < 0 || question.FindModaliteById(modalite.m_nCode)) Refuse(L"duplicate id");
    question.m_modalites.push_back(modalite);
}

void CSurveyTextReader::ReadSemiOpen(const CPropertyList& fields)
{
    CSemiOpen semiOpen;
    semiOpen.m_strQuestion = Required(fields, L"question");
    const int nQuestion = QuestionNamed(semiOpen.m_strQuestion);
    semiOpen.m_strLibelle = Required(fields, L"text");
    semiOpen.m_nId = OptionalLong(fields, L"id", 0);
    semiOpen.m_nKind = OptionalLong(fields, L"kind", 2);
    semiOpen.m_nLangue = OptionalLong(fields, L"language", 0);
    m_survey.m_questions[static_cast<size_t>(nQuestion)]->m_semiOpens.push_back(semiOpen);
}

void CSurveyTextReader::ReadScreen(const CPropertyList& fields)
{
    const long nId = RequiredLong(fields, L"id");
    if (std::find(m_screenIds.begin(), m_screenIds.end(), nId) != m_screenIds.end()) Refuse(L"duplicate id");
    std::vector<int> positions;
    for (const CString& strName : SplitList(Required(fields, L"questions")))
        positions.push_back(QuestionNamed(strName));
    if (positions.empty()) Refuse(L"missing questions");
    std::sort(positions.begin(), positions.end());
    for (size_t i = 1; i < positions.size(); ++i)
        if (positions[i] != positions[i - 1] + 1) Refuse(L"screen questions not in a row");
    for (int nPosition : positions)
        if (!m_onScreen.insert(nPosition).second) Refuse(L"question on two screens");
    m_screenIds.push_back(nId);
    m_namedScreens.push_back(positions);
}

void CSurveyTextReader::ReadSkip(const CPropertyList& fields)
{
    CQuestionnaire::CSkip skip;
    skip.m_nQuestion = QuestionNamed(Required(fields, L"question"));
    skip.m_nTarget = QuestionNamed(Required(fields, L"to"));
    if (skip.m_nTarget <= skip.m_nQuestion) Refuse(L"skip backwards");
    skip.m_bAnyCode = !fields.HasProperty(L"code");
    skip.m_nCode = OptionalLong(fields, L"code", 0);
    m_survey.m_skips.push_back(skip);
}

void CSurveyTextReader::ReadCheck(const CPropertyList& fields)
{
    CQuestionnaire::CCheck check;
    check.m_nQuestion = QuestionNamed(Required(fields, L"question"));
    check.m_nLevel = RequiredLong(fields, L"level");
    if (check.m_nLevel != kTvxLevelWarning && check.m_nLevel != kTvxLevelError) Refuse(L"unknown level");
    check.m_strText = Required(fields, L"text");
    check.m_bHasCode = fields.HasProperty(L"code");
    check.m_nCode = OptionalLong(fields, L"code", 0);
    check.m_dBelow = OptionalDouble(fields, L"below", kTvxNoValue);
    check.m_dAbove = OptionalDouble(fields, L"above", kTvxNoValue);
    m_survey.m_checks.push_back(check);
}

void CSurveyTextReader::ReadAction(const CPropertyList& fields)
{
    CFiltre action;
    action.m_nQuestion = QuestionNamed(Required(fields, L"question"));
    const CString strKind = Required(fields, L"kind");
    const auto itKind = std::find_if(std::begin(kActionKinds), std::end(kActionKinds),
                                     [&](const CActionName& k) { return strKind == k.pszName; });
    if (itKind == std::end(kActionKinds)) Refuse(L"unknown kind");
    action.m_nKind = itKind->nKind;
    action.m_strParameters = fields.GetPropertyString(L"parameters", L"");
    action.m_strValue = fields.GetPropertyString(L"value", L"");
    m_survey.m_actions.push_back(action);
}

void CSurveyTextReader::ReadResource(const CPropertyList& fields)
{
    CMediaResource resource;
    resource.m_nId = RequiredLong(fields, L"id");
    resource.m_strFile = Required(fields, L"file");
    resource.m_nType = OptionalLong(fields, L"type", 0);
    int nIndex = -1;
    if (m_survey.FindResourceById(resource.m_nId, nIndex)) Refuse(L"duplicate id");
    m_survey.m_resources.push_back(resource);
}

void CSurveyTextReader::ReadQuota(const CPropertyList& fields)
{
    CQuota& quota = m_survey.m_quota;
    quota.m_nMode = OptionalLong(fields, L"mode", 0);
    quota.m_bActive = OptionalLong(fields, L"active", 1) != 0;
    quota.m_bMinimumsOnly = OptionalLong(fields, L"minonly", 0) != 0;
    quota.m_nTotal = OptionalLong(fields, L"total", 0);
    quota.m_nMaximum = OptionalLong(fields, L"max", -1);
    quota.m_nPercentage = OptionalLong(fields, L"percentage", -1);
    quota.m_nCompleted = OptionalLong(fields, L"completed", 0);
}

void CSurveyTextReader::ReadCell(const CPropertyList& fields)
{
    CQuota::CCell cell;
    cell.m_nId = RequiredLong(fields, L"id");
    if (m_survey.m_quota.FindCell(cell.m_nId)) Refuse(L"duplicate id");
    cell.m_nQuestion = QuestionNamed(Required(fields, L"question"));
    cell.m_strText = fields.GetPropertyString(L"text", L"");
    for (const CString& strCode : SplitList(fields.GetPropertyString(L"codes", L"")))
    {
        double dCode = 0;
        if (!ParseNumber(strCode, dCode)) Refuse(L"not a number");
        cell.m_codes.push_back(static_cast<long>(dCode));
    }
    if (cell.m_codes.empty())
    {
        cell.m_dLow = OptionalDouble(fields, L"low", kTvxNoValue);
        cell.m_dHigh = OptionalDouble(fields, L"high", kTvxNoValue);
        if (cell.m_dLow == kTvxNoValue || cell.m_dHigh == kTvxNoValue) Refuse(L"missing codes or range");
    }
    cell.m_nMaximum = OptionalLong(fields, L"max", -1);
    cell.m_nMinimum = OptionalLong(fields, L"min", 0);
    cell.m_nCompleted = OptionalLong(fields, L"completed", 0);
    cell.m_nRunning = std::max(0L, OptionalLong(fields, L"running", 0));
    cell.m_bClosed = OptionalLong(fields, L"closed", 0) != 0;
    m_survey.m_quota.m_cells.push_back(cell);
}

void CSurveyTextReader::ReadScript(const CPropertyList& fields)
{
    CScriptRecord script;
    script.m_strCall = Required(fields, L"call");
    script.m_bThrow = OptionalLong(fields, L"throw", 0) != 0;
    script.m_dResult =
        script.m_bThrow ? OptionalDouble(fields, L"result", 0) : OptionalDouble(fields, L"result", kTvxNoValue);
    if (!script.m_bThrow && script.m_dResult == kTvxNoValue) Refuse(L"missing result");
    script.m_nFrom = OptionalLong(fields, L"from", 1);
    m_scripts.push_back(script);
}

// Screens in the order of their first position; every question no SCREEN names is a screen of its own.
void CSurveyTextReader::BuildScreens()
{
    std::vector<std::vector<int>> screens = m_namedScreens;
    std::vector<bool> named(static_cast<size_t>(m_survey.GetNbreQuestion()), false);
    for (const auto& positions : m_namedScreens)
        for (int nPosition : positions)
            named[static_cast<size_t>(nPosition)] = true;
    for (int i = 0; i < m_survey.GetNbreQuestion(); ++i)
        if (!named[static_cast<size_t>(i)]) screens.push_back({i});
    std::sort(screens.begin(), screens.end(),
              [](const std::vector<int>& a, const std::vector<int>& b) { return a.front() < b.front(); });
    m_survey.m_screens = std::move(screens);
}

CString CSurveyTextReader::Required(const CPropertyList& fields, LPCWSTR pszName) const
{
    CString strValue;
    if (!fields.GetProperty(pszName, strValue) || strValue.IsEmpty())
    {
        CString strReason;
        strReason.Format(L"missing %s", pszName);
        Refuse(strReason.GetString());
    }
    return strValue;
}

long CSurveyTextReader::RequiredLong(const CPropertyList& fields, LPCWSTR pszName) const
{
    return ParseLong(Required(fields, pszName));
}

long CSurveyTextReader::ParseLong(const CString& strText) const
{
    // wcstol, not wcstod: ids and codes are most of a survey's numbers, and whole numbers are all they may be.
    if (strText.IsEmpty() || iswspace(strText[0])) Refuse(L"not a number");
    wchar_t* pEnd = nullptr;
    errno = 0;
    const long nValue = wcstol(strText.GetString(), &pEnd, 10);
    if (!pEnd || *pEnd != L'\0' || errno == ERANGE) Refuse(L"not a number");
    return nValue;
}

long CSurveyTextReader::OptionalLong(const CPropertyList& fields, LPCWSTR pszName, long nDefault) const
{
    CString strText;
    if (!fields.GetProperty(pszName, strText)) return nDefault; // one look-up: most names are absent
    return ParseLong(strText);
}

double CSurveyTextReader::OptionalDouble(const CPropertyList& fields, LPCWSTR pszName, double dDefault) const
{
    CString strText;
    if (!fields.GetProperty(pszName, strText)) return dDefault;
    double dValue = 0;
    if (!ParseNumber(strText, dValue)) Refuse(L"not a number");
    return dValue;
}

int CSurveyTextReader::QuestionNamed(const CString& strName) const
{
    const auto it = m_names.find(strName);
    if (it == m_names.end()) Refuse(L"unknown question"); // records name only questions declared before them
    return it->second;
}

void CSurveyTextReader::Refuse(LPCWSTR pszReason) const
{
    CString strReason;
    strReason.Format(L"line %d: %s", m_nLine, pszReason);
    AfxThrowArchiveException(CArchiveException::genericException, strReason.GetString());
}
