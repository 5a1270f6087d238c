#pragma once
#include "sessions/CJexObject.h"
#include <cstdint>
#include <vector>

// One typed setting value that Jex keeps (yes/no, number with limits, text, date-time, or number
// and text) with its default, a restart flag and an is-default flag, and its property-list text
// form, which travels in UPDASE and SAVASE. A derived class knows the settings by id: it fills key
// name, type and defaults in InitDefaults.
class CSettingBase : public CJexObject
{
    DECLARE_DYNAMIC(CSettingBase)

public:
    // Value types as the text form treats them; any other type carries no value.
    enum : int32_t
    {
        typeUnknown = 0,
        typeYesNo = 1,
        typeNumber = 2, // with limits
        typeText = 3,
        typeDateTime = 4,
        typeNone = 5,
        typePlainNumber = 6,
        typeNumberAndText = 7, // without limits
        typeDateTime2 = 8,
    };

    explicit CSettingBase(int32_t nOwner);
    CSettingBase(int32_t nOwner, int32_t nId);
    CSettingBase(const CSettingBase& other);
    CSettingBase& operator=(const CSettingBase& other);
    ~CSettingBase() override = default;

    void Assign(const CJexObject& other) override; // copies only from another setting
    void SetProperties(const CString& strText) override;
    CString GetProperties() const override;
    virtual void CopySetting(const CSettingBase& other);
    // Sets key name, type and defaults for the id; FALSE for an id it does not know.
    virtual BOOL InitDefaults() = 0;

    // Limited to [minimum, maximum], except type 7, which widens its limits to the whole range.
    void SetValue(int32_t nValue);
    // "hh:mm" of the (default) date in local time; "-01:-01" for a date that is not valid.
    CString GetTimeText(BOOL bUseDefault) const;
    // "h:mm" or "hh:mm" as today's local time, stored in UTC; FALSE leaves the setting unchanged.
    BOOL SetTimeText(const CString& strText);
    BOOL IsEqual(const CSettingBase& other) const;

    // The same status, and for valid dates less than half a second apart; invalid dates never match.
    static bool AreDatesEqual(const COleDateTime& a, const COleDateTime& b);

    int32_t m_nType = typeNumber;
    bool m_bInitialising = true; // until InitDefaults has run
    bool m_bFlag2 = false;
    bool m_bFlag3 = true;
    int32_t m_nValue = 0;
    int32_t m_nDefaultValue = 0;
    int32_t m_nMinimum = 0;
    int32_t m_nMaximum = 0;
    CString m_strValue;
    CString m_strDefault;
    COleDateTime m_dtValue; // kept in UTC
    COleDateTime m_dtDefault;
    bool m_bRestart = false; // a change takes effect only after a restart
    std::vector<int32_t> m_intList;
    std::vector<uint32_t> m_uintList;
    bool m_bIsDefaultValue = true; // readers then take the default members
};
