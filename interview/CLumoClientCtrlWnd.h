#pragma once
#include "framework/CString.h"
#include "framework/CWnd.h"

// The window of the LumoClient control hosted by the main window. Every call goes by DISPID
// through the control container and throws COleDispatchException* when the control fails it; the
// callers catch.
class CLumoClientCtrlWnd : public CWnd
{
public:
    static const CLSID kClsid;

    // Creates the control under the caller's active activation context, without size.
    BOOL Create(CWnd* pParentWnd, UINT nID);

    void SetApplicationId(long nApplicationId);
    // The port's 16 bits travel as the control's signed short; it reads them back unsigned.
    void SetPort(USHORT nPort);
    BOOL Init();
    long GetUTCShiftServer() const;
    // TRUE and the value when the agent has the setting.
    BOOL GetAgentSetting(long nSettingId, long& nValue);
    CString GetVersionInfoString();
    // 0 hide, 1 restore, 2 minimise the agent desktop.
    void ShowLumoClient(short nMode);
};
