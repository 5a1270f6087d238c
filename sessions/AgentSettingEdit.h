#pragma once
#include "sessions/CAgentSetting.h"
#include <memory>

// One change of an agent setting in progress: a private copy of the version the change started
// from, to be exchanged in against that version (CAgentSettingStore::CommitAgentSettingEdit).
class AgentSettingEdit
{
public:
    // The copy is made from the base version; without one there is nothing to copy yet.
    explicit AgentSettingEdit(std::shared_ptr<const CAgentSetting> pBase);
    AgentSettingEdit(const AgentSettingEdit&) = delete;
    AgentSettingEdit& operator=(const AgentSettingEdit&) = delete;

    // Starts again from the version now published: a fresh copy of it, or none when it is gone.
    void Refresh(std::shared_ptr<const CAgentSetting> pCurrent);

    std::shared_ptr<CAgentSetting> m_pCopy;
    std::shared_ptr<const CAgentSetting> m_pBase;
    std::shared_ptr<const CAgentSetting> m_pPrevious; // set by the commit
    int32_t m_nFailedTries = 0;
};
