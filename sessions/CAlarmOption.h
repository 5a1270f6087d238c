#pragma once
#include "framework/CString.h"

// The alarms Jex wants to receive from this desktop (switches 801 to 807) and the limits of the
// softphone's quality alarm (808 to 812), which apply while switch 807 is on. The text form is a
// run of "id:value;" items.
class CAlarmOption
{
public:
    static constexpr int kFirstSwitchId = 801;
    static constexpr int kSwitchCount = 7;
    static constexpr int kQualityAlarmId = 807;
    static constexpr int kFirstLimitId = 808;
    static constexpr int kLimitCount = 5;

    CAlarmOption();
    CAlarmOption(const CAlarmOption& other);
    virtual ~CAlarmOption();

    virtual CAlarmOption& Assign(const CAlarmOption& other);
    // Every switch the text does not name is turned off; limits it does not name keep their value.
    virtual void SetFromText(LPCWSTR pszText);
    virtual CString GetText() const;

    bool IsOn(int nAlarmId) const;      // false for ids outside 801 to 807
    short GetLimit(int nLimitId) const; // 0 for ids outside 808 to 812

    // By id: m_bSwitches[id - 801], m_nLimits[id - 808].
    bool m_bSwitches[kSwitchCount] = {};
    short m_nLimits[kLimitCount] = {1, 100, 30, 40, 80};
};
