#include "clientctl/CLumoClientAgentRequests.h"
#include "clientctl/CLumoClientCallCollection.h"
#include "clientctl/CLumoClientCtrl.h"
#include "clientctl/CLumoSocket.h"
#include "clientctl/ClientRequestGuards.h"
#include "core/CMailMessage.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"

namespace
{
constexpr short kSpeaker = 1;
constexpr short kMicrophone = 2;
constexpr WORD kVolumeUnknown = 0x8000;
const wchar_t kLumoNotConnected[] = L"Lumo is not connected!";
} // namespace

CLumoClientAgentRequests::CLumoClientAgentRequests(CLumoClientCtrl& ctrl) : m_ctrl(ctrl)
{
}

// ---------------------------------------------------------------------------------------------
// Properties

HRESULT CLumoClientAgentRequests::get_IsPossibleMessageMaster(VARIANT_BOOL* pVal)
{
    if (!pVal) return m_ctrl.RefuseMissing(L"get_IsPossibleMessageMaster", L"pVal");
    *pVal = ToVariantBool(m_ctrl.m_bPossibleMessageMaster);
    return S_OK;
}

HRESULT CLumoClientAgentRequests::put_IsPossibleMessageMaster(VARIANT_BOOL newVal)
{
    LUMO_MEMBER_BEGIN
    const bool bPossible = newVal == VARIANT_TRUE;
    if (bPossible == m_ctrl.m_bPossibleMessageMaster) return S_OK;
    m_ctrl.m_bPossibleMessageMaster = bPossible;
    // Kept when there is no link: the next registration carries it.
    if (m_ctrl.m_nLumoConnectionState == connection_Connected && m_ctrl.m_pLink)
        m_ctrl.m_pLink->SetPossibleMessageMaster(bPossible);
    else
        m_ctrl.LogError(kLumoNotConnected);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::GetVolume(short nDevice, WORD& nCache, SHORT* pVal)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesLinkGuard()) return S_FALSE;
    if (!pVal) return m_ctrl.RefuseMissing(nDevice == kSpeaker ? L"get_MasterVolume" : L"get_MicrophoneVolume", L"pVal");
    if (nCache == kVolumeUnknown)
    {
        short nVolume = 0;
        if (!m_ctrl.m_pLink->GetVolume(nDevice, nVolume)) return S_FALSE;
        nCache = static_cast<WORD>(nVolume);
    }
    *pVal = static_cast<SHORT>(nCache);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::PutVolume(short nDevice, WORD& nCache, SHORT newVal)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesLinkGuard()) return S_FALSE;
    if (static_cast<WORD>(newVal) > 100) return S_OK; // not a volume: ignored
    nCache = static_cast<WORD>(newVal);
    m_ctrl.m_pLink->SetVolume(nDevice, newVal);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::GetMute(short nDevice, LONG& nCache, VARIANT_BOOL* pVal)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesLinkGuard()) return S_FALSE;
    if (!pVal) return m_ctrl.RefuseMissing(nDevice == kSpeaker ? L"get_IsMasterMuted" : L"get_IsMicrophoneMuted", L"pVal");
    if (nCache == -1)
    {
        BOOL bMuted = FALSE;
        if (!m_ctrl.m_pLink->GetMute(nDevice, bMuted)) return S_FALSE;
        nCache = bMuted ? 1 : 0;
    }
    *pVal = ToVariantBool(nCache > 0);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::PutMute(short nDevice, LONG& nCache, VARIANT_BOOL newVal)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesLinkGuard()) return S_FALSE;
    const LONG nMuted = newVal == VARIANT_TRUE ? 1 : 0;
    if (nMuted == nCache) return S_OK;
    nCache = nMuted;
    m_ctrl.m_pLink->SetMute(nDevice, nMuted);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::get_MasterVolume(SHORT* pVal)
{
    return GetVolume(kSpeaker, m_ctrl.m_nMasterVolume, pVal);
}

HRESULT CLumoClientAgentRequests::put_MasterVolume(SHORT newVal)
{
    return PutVolume(kSpeaker, m_ctrl.m_nMasterVolume, newVal);
}

HRESULT CLumoClientAgentRequests::get_MicrophoneVolume(SHORT* pVal)
{
    return GetVolume(kMicrophone, m_ctrl.m_nMicrophoneVolume, pVal);
}

HRESULT CLumoClientAgentRequests::put_MicrophoneVolume(SHORT newVal)
{
    return PutVolume(kMicrophone, m_ctrl.m_nMicrophoneVolume, newVal);
}

HRESULT CLumoClientAgentRequests::get_IsMasterMuted(VARIANT_BOOL* pVal)
{
    return GetMute(kSpeaker, m_ctrl.m_nMasterMuted, pVal);
}

HRESULT CLumoClientAgentRequests::put_IsMasterMuted(VARIANT_BOOL newVal)
{
    return PutMute(kSpeaker, m_ctrl.m_nMasterMuted, newVal);
}

HRESULT CLumoClientAgentRequests::get_IsMicrophoneMuted(VARIANT_BOOL* pVal)
{
    return GetMute(kMicrophone, m_ctrl.m_nMicrophoneMuted, pVal);
}

HRESULT CLumoClientAgentRequests::put_IsMicrophoneMuted(VARIANT_BOOL newVal)
{
    return PutMute(kMicrophone, m_ctrl.m_nMicrophoneMuted, newVal);
}

HRESULT CLumoClientAgentRequests::get_IsVoIP(VARIANT_BOOL* pVal)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesLinkGuard()) return S_FALSE;
    if (!pVal) return m_ctrl.RefuseMissing(L"get_IsVoIP", L"pVal");
    if (m_ctrl.m_nIsVoIP == -1)
    {
        BOOL bVoIP = FALSE;
        if (!m_ctrl.m_pLink->IsVoIP(bVoIP)) return S_FALSE;
        m_ctrl.m_nIsVoIP = bVoIP ? 1 : 0;
    }
    *pVal = ToVariantBool(m_ctrl.m_nIsVoIP > 0);
    return S_OK;
    LUMO_MEMBER_END
}

// ---------------------------------------------------------------------------------------------
// Lists

HRESULT CLumoClientAgentRequests::GetPauseList(ILumoClientMap* mapPauses, LONG* lReturnVal)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesJexGuard()) return S_FALSE;
    if (!mapPauses) return m_ctrl.RefuseMissing(L"GetPauseList", L"mapPauses");
    if (!lReturnVal) return m_ctrl.RefuseMissing(L"GetPauseList", L"lReturnVal");
    *lReturnVal = m_ctrl.ParsePropertyListToIdMap(CPropertyList(m_ctrl.m_pLink->GetPauseList().GetString()), mapPauses);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::GetOutboundGroupList(ILumoClientMap* mapOutboundGroups, LONG* lResult)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesJexGuard()) return S_FALSE;
    if (!mapOutboundGroups) return m_ctrl.RefuseMissing(L"GetOutboundGroupList", L"mapOutboundGroups");
    if (!lResult) return m_ctrl.RefuseMissing(L"GetOutboundGroupList", L"lResult");
    *lResult = m_ctrl.ParsePropertyListToIdMap(CPropertyList(m_ctrl.m_pLink->GetOutboundGroupList().GetString()), mapOutboundGroups);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::GetLocationList(ILumoClientMap* mapNames, ILumoClientMap* mapComputerNames,
                                              LONG* lReturnVal)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesJexGuard()) return S_FALSE;
    if (!mapNames) return m_ctrl.RefuseMissing(L"GetLocationList", L"mapNames");
    if (!mapComputerNames) return m_ctrl.RefuseMissing(L"GetLocationList", L"mapComputerNames");
    if (!lReturnVal) return m_ctrl.RefuseMissing(L"GetLocationList", L"lReturnVal");
    *lReturnVal = m_ctrl.ParseLocationList(CPropertyList(m_ctrl.m_pLink->GetLocationList().GetString()), mapNames, mapComputerNames);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::GetAgentList(AgentListRequestTypes enumType, ILumoClientMap* mapFirstNames,
                                           ILumoClientMap* mapLastNames, ILumoClientMap* mapUserNames, LONG* lReturnVal)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesJexGuard()) return S_FALSE;
    if (!mapFirstNames) return m_ctrl.RefuseMissing(L"GetAgentList", L"mapFirstNames");
    if (!mapLastNames) return m_ctrl.RefuseMissing(L"GetAgentList", L"mapLastNames");
    if (!mapUserNames) return m_ctrl.RefuseMissing(L"GetAgentList", L"mapUserNames");
    if (!lReturnVal) return m_ctrl.RefuseMissing(L"GetAgentList", L"lReturnVal");
    const CString strList = m_ctrl.m_pLink->GetAgentList(static_cast<short>(enumType));
    *lReturnVal = m_ctrl.ParseAgentList(CPropertyList(strList.GetString()), mapFirstNames, mapLastNames, mapUserNames);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::RequestPauseList()
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesJexGuard()) return S_FALSE;
    m_ctrl.m_pLink->RequestPauseList();
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::RequestAgentList(AgentListRequestTypes enumType)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesJexGuard()) return S_FALSE;
    m_ctrl.m_pLink->RequestAgentList(static_cast<short>(enumType));
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::RequestLocationList()
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesJexGuard()) return S_FALSE;
    m_ctrl.m_pLink->RequestLocationList();
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::RequestOutboundGroupList()
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->RequestOutboundGroupList();
    return S_OK;
    LUMO_MEMBER_END
}

// ---------------------------------------------------------------------------------------------
// Pauses, log-on, the desktop

HRESULT CLumoClientAgentRequests::RequestStartPause(LONG lPauseReasonId, StartPauseTypes enumStartPauseType)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    if (m_ctrl.m_nAgentState == agentstate_Pause) return S_FALSE; // in a pause already
    m_ctrl.m_nPauseReasonId = lPauseReasonId;
    m_ctrl.m_pLink->RequestStartPause(lPauseReasonId, static_cast<short>(enumStartPauseType));
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::RequestStopPause()
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->RequestStopPause();
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::ShowLumoClient(VisibleModes enumVisibleMode)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesLinkGuard()) return S_FALSE;
    m_ctrl.m_pLink->ShowLumoClient(static_cast<short>(enumVisibleMode));
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::AgentLogon(BSTR strUserName, LONG lLocationId, BSTR strPassword,
                                         VARIANT_BOOL bPasswordAlreadyEncrypted, VARIANT_BOOL* nReturnVal)
{
    LUMO_MEMBER_BEGIN
    if (nReturnVal) *nReturnVal = VARIANT_FALSE;
    if (!m_ctrl.PassesJexGuard()) return S_FALSE;
    if (m_ctrl.IsAgentLoggedOn()) return S_FALSE; // logged on already: nothing to do, nothing to say
    if (!nReturnVal) return m_ctrl.RefuseMissing(L"AgentLogon", L"nReturnVal");
    const BOOL bAccepted = m_ctrl.m_pLink->AgentLogon(TextOf(strUserName), lLocationId, TextOf(strPassword),
                                               bPasswordAlreadyEncrypted == VARIANT_TRUE);
    *nReturnVal = ToVariantBool(bAccepted);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::AgentLogonById(LONG lAgentId, LONG lLocationId, BSTR strPassword,
                                             VARIANT_BOOL bPasswordAlreadyEncrypted, VARIANT_BOOL* nReturnVal)
{
    LUMO_MEMBER_BEGIN
    if (nReturnVal) *nReturnVal = VARIANT_FALSE;
    if (!m_ctrl.PassesJexGuard()) return S_FALSE;
    if (m_ctrl.IsAgentLoggedOn()) return S_FALSE;
    if (!nReturnVal) return m_ctrl.RefuseMissing(L"AgentLogonById", L"nReturnVal");
    const BOOL bAccepted =
        m_ctrl.m_pLink->AgentLogonById(lAgentId, lLocationId, TextOf(strPassword), bPasswordAlreadyEncrypted == VARIANT_TRUE);
    *nReturnVal = ToVariantBool(bAccepted);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::AgentLogOff()
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->AgentLogOff();
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::GetReplayMasterRole(VARIANT_BOOL allowOthersToTakeRole, VARIANT_BOOL* retHasRole)
{
    LUMO_MEMBER_BEGIN
    if (retHasRole) *retHasRole = VARIANT_FALSE;
    if (!m_ctrl.PassesLinkGuard()) return S_FALSE;
    if (!retHasRole) return m_ctrl.RefuseMissing(L"GetReplayMasterRole", L"retHasRole");
    *retHasRole = ToVariantBool(m_ctrl.m_pLink->ReplayMasterRole(TRUE, allowOthersToTakeRole == VARIANT_TRUE));
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::ReleaseReplayMasterRole(VARIANT_BOOL* retHasRole)
{
    LUMO_MEMBER_BEGIN
    if (retHasRole) *retHasRole = VARIANT_FALSE;
    if (!m_ctrl.PassesLinkGuard()) return S_FALSE;
    if (!retHasRole) return m_ctrl.RefuseMissing(L"ReleaseReplayMasterRole", L"retHasRole");
    *retHasRole = ToVariantBool(m_ctrl.m_pLink->ReplayMasterRole(FALSE, TRUE));
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::GetAgentSetting(LONG lSettingId, LONG* lValue, BSTR* strValue, VARIANT_BOOL* bResult)
{
    LUMO_MEMBER_BEGIN
    if (bResult) *bResult = VARIANT_FALSE;
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    if (!lValue) return m_ctrl.RefuseMissing(L"GetAgentSetting", L"lValue");
    if (!bResult) return m_ctrl.RefuseMissing(L"GetAgentSetting", L"bResult");
    long nValue = 0;
    CString strText;
    if (!m_ctrl.m_pLink->GetAgentSetting(lSettingId, nValue, strText)) return S_OK;
    if (strValue)
    {
        BSTR bstrNew = ::SysAllocStringLen(strText.GetString(), static_cast<UINT>(strText.GetLength()));
        if (!bstrNew) return E_OUTOFMEMORY;
        // In and out: the caller's text is replaced, not leaked.
        ::SysFreeString(*strValue);
        *strValue = bstrNew;
    }
    *lValue = nValue;
    *bResult = VARIANT_TRUE;
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientAgentRequests::SaveAgentSetting(LONG lSettingId, BSTR strName, LONG lValue, BSTR strValue)
{
    LUMO_MEMBER_BEGIN
    if (!m_ctrl.PassesAgentGuard()) return S_FALSE;
    m_ctrl.m_pLink->SaveAgentSetting(lSettingId, TextOf(strName), lValue, TextOf(strValue));
    return S_OK;
    LUMO_MEMBER_END
}
