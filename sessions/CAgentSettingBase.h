#pragma once
#include "sessions/CSettingBase.h"

// An agent setting: its id picks key name, type, default and maximum from the table of agent
// settings that Jex stores for every agent.
class CAgentSettingBase : public CSettingBase
{
    DECLARE_DYNCREATE(CAgentSettingBase)

public:
    CAgentSettingBase();                     // owner -1, id -1, no defaults
    explicit CAgentSettingBase(int32_t nId); // owner -1 and the defaults of the id
    CAgentSettingBase(const CAgentSettingBase& other);
    ~CAgentSettingBase() override = default;

    void Assign(const CJexObject& other) override; // copies only from another agent setting
    BOOL InitDefaults() override;
    virtual CAgentSettingBase& operator=(const CAgentSettingBase& other);
    virtual BOOL IsEqual(const CAgentSettingBase& other) const;
    using CJexObject::IsEqual;
};
