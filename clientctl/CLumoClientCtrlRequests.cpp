// The members of ILumoClientCtrl that ask Lumo for something: preset outs, guard, arguments, request.
#include "clientctl/CLumoClientCallCollection.h"
#include "clientctl/CLumoClientCtrl.h"
#include "clientctl/CLumoSocket.h"
#include "core/CMailMessage.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "framework/CHandleOwner.h"

namespace
{
constexpr short kSpeaker = 1;
constexpr short kMicrophone = 2;
constexpr WORD kVolumeUnknown = 0x8000;
constexpr DISPID kSendInterviewId = 46;

const wchar_t kLumoNotConnected[] = L"Lumo is not connected!";
const wchar_t kJexNotConnected[] = L"Jex is not connected!";
const wchar_t kAgentNotLoggedOn[] = L"Agent is not logged on!";
const wchar_t kWrongFormat[] = L"CLumoClientCtrl::SendInterview => pInterviewData has wrong array format!";
const wchar_t kNoSize[] = L"CLumoClientCtrl::SendInterview => Could not get size of pInterviewData array!";
const wchar_t kNoAccess[] = L"CLumoClientCtrl::SendInterview => Could not access pInterviewData array!";
const wchar_t kNoAttachments[] = L"CLumoClientCtrl::SendMessageToSupervisor => Could not retrieve the attachments!";
const wchar_t kUnsupportedMailType[] = L"CLumoClientCtrl::SendEmail => Unsupported mailtype";

// A client's text whole, NULs included; a null BSTR is the empty text.
CString TextOf(BSTR bstr)
{
    return bstr ? CString(bstr, static_cast<int>(::SysStringLen(bstr))) : CString();
}

VARIANT_BOOL ToVariantBool(BOOL b)
{
    return b ? VARIANT_TRUE : VARIANT_FALSE;
}
} // namespace

// ---------------------------------------------------------------------------------------------
// Guards

bool CLumoClientCtrl::PassesLinkGuard()
{
    if (m_nLumoConnectionState == connection_Connected && m_pLink) return true;
    LogError(kLumoNotConnected);
    return false;
}

// The Jex and agent states fall back when the link goes, but a sink called while the loss is being
// reported still sees the old ones: without a link the member is refused as for the link guard.
bool CLumoClientCtrl::PassesJexGuard()
{
    if (m_nJexConnectionState != connection_Connected)
    {
        LogError(kJexNotConnected);
        return false;
    }
    if (m_pLink) return true;
    LogError(kLumoNotConnected);
    return false;
}

bool CLumoClientCtrl::PassesAgentGuard()
{
    if (!IsAgentLoggedOn())
    {
        LogError(kAgentNotLoggedOn);
        return false;
    }
    if (m_pLink) return true;
    LogError(kLumoNotConnected);
    return false;
}

HRESULT CLumoClientCtrl::RefuseMissing(LPCWSTR pszMember, LPCWSTR pszArgument)
{
    CString strText;
    strText.Format(L"CLumoClientCtrl::%s => %s is missing!", pszMember, pszArgument);
    LogError(strText);
    return S_FALSE;
}

// The conversions and the client's own objects may report a text whose sink ends the link: members that
// use them look for the link again before they send.

// Every member holds the control while it runs: a sink of the refusal text, or a message pumped
// while a member waits, may release it.
#define LUMO_MEMBER_BEGIN                                                                                              \
    try                                                                                                                \
    {                                                                                                                  \
        CSelfReference keepAlive(*this);
#define LUMO_MEMBER_END                                                                                                \
    }                                                                                                                  \
    catch (...)                                                                                                        \
    {                                                                                                                  \
        return E_UNEXPECTED;                                                                                           \
    }

// ---------------------------------------------------------------------------------------------
// Properties

STDMETHODIMP CLumoClientCtrl::get_IsPossibleMessageMaster(VARIANT_BOOL* pVal)
{
    if (!pVal) return RefuseMissing(L"get_IsPossibleMessageMaster", L"pVal");
    *pVal = ToVariantBool(m_bPossibleMessageMaster);
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::put_IsPossibleMessageMaster(VARIANT_BOOL newVal)
{
    LUMO_MEMBER_BEGIN
    const bool bPossible = newVal == VARIANT_TRUE;
    if (bPossible == m_bPossibleMessageMaster) return S_OK;
    m_bPossibleMessageMaster = bPossible;
    // Kept when there is no link: the next registration carries it.
    if (m_nLumoConnectionState == connection_Connected && m_pLink)
        m_pLink->SetPossibleMessageMaster(bPossible);
    else
        LogError(kLumoNotConnected);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCtrl::GetVolume(short nDevice, WORD& nCache, SHORT* pVal)
{
    LUMO_MEMBER_BEGIN
    if (!PassesLinkGuard()) return S_FALSE;
    if (!pVal) return RefuseMissing(nDevice == kSpeaker ? L"get_MasterVolume" : L"get_MicrophoneVolume", L"pVal");
    if (nCache == kVolumeUnknown)
    {
        short nVolume = 0;
        if (!m_pLink->GetVolume(nDevice, nVolume)) return S_FALSE;
        nCache = static_cast<WORD>(nVolume);
    }
    *pVal = static_cast<SHORT>(nCache);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCtrl::PutVolume(short nDevice, WORD& nCache, SHORT newVal)
{
    LUMO_MEMBER_BEGIN
    if (!PassesLinkGuard()) return S_FALSE;
    if (static_cast<WORD>(newVal) > 100) return S_OK; // not a volume: ignored
    nCache = static_cast<WORD>(newVal);
    m_pLink->SetVolume(nDevice, newVal);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCtrl::GetMute(short nDevice, LONG& nCache, VARIANT_BOOL* pVal)
{
    LUMO_MEMBER_BEGIN
    if (!PassesLinkGuard()) return S_FALSE;
    if (!pVal) return RefuseMissing(nDevice == kSpeaker ? L"get_IsMasterMuted" : L"get_IsMicrophoneMuted", L"pVal");
    if (nCache == -1)
    {
        BOOL bMuted = FALSE;
        if (!m_pLink->GetMute(nDevice, bMuted)) return S_FALSE;
        nCache = bMuted ? 1 : 0;
    }
    *pVal = ToVariantBool(nCache > 0);
    return S_OK;
    LUMO_MEMBER_END
}

HRESULT CLumoClientCtrl::PutMute(short nDevice, LONG& nCache, VARIANT_BOOL newVal)
{
    LUMO_MEMBER_BEGIN
    if (!PassesLinkGuard()) return S_FALSE;
    const LONG nMuted = newVal == VARIANT_TRUE ? 1 : 0;
    if (nMuted == nCache) return S_OK;
    nCache = nMuted;
    m_pLink->SetMute(nDevice, nMuted);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::get_MasterVolume(SHORT* pVal)
{
    return GetVolume(kSpeaker, m_nMasterVolume, pVal);
}

STDMETHODIMP CLumoClientCtrl::put_MasterVolume(SHORT newVal)
{
    return PutVolume(kSpeaker, m_nMasterVolume, newVal);
}

STDMETHODIMP CLumoClientCtrl::get_MicrophoneVolume(SHORT* pVal)
{
    return GetVolume(kMicrophone, m_nMicrophoneVolume, pVal);
}

STDMETHODIMP CLumoClientCtrl::put_MicrophoneVolume(SHORT newVal)
{
    return PutVolume(kMicrophone, m_nMicrophoneVolume, newVal);
}

STDMETHODIMP CLumoClientCtrl::get_IsMasterMuted(VARIANT_BOOL* pVal)
{
    return GetMute(kSpeaker, m_nMasterMuted, pVal);
}

STDMETHODIMP CLumoClientCtrl::put_IsMasterMuted(VARIANT_BOOL newVal)
{
    return PutMute(kSpeaker, m_nMasterMuted, newVal);
}

STDMETHODIMP CLumoClientCtrl::get_IsMicrophoneMuted(VARIANT_BOOL* pVal)
{
    return GetMute(kMicrophone, m_nMicrophoneMuted, pVal);
}

STDMETHODIMP CLumoClientCtrl::put_IsMicrophoneMuted(VARIANT_BOOL newVal)
{
    return PutMute(kMicrophone, m_nMicrophoneMuted, newVal);
}

STDMETHODIMP CLumoClientCtrl::get_IsVoIP(VARIANT_BOOL* pVal)
{
    LUMO_MEMBER_BEGIN
    if (!PassesLinkGuard()) return S_FALSE;
    if (!pVal) return RefuseMissing(L"get_IsVoIP", L"pVal");
    if (m_nIsVoIP == -1)
    {
        BOOL bVoIP = FALSE;
        if (!m_pLink->IsVoIP(bVoIP)) return S_FALSE;
        m_nIsVoIP = bVoIP ? 1 : 0;
    }
    *pVal = ToVariantBool(m_nIsVoIP > 0);
    return S_OK;
    LUMO_MEMBER_END
}

// ---------------------------------------------------------------------------------------------
// Lists

STDMETHODIMP CLumoClientCtrl::GetPauseList(ILumoClientMap* mapPauses, LONG* lReturnVal)
{
    LUMO_MEMBER_BEGIN
    if (!PassesJexGuard()) return S_FALSE;
    if (!mapPauses) return RefuseMissing(L"GetPauseList", L"mapPauses");
    if (!lReturnVal) return RefuseMissing(L"GetPauseList", L"lReturnVal");
    *lReturnVal = ParsePropertyListToIdMap(CPropertyList(m_pLink->GetPauseList().GetString()), mapPauses);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::GetOutboundGroupList(ILumoClientMap* mapOutboundGroups, LONG* lResult)
{
    LUMO_MEMBER_BEGIN
    if (!PassesJexGuard()) return S_FALSE;
    if (!mapOutboundGroups) return RefuseMissing(L"GetOutboundGroupList", L"mapOutboundGroups");
    if (!lResult) return RefuseMissing(L"GetOutboundGroupList", L"lResult");
    *lResult = ParsePropertyListToIdMap(CPropertyList(m_pLink->GetOutboundGroupList().GetString()), mapOutboundGroups);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::GetLocationList(ILumoClientMap* mapNames, ILumoClientMap* mapComputerNames,
                                              LONG* lReturnVal)
{
    LUMO_MEMBER_BEGIN
    if (!PassesJexGuard()) return S_FALSE;
    if (!mapNames) return RefuseMissing(L"GetLocationList", L"mapNames");
    if (!mapComputerNames) return RefuseMissing(L"GetLocationList", L"mapComputerNames");
    if (!lReturnVal) return RefuseMissing(L"GetLocationList", L"lReturnVal");
    *lReturnVal = ParseLocationList(CPropertyList(m_pLink->GetLocationList().GetString()), mapNames, mapComputerNames);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::GetAgentList(AgentListRequestTypes enumType, ILumoClientMap* mapFirstNames,
                                           ILumoClientMap* mapLastNames, ILumoClientMap* mapUserNames, LONG* lReturnVal)
{
    LUMO_MEMBER_BEGIN
    if (!PassesJexGuard()) return S_FALSE;
    if (!mapFirstNames) return RefuseMissing(L"GetAgentList", L"mapFirstNames");
    if (!mapLastNames) return RefuseMissing(L"GetAgentList", L"mapLastNames");
    if (!mapUserNames) return RefuseMissing(L"GetAgentList", L"mapUserNames");
    if (!lReturnVal) return RefuseMissing(L"GetAgentList", L"lReturnVal");
    const CString strList = m_pLink->GetAgentList(static_cast<short>(enumType));
    *lReturnVal = ParseAgentList(CPropertyList(strList.GetString()), mapFirstNames, mapLastNames, mapUserNames);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::RequestPauseList()
{
    LUMO_MEMBER_BEGIN
    if (!PassesJexGuard()) return S_FALSE;
    m_pLink->RequestPauseList();
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::RequestAgentList(AgentListRequestTypes enumType)
{
    LUMO_MEMBER_BEGIN
    if (!PassesJexGuard()) return S_FALSE;
    m_pLink->RequestAgentList(static_cast<short>(enumType));
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::RequestLocationList()
{
    LUMO_MEMBER_BEGIN
    if (!PassesJexGuard()) return S_FALSE;
    m_pLink->RequestLocationList();
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::RequestOutboundGroupList()
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->RequestOutboundGroupList();
    return S_OK;
    LUMO_MEMBER_END
}

// ---------------------------------------------------------------------------------------------
// Pauses, log-on, the desktop

STDMETHODIMP CLumoClientCtrl::RequestStartPause(LONG lPauseReasonId, StartPauseTypes enumStartPauseType)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    if (m_nAgentState == agentstate_Pause) return S_FALSE; // in a pause already
    m_nPauseReasonId = lPauseReasonId;
    m_pLink->RequestStartPause(lPauseReasonId, static_cast<short>(enumStartPauseType));
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::RequestStopPause()
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->RequestStopPause();
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::ShowLumoClient(VisibleModes enumVisibleMode)
{
    LUMO_MEMBER_BEGIN
    if (!PassesLinkGuard()) return S_FALSE;
    m_pLink->ShowLumoClient(static_cast<short>(enumVisibleMode));
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::AgentLogon(BSTR strUserName, LONG lLocationId, BSTR strPassword,
                                         VARIANT_BOOL bPasswordAlreadyEncrypted, VARIANT_BOOL* nReturnVal)
{
    LUMO_MEMBER_BEGIN
    if (nReturnVal) *nReturnVal = VARIANT_FALSE;
    if (!PassesJexGuard()) return S_FALSE;
    if (IsAgentLoggedOn()) return S_FALSE; // logged on already: nothing to do, nothing to say
    if (!nReturnVal) return RefuseMissing(L"AgentLogon", L"nReturnVal");
    const BOOL bAccepted = m_pLink->AgentLogon(TextOf(strUserName), lLocationId, TextOf(strPassword),
                                               bPasswordAlreadyEncrypted == VARIANT_TRUE);
    *nReturnVal = ToVariantBool(bAccepted);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::AgentLogonById(LONG lAgentId, LONG lLocationId, BSTR strPassword,
                                             VARIANT_BOOL bPasswordAlreadyEncrypted, VARIANT_BOOL* nReturnVal)
{
    LUMO_MEMBER_BEGIN
    if (nReturnVal) *nReturnVal = VARIANT_FALSE;
    if (!PassesJexGuard()) return S_FALSE;
    if (IsAgentLoggedOn()) return S_FALSE;
    if (!nReturnVal) return RefuseMissing(L"AgentLogonById", L"nReturnVal");
    const BOOL bAccepted =
        m_pLink->AgentLogonById(lAgentId, lLocationId, TextOf(strPassword), bPasswordAlreadyEncrypted == VARIANT_TRUE);
    *nReturnVal = ToVariantBool(bAccepted);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::AgentLogOff()
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->AgentLogOff();
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::GetReplayMasterRole(VARIANT_BOOL allowOthersToTakeRole, VARIANT_BOOL* retHasRole)
{
    LUMO_MEMBER_BEGIN
    if (retHasRole) *retHasRole = VARIANT_FALSE;
    if (!PassesLinkGuard()) return S_FALSE;
    if (!retHasRole) return RefuseMissing(L"GetReplayMasterRole", L"retHasRole");
    *retHasRole = ToVariantBool(m_pLink->ReplayMasterRole(TRUE, allowOthersToTakeRole == VARIANT_TRUE));
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::ReleaseReplayMasterRole(VARIANT_BOOL* retHasRole)
{
    LUMO_MEMBER_BEGIN
    if (retHasRole) *retHasRole = VARIANT_FALSE;
    if (!PassesLinkGuard()) return S_FALSE;
    if (!retHasRole) return RefuseMissing(L"ReleaseReplayMasterRole", L"retHasRole");
    *retHasRole = ToVariantBool(m_pLink->ReplayMasterRole(FALSE, TRUE));
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::GetAgentSetting(LONG lSettingId, LONG* lValue, BSTR* strValue, VARIANT_BOOL* bResult)
{
    LUMO_MEMBER_BEGIN
    if (bResult) *bResult = VARIANT_FALSE;
    if (!PassesAgentGuard()) return S_FALSE;
    if (!lValue) return RefuseMissing(L"GetAgentSetting", L"lValue");
    if (!bResult) return RefuseMissing(L"GetAgentSetting", L"bResult");
    long nValue = 0;
    CString strText;
    if (!m_pLink->GetAgentSetting(lSettingId, nValue, strText)) return S_OK;
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

STDMETHODIMP CLumoClientCtrl::SaveAgentSetting(LONG lSettingId, BSTR strName, LONG lValue, BSTR strValue)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->SaveAgentSetting(lSettingId, TextOf(strName), lValue, TextOf(strValue));
    return S_OK;
    LUMO_MEMBER_END
}

// ---------------------------------------------------------------------------------------------
// Calls

STDMETHODIMP CLumoClientCtrl::DialNumber(BSTR strNumber, BSTR strTag)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->DialNumber(TextOf(strNumber), TextOf(strTag));
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::DropCall(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->DropCall(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::PutCallOnHold(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->PutCallOnHold(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::TakeCallOnHold(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->TakeCallOnHold(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::RequestNextCall()
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->RequestNextCall();
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::TakeCall(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->TakeCall(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::Transfer(LONG lCallId, LONG lCallId2)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->Transfer(lCallId, lCallId2);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::TagCall(LONG lCallId, BSTR strTag)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->TagCall(lCallId, TextOf(strTag));
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::SendDTMF(LONG lCallId, BSTR strDTMF, VARIANT_BOOL bSilent)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->SendDTMF(lCallId, TextOf(strDTMF), bSilent == VARIANT_TRUE);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::StartTriggerPredictive(LONG lCallId, LONG lType)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->TriggerPredictive(TRUE, lCallId, lType);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::StopTriggerPredictive(LONG lCallId, LONG lType)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->TriggerPredictive(FALSE, lCallId, lType);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::ChangeOutboundGroup(LONG lOutboundGroupId)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->ChangeOutboundGroup(lOutboundGroupId);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::SendInterviewStatus(LONG lCallId, BSTR strStatus)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->SendInterviewStatus(lCallId, TextOf(strStatus));
    return S_OK;
    LUMO_MEMBER_END
}

// ---------------------------------------------------------------------------------------------
// Recording and sounds

STDMETHODIMP CLumoClientCtrl::StartRecording(LONG lCallId, RecordResultCodes* enumRecordResult)
{
    LUMO_MEMBER_BEGIN
    if (enumRecordResult) *enumRecordResult = recordrslt_RequestFailed;
    if (!PassesAgentGuard()) return S_FALSE;
    if (!enumRecordResult) return RefuseMissing(L"StartRecording", L"enumRecordResult");
    *enumRecordResult = static_cast<RecordResultCodes>(m_pLink->StartRecording(lCallId));
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::RequestStartRecording(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->RequestStartRecording(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::StartQuestionRecording(LONG lCallId, BSTR strFileName, RecordResultCodes* nReturnVal)
{
    LUMO_MEMBER_BEGIN
    if (nReturnVal) *nReturnVal = recordrslt_RequestFailed;
    if (!PassesAgentGuard()) return S_FALSE;
    if (!nReturnVal) return RefuseMissing(L"StartQuestionRecording", L"nReturnVal");
    *nReturnVal = static_cast<RecordResultCodes>(m_pLink->StartQuestionRecording(lCallId, TextOf(strFileName)));
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::StopQuestionRecording(LONG lCallId, VARIANT_BOOL* bResult)
{
    LUMO_MEMBER_BEGIN
    if (bResult) *bResult = VARIANT_FALSE;
    if (!PassesAgentGuard()) return S_FALSE;
    if (!bResult) return RefuseMissing(L"StopQuestionRecording", L"bResult");
    *bResult = ToVariantBool(m_pLink->StopQuestionRecording(lCallId) != 0);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::RequestStartQuestionRecording(LONG lCallId, BSTR strFileName)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->RequestStartQuestionRecording(lCallId, TextOf(strFileName));
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::RequestStopQuestionRecording(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->RequestStopQuestionRecording(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::StartPlaySound(LONG lCallId, BSTR strFileName, VARIANT_BOOL* bResult)
{
    LUMO_MEMBER_BEGIN
    if (bResult) *bResult = VARIANT_FALSE;
    if (!PassesAgentGuard()) return S_FALSE;
    if (!bResult) return RefuseMissing(L"StartPlaySound", L"bResult");
    *bResult = ToVariantBool(m_pLink->StartPlaySound(lCallId, TextOf(strFileName)));
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::StopPlaySound(LONG lCallId, VARIANT_BOOL* bResult)
{
    LUMO_MEMBER_BEGIN
    if (bResult) *bResult = VARIANT_FALSE;
    if (!PassesAgentGuard()) return S_FALSE;
    if (!bResult) return RefuseMissing(L"StopPlaySound", L"bResult");
    *bResult = ToVariantBool(m_pLink->StopPlaySound(lCallId));
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::RequestStartPlaySound(LONG lCallId, BSTR strFileName)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->RequestStartPlaySound(lCallId, TextOf(strFileName));
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::RequestStopPlaySound(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->RequestStopPlaySound(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::ChangeRecordingAnonymiseState(LONG lCallId, VARIANT_BOOL bOnOff)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    CPropertyList arguments;
    arguments.SetProperty(L"Off", bOnOff == 0 ? 1 : 0);
    const auto found = m_mapAnonymisation.find(lCallId);
    const long nAnnotationId = found == m_mapAnonymisation.end() ? -1 : found->second;
    m_pLink->UpdateAnnotation(lCallId, 0, nAnnotationId, arguments);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::CreateAnnotation(LONG lCallId, INT nAnnotationType, ILumoClientMap* mapArgs)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    const CPropertyList arguments = PropertyListOf(mapArgs);
    if (m_pLink) m_pLink->UpdateAnnotation(lCallId, nAnnotationType, -1, arguments);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::UpdateAnnotation(LONG lCallId, INT nAnnotationType, LONG lAnnotationId,
                                               ILumoClientMap* mapArgs)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    const CPropertyList arguments = PropertyListOf(mapArgs);
    if (m_pLink) m_pLink->UpdateAnnotation(lCallId, nAnnotationType, lAnnotationId, arguments);
    return S_OK;
    LUMO_MEMBER_END
}

// ---------------------------------------------------------------------------------------------
// Tasks

CPropertyList CLumoClientCtrl::PropertyListOf(ILumoClientMap* pMap)
{
    CPropertyList list;
    if (pMap) ParseLumoClientMapToPropertyList(pMap, list);
    return list;
}

STDMETHODIMP CLumoClientCtrl::EndTask(LONG lCallId, SHORT nCallResult, SHORT nCallSubResult, ILumoClientMap* mapFields)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    CPropertyList fields = PropertyListOf(mapFields);
    fields.SetProperty(L"QoCallId", static_cast<long>(lCallId));
    fields.SetProperty(L"BreSecondaryCode", static_cast<int>(nCallSubResult));
    if (m_pLink) m_pLink->EndTask(nCallResult, fields);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::EndTaskAfterConnectionLost(ILumoClientMap* mapFields)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    const CPropertyList fields = PropertyListOf(mapFields);
    if (m_pLink) m_pLink->EndTaskAfterConnectionLost(fields);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::RequestTaskContents(LONG lTaskId)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->RequestTaskContents(lTaskId);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::RequestTaskResources(LONG lTaskId, ILumoClientStringCollection* Ids)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    CList<long, long> lstIds;
    if (Ids) ParseLumoClientStringCollectionToLongList(Ids, lstIds);
    if (m_pLink) m_pLink->RequestTaskResources(lTaskId, lstIds);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::SendInterview(LONG lTaskId, LONG lCallId, VARIANT* pInterviewData, ULONG lCheckSum,
                                            VARIANT_BOOL* bResult)
{
    LUMO_MEMBER_BEGIN
    if (bResult) *bResult = VARIANT_FALSE;
    if (!PassesAgentGuard()) return S_FALSE;
    if (!pInterviewData) return RefuseMissing(L"SendInterview", L"pInterviewData");
    if (!bResult) return RefuseMissing(L"SendInterview", L"bResult");
    return SendInterviewData(lTaskId, lCallId, *pInterviewData, lCheckSum, bResult);
    LUMO_MEMBER_END
}

// The length is the array's element count whatever its lower bound: reading up to its upper bound
// from the start would read past an array that begins at 1, and the checksum would not match.
HRESULT CLumoClientCtrl::SendInterviewData(LONG lTaskId, LONG lCallId, const VARIANT& data, ULONG lCheckSum,
                                           VARIANT_BOOL* bResult)
{
    SAFEARRAY* pArray = data.vt == (VT_ARRAY | VT_UI1) ? data.parray : nullptr;
    if (!pArray || ::SafeArrayGetDim(pArray) != 1)
    {
        LogError(kWrongFormat);
        return S_FALSE;
    }
    LONG nLower = 0, nUpper = 0;
    if (FAILED(::SafeArrayGetLBound(pArray, 1, &nLower)) || FAILED(::SafeArrayGetUBound(pArray, 1, &nUpper)))
    {
        LogError(kNoSize);
        return S_FALSE;
    }
    const LONGLONG nCount = static_cast<LONGLONG>(nUpper) - nLower + 1;
    void* pData = nullptr;
    if (nCount < 0 || FAILED(::SafeArrayAccessData(pArray, &pData)))
    {
        LogError(kNoAccess);
        return S_FALSE;
    }
    const CSafeArrayAccess access(pArray);
    // The socket layer copies the bytes: the caller may free the array as soon as this returns.
    m_pLink->SendInterview(lTaskId, lCallId, static_cast<const BYTE*>(pData), static_cast<DWORD>(nCount), lCheckSum);
    *bResult = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CLumoClientCtrl::GetCallHistory(LONG lCallId, ILumoClientCallCollection** arrCalls, LONG* lResult)
{
    LUMO_MEMBER_BEGIN
    if (lResult) *lResult = -1;
    if (!PassesAgentGuard()) return S_FALSE;
    if (!arrCalls) return RefuseMissing(L"GetCallHistory", L"arrCalls");
    if (!lResult) return RefuseMissing(L"GetCallHistory", L"lResult");
    CCallArray arrRecords;
    if (!m_pLink->GetCallHistory(lCallId, arrRecords)) return S_FALSE;
    CComObject<CLumoClientCallCollection>* pCollection = nullptr;
    HRESULT hr = CComObject<CLumoClientCallCollection>::CreateInstance(&pCollection);
    if (FAILED(hr)) return hr;
    CComPtr<ILumoClientCallCollection> collection(pCollection);
    hr = pCollection->AddCalls(arrRecords);
    if (FAILED(hr)) return hr;
    *arrCalls = collection.Detach();
    *lResult = static_cast<LONG>(arrRecords.GetSize());
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::RequestCallHistory(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->RequestCallHistory(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                                     VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr)
{
    using CDispatch = IDispatchImpl<ILumoClientCtrl, &IID_ILumoClientCtrl, &LIBID_LumoClientLib>;
    if (dispIdMember != kSendInterviewId || !(wFlags & DISPATCH_METHOD) || !pDispParams)
        return CDispatch::Invoke(dispIdMember, riid, lcid, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
    if (pDispParams->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (pDispParams->cArgs != 4) return DISP_E_BADPARAMCOUNT;
    VARIANT* pArgs = pDispParams->rgvarg; // the last argument first
    CComVariant taskId, callId, checksum;
    const std::pair<CComVariant*, VARTYPE> numbers[] = {
        {&checksum, VT_UI4}, {nullptr, VT_EMPTY}, {&callId, VT_I4}, {&taskId, VT_I4}};
    for (UINT i = 0; i < 4; ++i)
    {
        if (!numbers[i].first || SUCCEEDED(numbers[i].first->ChangeType(numbers[i].second, &pArgs[i]))) continue;
        if (puArgErr) *puArgErr = i;
        return DISP_E_TYPEMISMATCH;
    }
    // A script passes its variable as a reference to it.
    VARIANT* pData = &pArgs[1];
    if (pData->vt == (VT_BYREF | VT_VARIANT) && pData->pvarVal) pData = pData->pvarVal;
    VARIANT_BOOL bResult = VARIANT_FALSE;
    const HRESULT hr = SendInterview(taskId.lVal, callId.lVal, pData, checksum.ulVal, &bResult);
    if (FAILED(hr))
    {
        if (pExcepInfo)
        {
            *pExcepInfo = EXCEPINFO{};
            pExcepInfo->scode = hr;
        }
        return DISP_E_EXCEPTION;
    }
    if (pVarResult)
    {
        ::VariantClear(pVarResult);
        pVarResult->vt = VT_BOOL;
        pVarResult->boolVal = bResult;
    }
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Messages and e-mails

STDMETHODIMP CLumoClientCtrl::SendMessageToSupervisor(ILumoClientMessage* toSend)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    if (!toSend) return RefuseMissing(L"SendMessageToSupervisor", L"toSend");
    CMessage message;
    CComBSTR text;
    if (SUCCEEDED(toSend->get_Subject(&text))) message.m_strSubject = TextOf(text);
    text.Empty();
    if (SUCCEEDED(toSend->get_Message(&text))) message.m_strText = TextOf(text);
    LONG nTo = 0;
    if (SUCCEEDED(toSend->get_To(&nTo))) message.AddRecipient(nTo);
    message.SetTimeNow();
    CComPtr<ILumoClientMap> attachments;
    if (FAILED(toSend->get_Attachments(&attachments)) || !attachments)
        LogError(kNoAttachments);
    else
        ParseAttachmentsMap(attachments, message);
    if (m_pLink) m_pLink->SendMessage(message); // the link may have gone while a sink heard a text
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::SendEmail(LONG lCallId, ILumoClientEmail* mailToSend)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    if (!mailToSend) return RefuseMissing(L"SendEmail", L"mailToSend");
    CMailMessage mail;
    CComBSTR text;
    if (SUCCEEDED(mailToSend->get_From(&text))) mail.m_strFrom = TextOf(text);
    MailTypes nType = mailType_PlainText;
    if (SUCCEEDED(mailToSend->get_MailType(&nType)))
    {
        if (nType == mailType_PlainText || nType == mailType_HTML)
            mail.m_nTP = nType;
        else
            LogError(kUnsupportedMailType);
    }
    text.Empty();
    if (SUCCEEDED(mailToSend->get_Message(&text))) mail.m_strText = TextOf(text);
    text.Empty();
    if (SUCCEEDED(mailToSend->get_Subject(&text))) mail.m_strSubject = TextOf(text);
    using Getter = HRESULT (STDMETHODCALLTYPE ILumoClientEmail::*)(ILumoClientStringCollection**);
    const auto readAddresses = [this, mailToSend](Getter get, CStringArray& arr) {
        CComPtr<ILumoClientStringCollection> addresses;
        if (SUCCEEDED((mailToSend->*get)(&addresses)) && addresses)
            ParseLumoClientStringCollectionToCStringArray(addresses, arr);
    };
    readAddresses(&ILumoClientEmail::get_To, mail.m_arrTo);
    readAddresses(&ILumoClientEmail::get_Cc, mail.m_arrCc);
    readAddresses(&ILumoClientEmail::get_Bcc, mail.m_arrBcc);
    mail.SetTimeNow();
    CComPtr<ILumoClientMap> attachments;
    if (SUCCEEDED(mailToSend->get_Attachments(&attachments)) && attachments) ParseAttachmentsMap(attachments, mail);
    if (m_pLink) m_pLink->SendEmail(lCallId, mail);
    return S_OK;
    LUMO_MEMBER_END
}

// ---------------------------------------------------------------------------------------------
// Key-in and IVR

STDMETHODIMP CLumoClientCtrl::BrennStartIVR(BSTR strInterviewGuid, LONG lCallId, BSTR strNumber)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->BrennStartIVR(TextOf(strInterviewGuid), lCallId, TextOf(strNumber));
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::BrennStartKeyIn(LONG lInterviewId)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->BrennStartKeyIn(lInterviewId);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::BrennEndKeyIn(LONG lCallId)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    m_pLink->BrennEndKeyIn(lCallId);
    return S_OK;
    LUMO_MEMBER_END
}

STDMETHODIMP CLumoClientCtrl::BrennFindKeyInInterviews(ILumoClientMap* searchParameters,
                                                       ILumoClientStringCollection* arrReturnFields)
{
    LUMO_MEMBER_BEGIN
    if (!PassesAgentGuard()) return S_FALSE;
    const CPropertyList search = PropertyListOf(searchParameters);
    CStringArray arrFields;
    if (arrReturnFields) ParseLumoClientStringCollectionToCStringArray(arrReturnFields, arrFields);
    if (m_pLink) m_pLink->BrennFindKeyInInterviews(search, arrFields);
    return S_OK;
    LUMO_MEMBER_END
}
