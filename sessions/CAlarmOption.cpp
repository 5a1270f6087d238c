#include "sessions/CAlarmOption.h"
#include "core/CStaticTools.h"
#include "framework/CStringArray.h"
#include <algorithm>
#include <iterator>

CAlarmOption::CAlarmOption() = default;

CAlarmOption::CAlarmOption(const CAlarmOption& other) = default;

CAlarmOption::~CAlarmOption() = default;

CAlarmOption& CAlarmOption::Assign(const CAlarmOption& other)
{
    if (&other != this)
    {
        std::copy(std::begin(other.m_bSwitches), std::end(other.m_bSwitches), m_bSwitches);
        std::copy(std::begin(other.m_nLimits), std::end(other.m_nLimits), m_nLimits);
    }
    return *this;
}

void CAlarmOption::SetFromText(LPCWSTR pszText)
{
    std::fill(std::begin(m_bSwitches), std::end(m_bSwitches), false);
    CStringArray items;
    CStaticTools::LireChaineSeparateurString(pszText, L';', items);
    CStringArray parts;
    for (const CString& item : items)
    {
        CStaticTools::LireChaineSeparateurString(item, L':', parts);
        long nId = 0;
        long nValue = 0;
        if (parts.GetSize() != 2 || !CStaticTools::EstLong(parts[1].GetString(), nValue) ||
            !CStaticTools::EstLong(parts[0].GetString(), nId))
            continue;
        if (nId >= kFirstSwitchId && nId < kFirstSwitchId + kSwitchCount)
            m_bSwitches[nId - kFirstSwitchId] = true;
        else if (nId >= kFirstLimitId && nId < kFirstLimitId + kLimitCount)
            m_nLimits[nId - kFirstLimitId] = CStaticTools::ToShort(parts[1].GetString());
    }
}

CString CAlarmOption::GetText() const
{
    CString strText;
    for (int i = 0; i < kSwitchCount; ++i)
    {
        if (m_bSwitches[i]) strText.AppendFormat(L"%d:0;", kFirstSwitchId + i);
    }
    if (IsOn(kQualityAlarmId))
    {
        for (int i = 0; i < kLimitCount; ++i)
            strText.AppendFormat(L"%d:%d;", kFirstLimitId + i, static_cast<int>(m_nLimits[i]));
    }
    return strText;
}

bool CAlarmOption::IsOn(int nAlarmId) const
{
    const int i = nAlarmId - kFirstSwitchId;
    return i >= 0 && i < kSwitchCount && m_bSwitches[i];
}

short CAlarmOption::GetLimit(int nLimitId) const
{
    const int i = nLimitId - kFirstLimitId;
    return i >= 0 && i < kLimitCount ? m_nLimits[i] : static_cast<short>(0);
}
