#include "sessions/CAgentSettingStore.h"

namespace
{
void TraceToDebugger(const CString& strLine)
{
    ::OutputDebugStringW(strLine.GetString());
    ::OutputDebugStringW(L"\n");
}

int32_t Limit(int32_t nValue, int32_t nMinimum, int32_t nMaximum)
{
    return nValue < nMinimum ? nMinimum : nValue > nMaximum ? nMaximum : nValue;
}

// What a setter stores on the copy: the setting is live again and holds its own value.
void MarkChanged(CAgentSetting& setting)
{
    setting.m_bDeleted = false;
    setting.m_bIsDefaultValue = false;
}
} // namespace

CAgentSettingStore::CAgentSettingStore() : m_trace(TraceToDebugger) {}

void CAgentSettingStore::SetTraceFunction(TraceFunction trace)
{
    m_trace = trace ? std::move(trace) : TraceFunction(TraceToDebugger);
}

std::shared_ptr<const CAgentSetting> CAgentSettingStore::LookupAgentSetting(int32_t nId, BOOL bCreate)
{
    std::shared_ptr<const CAgentSetting> pSetting = m_map.Lookup(nId);
    if (pSetting || !bCreate) return pSetting;
    InsertIfAbsent(MakeAgentSetting(nId), TRUE);
    return m_map.Lookup(nId);
}

BOOL CAgentSettingStore::InsertAgentSetting(std::shared_ptr<CAgentSetting> pSetting, BOOL bMark)
{
    return m_map.Insert(std::move(pSetting), bMark);
}

BOOL CAgentSettingStore::InsertIfAbsent(const std::shared_ptr<CAgentSetting>& pSetting, BOOL bMark)
{
    // A plain insert would overwrite a version another writer stored since our look-up.
    if (bMark) pSetting->SetState();
    return m_map.CompareExchange(nullptr, pSetting);
}

BOOL CAgentSettingStore::CommitAgentSettingEdit(AgentSettingEdit& edit, BOOL bMark)
{
    if (!edit.m_pCopy) return TRUE; // the setting is gone: nothing left to publish
    const int32_t nId = edit.m_pCopy->m_nId;
    // Without a base version this is the first version of the id: it goes in only while the id holds
    // nothing, so that a version stored meanwhile is refreshed into the copy rather than overwritten.
    const BOOL bDone =
        edit.m_pBase ? m_map.CompareExchange(edit.m_pBase, edit.m_pCopy) : InsertIfAbsent(edit.m_pCopy, bMark);
    edit.m_nFailedTries = bDone ? 0 : edit.m_nFailedTries + 1;
    if (edit.m_nFailedTries > kMaxFailedTries)
    {
        edit.m_pPrevious = edit.m_pBase;
        CString strLine;
        strLine.Format(L"Agent setting %ld: change given up after %d failed tries in a row", static_cast<long>(nId),
                       static_cast<int>(edit.m_nFailedTries));
        m_trace(strLine);
        return TRUE;
    }
    edit.m_pPrevious = bDone ? edit.m_pBase : nullptr;
    edit.Refresh(LookupAgentSetting(nId, FALSE));
    return bDone;
}

void CAgentSettingStore::StoreAgentSetting(const CAgentSetting& received)
{
    AgentSettingEdit edit(LookupAgentSetting(received.m_nId, FALSE));
    do
    {
        if (edit.m_pCopy)
            *edit.m_pCopy = received;
        else
            edit.m_pCopy = std::make_shared<CAgentSetting>(received);
    } while (!CommitAgentSettingEdit(edit, TRUE));
}

std::shared_ptr<CAgentSetting> CAgentSettingStore::MakeAgentSetting(int32_t nId)
{
    return std::make_shared<CAgentSetting>(nId);
}

std::shared_ptr<const CAgentSetting> CAgentSettingStore::GetAgentSettingOrDefault(int32_t nId)
{
    if (std::shared_ptr<const CAgentSetting> pStored = LookupAgentSetting(nId, FALSE)) return pStored;
    std::shared_ptr<CAgentSetting> pDefault = MakeAgentSetting(nId);
    if (InsertIfAbsent(pDefault, TRUE)) return pDefault;
    std::shared_ptr<const CAgentSetting> pStored = LookupAgentSetting(nId, FALSE); // another writer was first
    return pStored ? pStored : pDefault;
}

bool CAgentSettingStore::GetAgentSettingBool(int32_t nId, BOOL bUseDefault)
{
    const auto pSetting = GetAgentSettingOrDefault(nId);
    return (bUseDefault || pSetting->m_bIsDefaultValue ? pSetting->m_nDefaultValue : pSetting->m_nValue) != 0;
}

int32_t CAgentSettingStore::GetAgentSettingLong(int32_t nId, BOOL bUseDefault)
{
    const auto pSetting = GetAgentSettingOrDefault(nId);
    const int32_t nValue = bUseDefault || pSetting->m_bIsDefaultValue ? pSetting->m_nDefaultValue : pSetting->m_nValue;
    return Limit(nValue, pSetting->m_nMinimum, pSetting->m_nMaximum);
}

CString CAgentSettingStore::GetAgentSettingString(int32_t nId, BOOL bUseDefault)
{
    const auto pSetting = GetAgentSettingOrDefault(nId);
    return bUseDefault || pSetting->m_bIsDefaultValue ? pSetting->m_strDefault : pSetting->m_strValue;
}

COleDateTime CAgentSettingStore::GetAgentSettingDate(int32_t nId, BOOL bUseDefault)
{
    const auto pSetting = GetAgentSettingOrDefault(nId);
    return bUseDefault || pSetting->m_bIsDefaultValue ? pSetting->m_dtDefault : pSetting->m_dtValue;
}

void CAgentSettingStore::EditAgentSetting(int32_t nId, const std::function<void(CAgentSetting&)>& change)
{
    std::shared_ptr<const CAgentSetting> pStored = LookupAgentSetting(nId, FALSE);
    if (!pStored) return;
    AgentSettingEdit edit(std::move(pStored));
    // Each failed commit refreshed the copy from the newer version, so the change is made again on
    // it; the commit gives up after a bounded number of rounds.
    do
    {
        if (!edit.m_pCopy) return; // removed meanwhile
        change(*edit.m_pCopy);
    } while (!CommitAgentSettingEdit(edit, TRUE));
}

void CAgentSettingStore::SetAgentSettingBool(int32_t nId, bool bValue, BOOL bCompare)
{
    EditAgentSetting(nId, [&](CAgentSetting& setting) {
        if (bCompare && bValue == (setting.m_nDefaultValue != 0)) return;
        MarkChanged(setting);
        setting.m_nValue = bValue ? 1 : 0;
    });
}

void CAgentSettingStore::SetAgentSettingLong(int32_t nId, int32_t nValue, BOOL bCompare)
{
    EditAgentSetting(nId, [&](CAgentSetting& setting) {
        if (bCompare && nValue == Limit(setting.m_nDefaultValue, setting.m_nMinimum, setting.m_nMaximum)) return;
        MarkChanged(setting);
        setting.SetValue(nValue); // limited, or for type 7 stored with the limits widened
    });
}

void CAgentSettingStore::SetAgentSettingString(int32_t nId, const CString& strValue, BOOL bCompare)
{
    EditAgentSetting(nId, [&](CAgentSetting& setting) {
        if (bCompare && strValue == setting.m_strDefault) return;
        MarkChanged(setting);
        setting.m_strValue = strValue;
    });
}

void CAgentSettingStore::SetAgentSettingDate(int32_t nId, const COleDateTime& dtValue, BOOL bCompare)
{
    EditAgentSetting(nId, [&](CAgentSetting& setting) {
        if (bCompare && CSettingBase::AreDatesEqual(dtValue, setting.m_dtDefault)) return;
        MarkChanged(setting);
        setting.m_dtValue = dtValue; // with its status
    });
}

void CAgentSettingStore::DeleteAgentSetting(int32_t nId)
{
    EditAgentSetting(nId, [](CAgentSetting& setting) { setting.m_bDeleted = true; });
}

void CAgentSettingStore::GetUploadTexts(CStringArray& texts) const
{
    texts.RemoveAll();
    CAgentSetting::Loop loop(m_map, FALSE);
    while (const auto pSetting = loop.GetNext())
        texts.Add(pSetting->GetProperties());
}
