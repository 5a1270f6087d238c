#include "sessions/AgentSettingEdit.h"

AgentSettingEdit::AgentSettingEdit(std::shared_ptr<const CAgentSetting> pBase)
{
    Refresh(std::move(pBase));
}

void AgentSettingEdit::Refresh(std::shared_ptr<const CAgentSetting> pCurrent)
{
    m_pBase = std::move(pCurrent);
    m_pCopy = m_pBase ? std::make_shared<CAgentSetting>(*m_pBase) : nullptr;
}
