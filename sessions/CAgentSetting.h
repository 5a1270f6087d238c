#pragma once
#include "sessions/CAgentSettingBase.h"
#include "sessions/CLFObjectMapClass.h"

// An agent setting as the agent-settings map keeps it.
class CAgentSetting : public CAgentSettingBase, public CLFObjectMapClass<CAgentSetting>
{
    DECLARE_DYNCREATE(CAgentSetting)

public:
    CAgentSetting();
    explicit CAgentSetting(int32_t nId);
    CAgentSetting(const CAgentSetting& other);
    CAgentSetting& operator=(const CAgentSetting& other) = default;
    ~CAgentSetting() override;
};
