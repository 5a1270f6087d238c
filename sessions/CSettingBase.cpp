#include "sessions/CSettingBase.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "core/CTimeTools.h"
#include <cmath>
#include <limits>

IMPLEMENT_DYNAMIC(CSettingBase, CJexObject)

namespace
{
constexpr double kHalfSecondInDays = 5.787037037037037e-6;
}

CSettingBase::CSettingBase(int32_t nOwner) : CJexObject(nOwner)
{
    m_nFlag = 0;
}

CSettingBase::CSettingBase(int32_t nOwner, int32_t nId) : CJexObject(nOwner)
{
    m_nFlag = 0;
    m_nId = nId;
}

CSettingBase::CSettingBase(const CSettingBase& other) : CJexObject(other)
{
    CopySetting(other);
}

CSettingBase& CSettingBase::operator=(const CSettingBase& other)
{
    CopySetting(other);
    return *this;
}

void CSettingBase::Assign(const CJexObject& other)
{
    if (other.IsKindOf(RUNTIME_CLASS(CSettingBase))) CopySetting(static_cast<const CSettingBase&>(other));
}

void CSettingBase::CopySetting(const CSettingBase& other)
{
    if (&other == this) return;
    Copy(other);
    m_nType = other.m_nType;
    m_bInitialising = other.m_bInitialising;
    m_bFlag2 = other.m_bFlag2;
    m_bFlag3 = other.m_bFlag3;
    m_nValue = other.m_nValue;
    m_nDefaultValue = other.m_nDefaultValue;
    m_nMinimum = other.m_nMinimum;
    m_nMaximum = other.m_nMaximum;
    m_strValue = other.m_strValue;
    m_strDefault = other.m_strDefault;
    m_dtValue = other.m_dtValue;
    m_dtDefault = other.m_dtDefault;
    m_bRestart = other.m_bRestart;
    m_intList = other.m_intList;
    m_uintList = other.m_uintList;
    m_bIsDefaultValue = other.m_bIsDefaultValue;
}

void CSettingBase::SetValue(int32_t nValue)
{
    m_bIsDefaultValue = false;
    if (m_nType == typeNumberAndText)
    {
        m_nMinimum = std::numeric_limits<int32_t>::min();
        m_nMaximum = std::numeric_limits<int32_t>::max();
        m_nValue = nValue;
        return;
    }
    m_nValue = nValue < m_nMinimum ? m_nMinimum : nValue > m_nMaximum ? m_nMaximum : nValue;
}

CString CSettingBase::GetTimeText(BOOL bUseDefault) const
{
    const COleDateTime& dtUtc = bUseDefault || m_bIsDefaultValue ? m_dtDefault : m_dtValue;
    int nHour = -1, nMinute = -1;
    if (dtUtc.GetStatus() == COleDateTime::valid)
    {
        const COleDateTime dtLocal = CTimeTools::DateTimeUTCToLocal(dtUtc, false);
        if (dtLocal.GetStatus() == COleDateTime::valid)
        {
            nHour = dtLocal.GetHour();
            nMinute = dtLocal.GetMinute();
        }
    }
    CString text;
    text.Format(L"%2.2d:%2.2d", nHour, nMinute);
    return text;
}

BOOL CSettingBase::SetTimeText(const CString& strText)
{
    const int nColon = strText.Find(L':');
    if ((nColon != 1 && nColon != 2) || nColon == strText.GetLength() - 1) return FALSE;
    long nHour = 0, nMinute = 0;
    if (!CStaticTools::EstLong(strText.Left(nColon), nHour) || !CStaticTools::EstLong(strText.Mid(nColon + 1), nMinute))
        return FALSE;
    if (nHour < 0 || nHour > 23 || nMinute < 0 || nMinute > 59) return FALSE;
    COleDateTime dtLocal = CTimeTools::GetDatePart(CTimeTools::GetCurrentTimeLocal());
    dtLocal += COleDateTimeSpan(0, static_cast<int>(nHour), static_cast<int>(nMinute), 0);
    const COleDateTime dtUtc = CTimeTools::DateTimeLocalToUTC(dtLocal, false);
    if (dtUtc.GetStatus() != COleDateTime::valid) return FALSE;
    m_dtValue = dtUtc;
    m_bIsDefaultValue = false;
    return TRUE;
}

bool CSettingBase::AreDatesEqual(const COleDateTime& a, const COleDateTime& b)
{
    if (a.GetStatus() != b.GetStatus()) return false;
    if (a.GetStatus() == COleDateTime::null) return true;
    if (a.GetStatus() != COleDateTime::valid) return false;
    // In the linear form: before 1900 the raw values run backwards within a day.
    return std::fabs(COleDateTime::DoubleFromDate(b.m_dt) - COleDateTime::DoubleFromDate(a.m_dt)) < kHalfSecondInDays;
}

BOOL CSettingBase::IsEqual(const CSettingBase& other) const
{
    if (m_nType != other.m_nType || m_bInitialising != other.m_bInitialising || m_bFlag2 != other.m_bFlag2 ||
        m_bFlag3 != other.m_bFlag3 || m_nValue != other.m_nValue || m_nDefaultValue != other.m_nDefaultValue ||
        m_nMinimum != other.m_nMinimum || m_nMaximum != other.m_nMaximum || m_strValue != other.m_strValue ||
        m_strDefault != other.m_strDefault || !AreDatesEqual(m_dtValue, other.m_dtValue) ||
        !AreDatesEqual(m_dtDefault, other.m_dtDefault) || m_bRestart != other.m_bRestart ||
        m_bIsDefaultValue != other.m_bIsDefaultValue || m_intList != other.m_intList || m_uintList != other.m_uintList)
        return FALSE;
    return CJexObject::IsEqual(other);
}

CString CSettingBase::GetProperties() const
{
    CPropertyList list;
    list.SetProperty(L"Id", static_cast<long>(m_nId));
    list.SetProperty(L"Name", m_strName);
    if (m_bDeleted) list.SetProperty(L"Del", 1L);
    if (m_bRestart) list.SetProperty(L"Restart", 1L);
    if (m_bIsDefaultValue) list.SetProperty(L"IsDefaultValue", 1L);
    list.SetProperty(L"Type", static_cast<long>(m_nType));
    switch (m_nType)
    {
    case typeYesNo:
    case typeNumber:
    case typePlainNumber:
        list.SetProperty(L"Value", static_cast<long>(m_nValue));
        break;
    case typeText:
        list.SetProperty(L"Value", m_strValue);
        break;
    case typeDateTime:
    case typeDateTime2:
        list.SetProperty(L"Value", m_dtValue, false);
        break;
    case typeNumberAndText:
        list.SetProperty(L"lValue", static_cast<long>(m_nValue));
        list.SetProperty(L"strValue", m_strValue);
        break;
    default: // type 5 and unknown types carry no value
        break;
    }
    return list.GetString();
}

void CSettingBase::SetProperties(const CString& strText)
{
    const CPropertyList list(strText, false);
    long nId = 0;
    if (list.GetProperty(L"Id", nId)) m_nId = static_cast<int32_t>(nId);
    list.GetProperty(L"Name", m_strName); // emptied when absent
    m_bDeleted = list.GetPropertyBool(L"Del", false);
    m_bRestart = list.GetPropertyBool(L"Restart", false);
    m_bIsDefaultValue = list.GetPropertyBool(L"IsDefaultValue", false);
    InitDefaults();
    // The text's own "Type" is not trusted: the id decides how the value is read.
    switch (m_nType)
    {
    case typeYesNo:
    case typeNumber:
    case typePlainNumber: {
        long nValue = 0;
        if (list.GetProperty(L"Value", nValue)) m_nValue = static_cast<int32_t>(nValue); // not limited here
        break;
    }
    case typeText:
        list.GetProperty(L"Value", m_strValue);
        break;
    case typeDateTime:
    case typeDateTime2: {
        COleDateTime date;
        if (list.GetProperty(L"Value", date, false)) m_dtValue = date;
        break;
    }
    case typeNumberAndText:
        SetValue(static_cast<int32_t>(list.GetPropertyLong(L"lValue", 0L)));
        list.GetProperty(L"strValue", m_strValue);
        break;
    default:
        break;
    }
}
