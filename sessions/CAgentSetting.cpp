#include "sessions/CAgentSetting.h"

IMPLEMENT_DYNCREATE(CAgentSetting, CAgentSettingBase)

CAgentSetting::CAgentSetting() = default;

CAgentSetting::CAgentSetting(int32_t nId) : CAgentSettingBase(nId) {}

CAgentSetting::CAgentSetting(const CAgentSetting& other) : CAgentSettingBase(other), CLFObjectMapClass(other) {}

CAgentSetting::~CAgentSetting() = default;
