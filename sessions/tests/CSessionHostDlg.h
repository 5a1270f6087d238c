#pragma once
#include "sessions/tests/CEffectDlgHost.h"

class CSessionHost;

// The main window of the session host: every receiver of a Jex command is noted in the host's
// record ("dlg ..."), and the main window's share of an interview's road is played as the desktop
// plays it: a call or task that starts gets its call record and its STACAL, the agent state,
// queue statistics and ended calls reach every application, a pause list goes to the application
// that asked, an application's end of task goes to Jex, and its ALOGOF ends the host.
class CSessionHostDlg : public CEffectDlgHost
{
public:
    CSessionHostDlg(CSessionHost& host, std::vector<std::wstring>& effects) : CEffectDlgHost(effects), m_host(host) {}

    void SetAgentState(int nState, const CString& strStateText) override;
    void ShowQueueStats(const CString& strText) override;
    void OnOutboundCallEnded(long nCallId) override;
    void OnPauseList(long nRequestId, long nApplicationId, const CString& strList) override;
    void StartInboundCall(const CString& strTask) override;
    void StartOutboundCall(const CString& strTask) override;

    // What the application port asks of the main window.
    void EndCall(int nResult, const CString& strEndText, long nCallId) override;
    void RequestPauseList(long nRequestId, long nApplicationId) override;
    void LogOff() override;

protected:
    void Note(const std::wstring& text) override;

private:
    // The call record of the task's QoCallId (made when missing) takes the direction, the task's
    // application and its text; the data Jex sent for it before go out, then its start.
    void StartCall(const CString& strTask, long nDirection);

    CSessionHost& m_host;
};
