#include "standins/tarvex/CQuestion.h"
#include "standins/tarvex/CListe.h"
#include "standins/tarvex/CTarvexJournal.h"

bool CQuestion::IsClosedSubKind(int nSubKind)
{
    return nSubKind == kTvxSubSingle || nSubKind == kTvxSubMultiple || nSubKind == kTvxSubOrdered;
}

void CQuestion::DonnerModalites(CListe& array, bool /*bIncludingLinked*/) const
{
    for (const CModalite& modalite : m_modalites)
        array.AddEngineObjet(new CModalite(modalite));
    CTarvexJournal::Append(L"CQuestion", L"DonnerModalites", m_strName, CTarvexJournal::FromLong(array.GetCount()));
}

void CQuestion::DonnerCodeModalites(std::vector<long>& codes, bool bIncludingLinked) const
{
    GetAllModalityCodes(codes, bIncludingLinked);
    if (m_bOther) codes.push_back(kTvxCodeSemiOpen);
    if (m_bDontKnow) codes.push_back(kTvxCodeDontKnow);
}

void CQuestion::GetAllModalityCodes(std::vector<long>& codes, bool /*bIncludingLinked*/) const
{
    codes.clear();
    for (const CModalite& modalite : m_modalites)
        codes.push_back(modalite.m_nCode);
}

const CModalite* CQuestion::FindModaliteById(long nCode) const
{
    for (const CModalite& modalite : m_modalites)
        if (modalite.m_nCode == nCode) return &modalite;
    return nullptr;
}

int CQuestion::TransformCodeIntoOrder(long nCode) const
{
    for (size_t i = 0; i < m_modalites.size(); ++i)
        if (m_modalites[i].m_nCode == nCode) return static_cast<int>(i) + 1;
    return 0;
}

const CSemiOpen* CQuestion::GetSemiOpen(int i) const
{
    return i >= 0 && i < GetSemiOpenCount() ? &m_semiOpens[static_cast<size_t>(i)] : nullptr;
}

COleDateTime CQuestion::CombineDateTime(int nDateKind, const COleDateTime& date, const COleDateTime& time)
{
    const bool bDate = nDateKind != 2;
    const bool bTime = nDateKind != 1;
    if ((bDate && date.GetStatus() != COleDateTime::valid) || (bTime && time.GetStatus() != COleDateTime::valid))
    {
        COleDateTime none;
        none.SetStatus(COleDateTime::null);
        return none;
    }
    const double dDay = bDate ? static_cast<double>(static_cast<long long>(static_cast<DATE>(date))) : 0.0;
    double dTime = 0;
    if (bTime)
    {
        const double dAll = static_cast<DATE>(time);
        dTime = dAll - static_cast<double>(static_cast<long long>(dAll));
        if (dTime < 0) dTime = -dTime; // dates before 1899 keep their time as a positive fraction
    }
    return COleDateTime(dDay + dTime);
}

CString CQuestion::FormatDateTime(double dValue, int /*nLanguage*/) const
{
    if (dValue == kTvxNoValue) return CString();
    const COleDateTime value(dValue);
    switch (m_nDateKind)
    {
    case 2:
        return value.Format(L"%H:%M");
    case 3:
        return value.Format(L"%d/%m/%Y %H:%M");
    default:
        return value.Format(L"%d/%m/%Y");
    }
}
