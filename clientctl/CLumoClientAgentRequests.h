#pragma once
#include "framework/Platform.h" // Winsock before windows.h, which the generated header includes
#include "LumoClient.h"

class CLumoClientCtrl;
class CPropertyList;

// The members of the control that ask Lumo about the agent and the desktop: the cached audio
// properties, the lists, pauses, log-on and the agent's settings. Each checks its guard and arguments,
// then asks through the control's link.
// S_OK when the work was done, S_FALSE when a guard, an argument or a missing answer refused it.
class CLumoClientAgentRequests
{
public:
    explicit CLumoClientAgentRequests(CLumoClientCtrl& ctrl);
    CLumoClientAgentRequests(const CLumoClientAgentRequests&) = delete; // holds its control
    CLumoClientAgentRequests& operator=(const CLumoClientAgentRequests&) = delete;

    HRESULT get_IsPossibleMessageMaster(VARIANT_BOOL* pVal);
    HRESULT put_IsPossibleMessageMaster(VARIANT_BOOL newVal);
    HRESULT get_MasterVolume(SHORT* pVal);
    HRESULT put_MasterVolume(SHORT newVal);
    HRESULT get_MicrophoneVolume(SHORT* pVal);
    HRESULT put_MicrophoneVolume(SHORT newVal);
    HRESULT get_IsMasterMuted(VARIANT_BOOL* pVal);
    HRESULT put_IsMasterMuted(VARIANT_BOOL newVal);
    HRESULT get_IsMicrophoneMuted(VARIANT_BOOL* pVal);
    HRESULT put_IsMicrophoneMuted(VARIANT_BOOL newVal);
    HRESULT get_IsVoIP(VARIANT_BOOL* pVal);
    HRESULT GetPauseList(ILumoClientMap* mapPauses, LONG* lReturnVal);
    HRESULT GetOutboundGroupList(ILumoClientMap* mapOutboundGroups, LONG* lResult);
    HRESULT GetLocationList(ILumoClientMap* mapNames, ILumoClientMap* mapComputerNames, LONG* lReturnVal);
    HRESULT GetAgentList(AgentListRequestTypes enumType, ILumoClientMap* mapFirstNames, ILumoClientMap* mapLastNames,
                         ILumoClientMap* mapUserNames, LONG* lReturnVal);
    HRESULT RequestPauseList();
    HRESULT RequestAgentList(AgentListRequestTypes enumType);
    HRESULT RequestLocationList();
    HRESULT RequestOutboundGroupList();
    HRESULT RequestStartPause(LONG lPauseReasonId, StartPauseTypes enumStartPauseType);
    HRESULT RequestStopPause();
    HRESULT ShowLumoClient(VisibleModes enumVisibleMode);
    HRESULT AgentLogon(BSTR strUserName, LONG lLocationId, BSTR strPassword, VARIANT_BOOL bPasswordAlreadyEncrypted,
                       VARIANT_BOOL* nReturnVal);
    HRESULT AgentLogonById(LONG lAgentId, LONG lLocationId, BSTR strPassword, VARIANT_BOOL bPasswordAlreadyEncrypted,
                           VARIANT_BOOL* nReturnVal);
    HRESULT AgentLogOff();
    HRESULT GetReplayMasterRole(VARIANT_BOOL allowOthersToTakeRole, VARIANT_BOOL* retHasRole);
    HRESULT ReleaseReplayMasterRole(VARIANT_BOOL* retHasRole);
    HRESULT GetAgentSetting(LONG lSettingId, LONG* lValue, BSTR* strValue, VARIANT_BOOL* bResult);
    HRESULT SaveAgentSetting(LONG lSettingId, BSTR strName, LONG lValue, BSTR strValue);

private:
    HRESULT GetVolume(short nDevice, WORD& nCache, SHORT* pVal);
    HRESULT PutVolume(short nDevice, WORD& nCache, SHORT newVal);
    HRESULT GetMute(short nDevice, LONG& nCache, VARIANT_BOOL* pVal);
    HRESULT PutMute(short nDevice, LONG& nCache, VARIANT_BOOL newVal);

    CLumoClientCtrl& m_ctrl;
};
