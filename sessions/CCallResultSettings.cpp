#include "sessions/CCallResultSettings.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "framework/CList.h"
#include <algorithm>
#include <atomic>
#include <climits>
#include <cwctype>
#include <map>
#include <utility>

namespace
{
using CResultArray = CCallResultSettings::CResultArray;
using Result = CCallResultSettings::Result;
using CSettingsPtr = std::shared_ptr<const CCallResultSettings>;

constexpr UINT kIdsNotCalled = 62785;
constexpr UINT kIdsSuccess = 61198;
constexpr UINT kIdsUserDefined = 62507; // "User defined %d", numbered 1 to 5 for codes 17 to 21

// The default results in the order they are built; a text id of 0 takes the literal text.
struct CDefaultResult
{
    int nCode;
    int nSubCode;
    UINT nTextId;
    LPCWSTR pszLiteral;
};
constexpr CDefaultResult kDefaultResults[] = {
    {0, 0, kIdsSuccess, nullptr},
    {1, 0, 61330, nullptr},
    {2, 0, 61166, nullptr},
    {3, 0, 61332, nullptr},
    {4, 0, 61333, nullptr},
    {5, 0, 61334, nullptr},
    {6, 0, 61335, nullptr},
    {7, 0, 61336, nullptr},
    {8, 0, 61337, nullptr},
    {9, 0, 61325, nullptr},
    {9, 1, 61326, nullptr},
    {9, 2, 0, L"Lumo to web"},
    {9, 3, 0, L"Lumo to web (with mail)"},
    {10, 0, 61338, nullptr},
    {11, 0, 61339, nullptr},
    {12, 0, 62500, nullptr},
    {13, 0, 62501, nullptr},
    {14, 0, 62502, nullptr},
    {15, 0, 62503, nullptr},
    {16, 0, 63865, nullptr},
    {17, 0, kIdsUserDefined, nullptr},
    {18, 0, kIdsUserDefined, nullptr},
    {19, 0, kIdsUserDefined, nullptr},
    {20, 0, kIdsUserDefined, nullptr},
    {21, 0, kIdsUserDefined, nullptr},
    {22, 0, 62792, nullptr},
    {23, 0, 62793, nullptr},
    {24, 0, 62794, nullptr},
    {25, 0, 63851, nullptr},
    {26, 0, 63852, nullptr},
    {27, 0, 63853, nullptr},
    {28, 0, 63854, nullptr},
};

CString LoadDefaultText(const CDefaultResult& row)
{
    if (!row.nTextId) return row.pszLiteral;
    CString strText;
    if (row.nTextId == kIdsUserDefined)
        strText.Format(row.nTextId, row.nCode - 16);
    else
        strText.LoadString(row.nTextId);
    return strText;
}

// The three process-wide sets. Made on first use, so that code running during static
// initialisation elsewhere already finds them (empty).
struct CPublishedSets
{
    std::atomic<CSettingsPtr> defaults{std::make_shared<const CCallResultSettings>()};
    std::atomic<CSettingsPtr> current{std::make_shared<const CCallResultSettings>()};
    std::atomic<CSettingsPtr> overrides{std::make_shared<const CCallResultSettings>()};
};

CPublishedSets& PublishedSets()
{
    static CPublishedSets sets;
    return sets;
}

using CKey = std::pair<int, int>;

// Index of the first result of every key, so that long hostile lists merge in n log n.
std::map<CKey, size_t> IndexByKey(const std::vector<Result>& results)
{
    std::map<CKey, size_t> index;
    for (size_t i = 0; i < results.size(); ++i)
        index.emplace(CKey(results[i].m_nCode, results[i].m_nSubCode), i);
    return index;
}

// The C library's "%d@%[^|;]" on one item, which holds no "|" or ";": the number after optional
// white space, then, after an "@", the rest of the item when it is not empty. Fields stay as they
// are from the first part that does not read; a number outside int does not read (the C library
// leaves that undefined).
void ScanItem(const wchar_t* p, const wchar_t* pEnd, int& nNumber, CString& strText)
{
    while (p < pEnd && std::iswspace(*p))
        ++p;
    const bool bNegative = p < pEnd && *p == L'-';
    if (p < pEnd && (*p == L'-' || *p == L'+')) ++p;
    if (p == pEnd || !std::iswdigit(*p)) return;
    long long nValue = 0;
    for (; p < pEnd && std::iswdigit(*p); ++p)
    {
        nValue = nValue * 10 + (*p - L'0');
        if (nValue > static_cast<long long>(INT_MAX) + 1) return;
    }
    if (bNegative) nValue = -nValue;
    if (nValue > INT_MAX) return;
    nNumber = static_cast<int>(nValue);
    if (p < pEnd && *p == L'@' && p + 1 < pEnd) strText.SetString(p + 1, static_cast<int>(pEnd - (p + 1)));
}

// Reads a "code:sub;" list and gives each pair to mark.
template <typename Mark> void ForEachKey(LPCWSTR pszText, Mark mark)
{
    CList<CString, LPCWSTR> pieces;
    CStaticTools::ReadStringSeparatorListString(pszText, L';', pieces);
    CArray<long, long> numbers;
    for (POSITION pos = pieces.GetHeadPosition(); pos;)
    {
        CStaticTools::ReadStringSeparatorArrayLong(pieces.GetNext(pos), L':', numbers);
        if (numbers.GetSize() == 2) mark(static_cast<int>(numbers[0]), static_cast<int>(numbers[1]));
    }
}
} // namespace

bool CCallResultSettings::Result::operator==(const Result& other) const
{
    return m_nCode == other.m_nCode && m_nSubCode == other.m_nSubCode && m_strText == other.m_strText &&
           m_bVisible == other.m_bVisible && m_bDrop == other.m_bDrop;
}

BOOL CCallResultSettings::Result::IsSelectable() const
{
    return !((m_nCode >= 14 && m_nCode <= 16) || (m_nCode >= 22 && m_nCode <= 28));
}

BOOL CCallResultSettings::Result::IsSelectableFailure() const
{
    return m_nCode != 0 && m_nCode != 10 && IsSelectable();
}

CCallResultSettings::CCallResultSettings() = default;

CCallResultSettings::CCallResultSettings(const CCallResultSettings& other) = default;

CCallResultSettings& CCallResultSettings::operator=(const CCallResultSettings& other) = default;

CCallResultSettings::~CCallResultSettings() = default;

void CCallResultSettings::Clear()
{
    m_arrResults.RemoveAll();
    m_strResultsText.Empty();
    m_strHiddenText.Empty();
    m_strDropText.Empty();
    m_bLoaded = FALSE;
}

void CCallResultSettings::SetFromText(LPCWSTR pszResults, LPCWSTR pszHidden, LPCWSTR pszDrop)
{
    m_arrResults.RemoveAll();
    m_strResultsText = pszResults;
    m_strHiddenText = pszHidden;
    m_strDropText = pszDrop;
    m_bLoaded = TRUE;

    std::vector<Result>& results = m_arrResults.Items();
    const CString strText = m_strResultsText + L";";
    const wchar_t* p = strText.GetString();
    const wchar_t* const pEnd = p + strText.GetLength();
    bool bSubItem = false; // the item follows a "|"
    int nCurrentCode = 0;
    // One pass over the text: each item is looked at once, whatever the text holds.
    for (const wchar_t* pSeparator;
         (pSeparator = std::find_if(p, pEnd, [](wchar_t ch) { return ch == L'|' || ch == L';'; })) != pEnd;
         p = pSeparator + 1)
    {
        Result result;
        if (!bSubItem)
        {
            ScanItem(p, pSeparator, result.m_nCode, result.m_strText);
            nCurrentCode = result.m_nCode;
            results.push_back(result);
        }
        else
        {
            result.m_nCode = nCurrentCode;
            ScanItem(p, pSeparator, result.m_nSubCode, result.m_strText);
            if (result.m_nSubCode > 0) results.push_back(result);
        }
        bSubItem = *pSeparator == L'|';
    }

    std::map<CKey, size_t> index = IndexByKey(results);
    auto markKeys = [&](LPCWSTR pszKeys, bool bDrop) {
        ForEachKey(pszKeys, [&](int nCode, int nSubCode) {
            const auto [it, bNew] = index.emplace(CKey(nCode, nSubCode), results.size());
            if (bNew)
            {
                Result added;
                added.m_nCode = nCode;
                added.m_nSubCode = nSubCode;
                results.push_back(added);
            }
            if (bDrop)
                results[it->second].m_bDrop = TRUE;
            else
                results[it->second].m_bVisible = FALSE;
        });
    };
    markKeys(pszHidden, false);
    markKeys(pszDrop, true);
    SortResults(m_arrResults);
}

void CCallResultSettings::SetFromPropertyList(const CPropertyList& list, LPCWSTR pszPrefix)
{
    const CString strPrefix(pszPrefix);
    const CString strResults = list.GetPropertyString((strPrefix + L"UDRC").GetString(), L"");
    const CString strHidden = list.GetPropertyString((strPrefix + L"Hide").GetString(), L"");
    const CString strDrop = list.GetPropertyString((strPrefix + L"Drop").GetString(), L"");
    SetFromText(strResults.GetString(), strHidden.GetString(), strDrop.GetString());
}

void CCallResultSettings::SetFromPropertyText(LPCWSTR pszText)
{
    SetFromPropertyList(CPropertyList(pszText, false), L"");
}

void CCallResultSettings::GetTexts(CString& strResults, CString& strHidden, CString& strDrop)
{
    if (!m_bLoaded) BuildTexts(GetOverrides().get());
    strResults = m_strResultsText;
    strHidden = m_strHiddenText;
    strDrop = m_strDropText;
}

CString CCallResultSettings::GetResultsText()
{
    if (!m_bLoaded) BuildTexts(GetOverrides().get());
    return m_strResultsText;
}

CString CCallResultSettings::GetHiddenText()
{
    if (!m_bLoaded) BuildTexts(GetOverrides().get());
    return m_strHiddenText;
}

CString CCallResultSettings::GetDropText()
{
    if (!m_bLoaded) BuildTexts(GetOverrides().get());
    return m_strDropText;
}

void CCallResultSettings::AddToPropertyList(CPropertyList& list, LPCWSTR pszPrefix)
{
    CString strResults, strHidden, strDrop;
    GetTexts(strResults, strHidden, strDrop);
    const CString strPrefix(pszPrefix);
    list.SetProperty((strPrefix + L"UDRC").GetString(), strResults);
    list.SetProperty((strPrefix + L"Hide").GetString(), strHidden);
    list.SetProperty((strPrefix + L"Drop").GetString(), strDrop);
}

CString CCallResultSettings::GetPropertyText()
{
    CPropertyList list;
    AddToPropertyList(list, L"");
    return list.GetString();
}

void CCallResultSettings::BuildTexts(const CCallResultSettings* pOverrides)
{
    CResultArray merged;
    MergeResults(pOverrides ? pOverrides->m_arrResults : CResultArray(), m_arrResults, merged);

    CString strResults, strHidden, strDrop;
    bool bWritten = false;
    int nWrittenCode = 0;
    for (const Result& result : merged.Items())
    {
        if (result.m_strText.IsEmpty()) continue;
        if (result.m_nSubCode > 0)
        {
            if (!bWritten || nWrittenCode != result.m_nCode) strResults.AppendFormat(L";%d@", result.m_nCode);
            strResults.AppendFormat(L"|%d@%s", result.m_nSubCode, result.m_strText.GetString());
        }
        else
        {
            strResults.AppendFormat(L";%d@%s", result.m_nCode, result.m_strText.GetString());
        }
        bWritten = true;
        nWrittenCode = result.m_nCode;
    }
    strResults.Trim(L';');
    strResults.Trim();
    for (const Result& result : merged.Items())
    {
        if (!IsSelectableCode(result.m_nCode)) continue;
        if (!result.m_bVisible) strHidden.AppendFormat(L"%d:%d;", result.m_nCode, result.m_nSubCode);
        if (result.m_bDrop) strDrop.AppendFormat(L"%d:%d;", result.m_nCode, result.m_nSubCode);
    }
    m_strResultsText = strResults;
    m_strHiddenText = strHidden;
    m_strDropText = strDrop;
    m_bLoaded = TRUE;
}

void CCallResultSettings::AddResult(const Result& result)
{
    m_bLoaded = FALSE;
    std::vector<Result>& results = m_arrResults.Items();
    const auto it = std::find_if(results.begin(), results.end(), [&](const Result& r) {
        return r.m_nCode == result.m_nCode && r.m_nSubCode == result.m_nSubCode;
    });
    if (it != results.end())
        *it = result;
    else
        results.push_back(result);
}

void CCallResultSettings::SetResults(const CResultArray& results)
{
    m_bLoaded = FALSE;
    m_arrResults = results;
    SortResults(m_arrResults);
}

BOOL CCallResultSettings::FindResult(int nCode, int nSubCode, Result& result) const
{
    for (const Result& r : m_arrResults.Items())
    {
        if (r.m_nCode == nCode && r.m_nSubCode == nSubCode)
        {
            result = r;
            return TRUE;
        }
    }
    return FALSE;
}

CString CCallResultSettings::GetResultText(int nCode, int nSubCode) const
{
    if (nCode == -1 || nCode == 0)
    {
        CString strText;
        strText.LoadString(nCode == -1 ? kIdsNotCalled : kIdsSuccess);
        return strText;
    }
    CString strMain, strSub;
    auto isComplete = [&] { return !strMain.IsEmpty() && (nSubCode == 0 || !strSub.IsEmpty()); };
    // Fills only what is still empty, so the own results win over the current set.
    auto search = [&](const CResultArray& results) {
        for (const Result& r : results.Items())
        {
            if (isComplete()) break;
            if (r.m_nCode != nCode) continue;
            if (r.m_nSubCode == 0 && strMain.IsEmpty())
                strMain = r.m_strText;
            else if (nSubCode != 0 && r.m_nSubCode == nSubCode && strSub.IsEmpty())
                strSub = r.m_strText;
        }
    };
    search(m_arrResults);
    if (!isComplete()) search(GetCurrent()->m_arrResults);
    if (!strSub.IsEmpty()) strMain.AppendFormat(L" - %s", strSub.GetString());
    return strMain;
}

void CCallResultSettings::GetResults(CResultArray& results, BOOL bMerge) const
{
    if (bMerge)
        MergeResults(GetCurrent()->m_arrResults, m_arrResults, results);
    else
        results = m_arrResults;
}

BOOL CCallResultSettings::IsEqual(const CCallResultSettings& other) const
{
    if (&other == this) return TRUE;
    if (m_strResultsText != other.m_strResultsText || m_strHiddenText != other.m_strHiddenText ||
        m_strDropText != other.m_strDropText || m_bLoaded != other.m_bLoaded ||
        m_arrResults.GetSize() != other.m_arrResults.GetSize())
        return FALSE;
    const std::map<CKey, size_t> index = IndexByKey(m_arrResults.Items());
    for (const Result& theirs : other.m_arrResults.Items())
    {
        const auto it = index.find(CKey(theirs.m_nCode, theirs.m_nSubCode));
        const Result ours = it != index.end() ? m_arrResults[static_cast<INT_PTR>(it->second)] : Result();
        if (!(ours == theirs)) return FALSE;
    }
    return TRUE;
}

void CCallResultSettings::BuildDefaults(const std::shared_ptr<const CCallResultSettings>& pOverrides)
{
    auto pNewDefaults = std::make_shared<CCallResultSettings>();
    for (const CDefaultResult& row : kDefaultResults)
    {
        Result result;
        result.m_nCode = row.nCode;
        result.m_nSubCode = row.nSubCode;
        result.m_strText = LoadDefaultText(row);
        result.m_bVisible = IsSelectableCode(row.nCode);
        pNewDefaults->AddResult(result);
    }

    CPublishedSets& sets = PublishedSets();
    auto pNewCurrent = std::make_shared<CCallResultSettings>(*sets.current.load());
    CResultArray merged;
    MergeResults(pNewDefaults->m_arrResults, pOverrides ? pOverrides->m_arrResults : CResultArray(), merged);
    std::erase_if(merged.Items(), [](const Result& r) { return !IsValidKey(r.m_nCode, r.m_nSubCode); });
    pNewCurrent->SetResults(merged);

    // What is left is what the overrides change: results equal to their default go, and a text
    // equal to the default's is emptied so that only the flags count.
    auto pNewOverrides = std::make_shared<CCallResultSettings>(*sets.overrides.load());
    CResultArray changed = pNewCurrent->m_arrResults;
    std::vector<Result>& results = changed.Items();
    for (size_t i = results.size(); i-- > 0;)
    {
        Result defaultResult;
        if (!pNewDefaults->FindResult(results[i].m_nCode, results[i].m_nSubCode, defaultResult)) continue;
        if (results[i] == defaultResult)
            results.erase(results.begin() + static_cast<ptrdiff_t>(i));
        else if (results[i].m_strText == defaultResult.m_strText)
            results[i].m_strText.Empty();
    }
    pNewOverrides->SetResults(changed);

    // Readers may call the text getters of a copy only; the published objects get their texts
    // now, while start-up is still alone, and are never written again.
    pNewOverrides->BuildTexts(pNewOverrides.get());
    pNewCurrent->BuildTexts(pNewOverrides.get());
    pNewDefaults->BuildTexts(pNewOverrides.get());

    sets.defaults.store(std::move(pNewDefaults));
    sets.current.store(std::move(pNewCurrent));
    sets.overrides.store(std::move(pNewOverrides));
}

void CCallResultSettings::RebuildDefaults()
{
    BuildDefaults(GetDefaults());
}

std::shared_ptr<const CCallResultSettings> CCallResultSettings::GetCurrent()
{
    return PublishedSets().current.load();
}

std::shared_ptr<const CCallResultSettings> CCallResultSettings::GetDefaults()
{
    return PublishedSets().defaults.load();
}

std::shared_ptr<const CCallResultSettings> CCallResultSettings::GetOverrides()
{
    return PublishedSets().overrides.load();
}

BOOL CCallResultSettings::IsSelectableCode(int nCode)
{
    return nCode != 10 && !(nCode >= 14 && nCode <= 16) && !(nCode >= 22 && nCode <= 28);
}

bool CCallResultSettings::IsValidKey(int nCode, int nSubCode)
{
    return (nCode >= 0 && nCode <= 28 && nSubCode == 0) || (nCode == 9 && nSubCode >= 1 && nSubCode <= 3);
}

void CCallResultSettings::MergeResults(const CResultArray& base, const CResultArray& overrides, CResultArray& out)
{
    std::vector<Result> merged = base.Items(); // base and out may be one array
    std::map<CKey, size_t> index = IndexByKey(merged);
    for (const Result& result : overrides.Items())
    {
        const auto [it, bNew] = index.emplace(CKey(result.m_nCode, result.m_nSubCode), merged.size());
        if (bNew)
        {
            merged.push_back(result);
            continue;
        }
        Result& target = merged[it->second];
        if (!result.m_strText.IsEmpty()) target.m_strText = result.m_strText;
        target.m_bVisible = result.m_bVisible;
        target.m_bDrop = result.m_bDrop;
    }
    out.Items() = std::move(merged);
    SortResults(out);
}

void CCallResultSettings::SortResults(CResultArray& results)
{
    std::stable_sort(results.Items().begin(), results.Items().end(), [](const Result& a, const Result& b) {
        return a.m_nCode != b.m_nCode ? a.m_nCode < b.m_nCode : a.m_nSubCode < b.m_nSubCode;
    });
}
