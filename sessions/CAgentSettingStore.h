#pragma once
#include "framework/COleDateTime.h"
#include "framework/CString.h"
#include "framework/CStringArray.h"
#include "sessions/AgentSettingEdit.h"
#include "sessions/CAgentSetting.h"
#include "sessions/CLFObjectMap.h"
#include <cstdint>
#include <functional>
#include <memory>

// The agent settings that Jex pushes after log-on and the agent changes: one map of immutable
// versions by setting id, typed readers that fall back to the built-in defaults, and writers that
// copy, edit and exchange against the version they copied, repeating on the newer version when
// another writer was quicker. The application object owns one and forwards to it.
class CAgentSettingStore
{
public:
    using TraceFunction = std::function<void(const CString& strLine)>;

    CAgentSettingStore();
    CAgentSettingStore(const CAgentSettingStore&) = delete;
    CAgentSettingStore& operator=(const CAgentSettingStore&) = delete;

    // The stored version; with bCreate a missing setting is first stored with the defaults of its id.
    std::shared_ptr<const CAgentSetting> LookupAgentSetting(int32_t nId, BOOL bCreate);
    // Stores the setting under its own id, replacing any other version; FALSE only for null.
    BOOL InsertAgentSetting(std::shared_ptr<CAgentSetting> pSetting, BOOL bMark);
    // TRUE when the edit is finished. FALSE when another writer published first: the edit then holds
    // a copy of the newer version, and the caller applies its change to it and commits again. After
    // more than 20 failed tries in a row the change is given up, a trace line says so, and the result
    // is TRUE, as callers stop on it.
    BOOL CommitAgentSettingEdit(AgentSettingEdit& edit, BOOL bMark);
    // A setting Jex sent (UPDASE of kind 2) replaces the stored one of its id.
    void StoreAgentSetting(const CAgentSetting& received);

    static std::shared_ptr<CAgentSetting> MakeAgentSetting(int32_t nId);
    // The stored setting, or a new one with the defaults of the id, which is then stored.
    std::shared_ptr<const CAgentSetting> GetAgentSettingOrDefault(int32_t nId);
    // Each takes the default member when bUseDefault or the setting's IsDefaultValue is set.
    bool GetAgentSettingBool(int32_t nId, BOOL bUseDefault);
    int32_t GetAgentSettingLong(int32_t nId, BOOL bUseDefault); // limited to [minimum, maximum]
    CString GetAgentSettingString(int32_t nId, BOOL bUseDefault);
    COleDateTime GetAgentSettingDate(int32_t nId, BOOL bUseDefault);
    BOOL GetSettingsImportedInDB() { return GetAgentSettingBool(kSettingsImportedInDB, FALSE); }
    BOOL GetToolbarOnTopSetting() { return GetAgentSettingBool(kToolbarOnTop, FALSE); }

    // Change a stored setting; one that is not stored stays absent. With bCompare a value equal to the
    // setting's default leaves the setting as it is.
    void SetAgentSettingBool(int32_t nId, bool bValue, BOOL bCompare);
    void SetAgentSettingLong(int32_t nId, int32_t nValue, BOOL bCompare);
    void SetAgentSettingString(int32_t nId, const CString& strValue, BOOL bCompare);
    void SetAgentSettingDate(int32_t nId, const COleDateTime& dtValue, BOOL bCompare);
    void SetSettingsImportedInDB(bool bValue) { SetAgentSettingBool(kSettingsImportedInDB, bValue, FALSE); }
    void SetToolbarOnTopSetting(bool bValue) { SetAgentSettingBool(kToolbarOnTop, bValue, FALSE); }
    void DeleteAgentSetting(int32_t nId); // the setting stays, marked deleted

    // The text forms of every setting not deleted, by id: what goes back to Jex at exit.
    void GetUploadTexts(CStringArray& texts) const;
    CLFObjectMap<CAgentSetting>& GetMap() { return m_map; }
    // Where the give-up lines go; an empty function restores the default, the debugger's output.
    void SetTraceFunction(TraceFunction trace);

    static constexpr int32_t kSettingsImportedInDB = 1;
    static constexpr int32_t kToolbarOnTop = 1000;
    static constexpr int32_t kMaxFailedTries = 20;

private:
    // Stores the object only when its id holds nothing yet; FALSE when another writer was first.
    BOOL InsertIfAbsent(const std::shared_ptr<CAgentSetting>& pSetting, BOOL bMark);
    // Applies change to a copy of the stored setting until the copy is published or given up.
    void EditAgentSetting(int32_t nId, const std::function<void(CAgentSetting&)>& change);

    CLFObjectMap<CAgentSetting> m_map;
    TraceFunction m_trace;
};
