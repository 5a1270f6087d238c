#include "standins/tarvex/CSurveyTextReader.h"
#include "core/CPropertyList.h"
#include "framework/CArchiveException.h"
#include "framework/CStringArray.h"
#include "standins/tarvex/CQuestionnaire.h"
#include <algorithm>
#include <cerrno>
#include <cwchar>

// The fields of one record as the property-list reader found them. Names are compared in place: the
// list's own look-up makes a string of the name each time, a heap block for a name of more than seven
// characters, and most look-ups are of names a record does not hold. The arrays keep their room from
// record to record.
class CSurveyTextReader::CFields
{
public:
    void Read(LPCWSTR pszText) { CPropertyList(pszText).GetNamesAndValues(m_names, m_values); }
    CString* Find(LPCWSTR pszName)
    {
        for (INT_PTR i = 0; i < m_names.GetSize(); ++i)
            if (m_names[i] == pszName) return &m_values[i];
        return nullptr;
    }
    // For a text the survey keeps: it moves there instead of being copied. Empty when absent.
    CString Take(LPCWSTR pszName)
    {
        CString* pValue = Find(pszName);
        return pValue ? std::move(*pValue) : CString();
    }

private:
    CStringArray m_names;
    CStringArray m_values;
};

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

// Calls f with each item of a comma-separated list, trimmed; empty items are skipped.
template <typename F> void ForEachListItem(const CString& strText, F&& f)
{
    CString strItem;
    int nStart = 0;
    while (nStart <= strText.GetLength())
    {
        int nComma = strText.Find(L',', nStart);
        if (nComma < 0) nComma = strText.GetLength();
        strItem.SetString(strText.GetString() + nStart, nComma - nStart);
        strItem.Trim();
        if (!strItem.IsEmpty()) f(strItem);
        nStart = nComma + 1;
    }
}
} // namespace

void CSurveyTextReader::Read(const std::vector<BYTE>& text, CQuestionnaire& survey, std::vector<CScriptRecord>& scripts)
{
    CSurveyTextReader reader(survey, scripts);
    CFields fields;
    CString strLine; // one buffer for every line
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
        strLine.Empty();
        if (nBytes > 0)
        {
            const char* pLine = reinterpret_cast<const char*>(text.data() + nStart);
            // One pass that refuses invalid bytes; a line decodes to at most as many characters as it has bytes.
            const int nChars =
                MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, pLine, static_cast<int>(nBytes),
                                    strLine.GetBufferSetLength(static_cast<int>(nBytes)), static_cast<int>(nBytes));
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
        fields.Read(strLine.GetString() + nBlank); // no copy of the fields' text
        reader.ReadLine(strLine.Left(nBlank), fields);
    }
    if (reader.m_nLine == 0) reader.Refuse(L"not a survey text");
    if (!reader.m_bSurveySeen) reader.Refuse(L"no SURVEY record");
    reader.BuildScreens();
}

void CSurveyTextReader::ReadLine(const CString& strWord, CFields& fields)
{
    if (strWord == L"SURVEY")
    {
        if (m_bSurveySeen) Refuse(L"duplicate id");
        m_bSurveySeen = true;
        m_survey.m_nId = RequiredLong(fields, L"id");
        m_survey.m_strName = fields.Take(L"name");
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

void CSurveyTextReader::ReadQuestion(CFields& fields)
{
    auto pQuestion = std::make_unique<CQuestion>();
    pQuestion->m_nId = RequiredLong(fields, L"id");
    pQuestion->m_strName = Required(fields, L"name");
    const CString& strKind = Required(fields, L"kind");
    if (strKind == L"loop") Refuse(L"loops are not supported");
    const auto itKind = std::find_if(std::begin(kQuestionKinds), std::end(kQuestionKinds),
                                     [&](const CKindName& k) { return strKind == k.pszName; });
    if (itKind == std::end(kQuestionKinds)) Refuse(L"unknown kind");
    const auto itId = std::lower_bound(m_ids.begin(), m_ids.end(), pQuestion->m_nId);
    if (itId != m_ids.end() && *itId == pQuestion->m_nId) Refuse(L"duplicate id");
    const auto itName = NameBound(pQuestion->m_strName);
    if (itName != m_byName.end() && NameAt(*itName) == pQuestion->m_strName) Refuse(L"duplicate id");
    m_ids.insert(itId, pQuestion->m_nId);
    m_byName.insert(itName, m_survey.GetNbreQuestion()); // the index the question is about to get
    pQuestion->m_nKind = itKind->nKind;
    pQuestion->m_nSubKind = itKind->nSubKind;
    pQuestion->m_strText = fields.Take(L"text");
    pQuestion->m_strShortcut = fields.Take(L"shortcut");
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

void CSurveyTextReader::ReadModalite(CFields& fields)
{
    const int nQuestion = QuestionNamed(Required(fields, L"question"));
    CModalite modalite;
    modalite.m_nCode = RequiredLong(fields, L"code");
    modalite.m_strLibelle = fields.Take(L"text");
    modalite.m_bExclusive = OptionalLong(fields, L"exclusive", 0) != 0;
    modalite.m_nQuestion = nQuestion;
    CQuestion& question = *m_survey.m_questions[static_cast<size_t>(nQuestion)];
    if (!question.EstAModalite()) Refuse(L"responses of a question that takes none");
    if (modalite.m_nCode < 0 || question.FindModaliteById(modalite.m_nCode)) Refuse(L"duplicate id");
    question.m_modalites.push_back(std::move(modalite));
}

void CSurveyTextReader::ReadSemiOpen(CFields& fields)
{
    CSemiOpen semiOpen;
    semiOpen.m_strQuestion = Required(fields, L"question");
    const int nQuestion = QuestionNamed(semiOpen.m_strQuestion);
    semiOpen.m_strLibelle = std::move(Required(fields, L"text"));
    semiOpen.m_nId = OptionalLong(fields, L"id", 0);
    semiOpen.m_nKind = OptionalLong(fields, L"kind", 2);
    semiOpen.m_nLangue = OptionalLong(fields, L"language", 0);
    m_survey.m_questions[static_cast<size_t>(nQuestion)]->m_semiOpens.push_back(std::move(semiOpen));
}

void CSurveyTextReader::ReadScreen(CFields& fields)
{
    const long nId = RequiredLong(fields, L"id");
    if (std::find(m_screenIds.begin(), m_screenIds.end(), nId) != m_screenIds.end()) Refuse(L"duplicate id");
    std::vector<int> positions;
    ForEachListItem(Required(fields, L"questions"),
                    [&](const CString& strName) { positions.push_back(QuestionNamed(strName)); });
    if (positions.empty()) Refuse(L"missing questions");
    std::sort(positions.begin(), positions.end());
    for (size_t i = 1; i < positions.size(); ++i)
        if (positions[i] != positions[i - 1] + 1) Refuse(L"screen questions not in a row");
    m_onScreen.resize(static_cast<size_t>(m_survey.GetNbreQuestion()), false);
    for (int nPosition : positions)
    {
        if (m_onScreen[static_cast<size_t>(nPosition)]) Refuse(L"question on two screens");
        m_onScreen[static_cast<size_t>(nPosition)] = true;
    }
    m_screenIds.push_back(nId);
    m_namedScreens.push_back(std::move(positions));
}

void CSurveyTextReader::ReadSkip(CFields& fields)
{
    CQuestionnaire::CSkip skip;
    skip.m_nQuestion = QuestionNamed(Required(fields, L"question"));
    skip.m_nTarget = QuestionNamed(Required(fields, L"to"));
    if (skip.m_nTarget <= skip.m_nQuestion) Refuse(L"skip backwards");
    skip.m_bAnyCode = !fields.Find(L"code");
    skip.m_nCode = OptionalLong(fields, L"code", 0);
    m_survey.m_skips.push_back(skip);
}

void CSurveyTextReader::ReadCheck(CFields& fields)
{
    CQuestionnaire::CCheck check;
    check.m_nQuestion = QuestionNamed(Required(fields, L"question"));
    check.m_nLevel = RequiredLong(fields, L"level");
    if (check.m_nLevel != kTvxLevelWarning && check.m_nLevel != kTvxLevelError) Refuse(L"unknown level");
    check.m_strText = std::move(Required(fields, L"text"));
    check.m_bHasCode = fields.Find(L"code") != nullptr;
    check.m_nCode = OptionalLong(fields, L"code", 0);
    check.m_dBelow = OptionalDouble(fields, L"below", kTvxNoValue);
    check.m_dAbove = OptionalDouble(fields, L"above", kTvxNoValue);
    m_survey.m_checks.push_back(std::move(check));
}

void CSurveyTextReader::ReadAction(CFields& fields)
{
    CFiltre action;
    action.m_nQuestion = QuestionNamed(Required(fields, L"question"));
    const CString& strKind = Required(fields, L"kind");
    const auto itKind = std::find_if(std::begin(kActionKinds), std::end(kActionKinds),
                                     [&](const CActionName& k) { return strKind == k.pszName; });
    if (itKind == std::end(kActionKinds)) Refuse(L"unknown kind");
    action.m_nKind = itKind->nKind;
    action.m_strParameters = fields.Take(L"parameters");
    action.m_strValue = fields.Take(L"value");
    m_survey.m_actions.push_back(std::move(action));
}

void CSurveyTextReader::ReadResource(CFields& fields)
{
    CMediaResource resource;
    resource.m_nId = RequiredLong(fields, L"id");
    resource.m_strFile = std::move(Required(fields, L"file"));
    resource.m_nType = OptionalLong(fields, L"type", 0);
    int nIndex = -1;
    if (m_survey.FindResourceById(resource.m_nId, nIndex)) Refuse(L"duplicate id");
    m_survey.m_resources.push_back(std::move(resource));
}

void CSurveyTextReader::ReadQuota(CFields& fields)
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

void CSurveyTextReader::ReadCell(CFields& fields)
{
    CQuota::CCell cell;
    cell.m_nId = RequiredLong(fields, L"id");
    if (m_survey.m_quota.FindCell(cell.m_nId)) Refuse(L"duplicate id");
    cell.m_nQuestion = QuestionNamed(Required(fields, L"question"));
    cell.m_strText = fields.Take(L"text");
    if (const CString* pCodes = fields.Find(L"codes"))
        ForEachListItem(*pCodes, [&](const CString& strCode) {
            double dCode = 0;
            if (!ParseNumber(strCode, dCode)) Refuse(L"not a number");
            cell.m_codes.push_back(static_cast<long>(dCode));
        });
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
    m_survey.m_quota.m_cells.push_back(std::move(cell));
}

void CSurveyTextReader::ReadScript(CFields& fields)
{
    CScriptRecord script;
    script.m_strCall = std::move(Required(fields, L"call"));
    script.m_bThrow = OptionalLong(fields, L"throw", 0) != 0;
    script.m_dResult =
        script.m_bThrow ? OptionalDouble(fields, L"result", 0) : OptionalDouble(fields, L"result", kTvxNoValue);
    if (!script.m_bThrow && script.m_dResult == kTvxNoValue) Refuse(L"missing result");
    script.m_nFrom = OptionalLong(fields, L"from", 1);
    m_scripts.push_back(std::move(script));
}

// Screens in the order of their first position; every question no SCREEN names is a screen of its own.
void CSurveyTextReader::BuildScreens()
{
    const size_t nQuestions = static_cast<size_t>(m_survey.GetNbreQuestion());
    m_onScreen.resize(nQuestions, false);
    std::vector<int> namedAt(nQuestions, -1); // the named screen that starts at each position
    for (size_t i = 0; i < m_namedScreens.size(); ++i)
        namedAt[static_cast<size_t>(m_namedScreens[i].front())] = static_cast<int>(i);
    std::vector<std::vector<int>> screens;
    screens.reserve(m_namedScreens.size() +
                    static_cast<size_t>(std::count(m_onScreen.begin(), m_onScreen.end(), false)));
    for (size_t nPosition = 0; nPosition < nQuestions; ++nPosition)
    {
        if (namedAt[nPosition] >= 0)
            screens.push_back(std::move(m_namedScreens[static_cast<size_t>(namedAt[nPosition])]));
        else if (!m_onScreen[nPosition])
            screens.push_back({static_cast<int>(nPosition)});
    }
    m_survey.m_screens = std::move(screens);
}

CString& CSurveyTextReader::Required(CFields& fields, LPCWSTR pszName) const
{
    CString* pValue = fields.Find(pszName);
    if (!pValue || pValue->IsEmpty())
    {
        CString strReason;
        strReason.Format(L"missing %s", pszName);
        Refuse(strReason.GetString());
    }
    return *pValue;
}

long CSurveyTextReader::RequiredLong(CFields& fields, LPCWSTR pszName) const
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

long CSurveyTextReader::OptionalLong(CFields& fields, LPCWSTR pszName, long nDefault) const
{
    const CString* pText = fields.Find(pszName);
    return pText ? ParseLong(*pText) : nDefault;
}

double CSurveyTextReader::OptionalDouble(CFields& fields, LPCWSTR pszName, double dDefault) const
{
    const CString* pText = fields.Find(pszName);
    if (!pText) return dDefault;
    double dValue = 0;
    if (!ParseNumber(*pText, dValue)) Refuse(L"not a number");
    return dValue;
}

const CString& CSurveyTextReader::NameAt(int nQuestion) const
{
    return m_survey.m_questions[static_cast<size_t>(nQuestion)]->m_strName;
}

std::vector<int>::const_iterator CSurveyTextReader::NameBound(const CString& strName) const
{
    return std::lower_bound(m_byName.begin(), m_byName.end(), strName,
                            [this](int nQuestion, const CString& strKey) { return NameAt(nQuestion) < strKey; });
}

int CSurveyTextReader::QuestionNamed(const CString& strName) const
{
    const auto it = NameBound(strName);
    // Records name only questions declared before them.
    if (it == m_byName.end() || NameAt(*it) != strName) Refuse(L"unknown question");
    return *it;
}

void CSurveyTextReader::Refuse(LPCWSTR pszReason) const
{
    CString strReason;
    strReason.Format(L"line %d: %s", m_nLine, pszReason);
    AfxThrowArchiveException(CArchiveException::genericException, strReason.GetString());
}
