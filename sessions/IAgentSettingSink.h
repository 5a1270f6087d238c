#pragma once
#include "framework/CString.h"

// Where the session core hands an agent setting that Jex pushed (kind 2). The agent-settings
// store implements it: it reads the text into a setting and commits it through an edit, retrying
// while another writer was quicker.
class IAgentSettingSink
{
public:
    virtual ~IAgentSettingSink() = default;
    // strProperties: the setting's property-list text as it came in UPDASE.
    virtual void StoreAgentSetting(long nSettingId, const CString& strProperties) = 0;
};
