#pragma once
#include "sessions/CJexSocketBase.h"
#include "framework/CHandleOwner.h"

class CJexSocket;

// The data link: a second connection to the port that Jex names in its greeting, for the bulk
// uploads (log files, recordings) once Jex has accepted it. Held inside its command link, which
// logs the agent on only once this link is up, has failed, or has had its time.
// Runs on the GUI thread: its connect timer is a thread timer of that thread.
class CJexDataSocket : public CJexSocketBase
{
public:
    CJexDataSocket(ILumoAppHost& app, CJexSocket& owner);
    ~CJexDataSocket() override;

    CSocketCommandMap* GetCommandMap() override;
    void InitCommandMap() override;

    // Connects to the data port of Jex's host. TRUE when a connect is under way or done: the
    // owner's log-on then follows from here, exactly once. FALSE when the owner must log on itself.
    BOOL StartConnect();
    void Close() override;
    void OnConnect(int nErrorCode) override;
    void OnClose(int nErrorCode) override;
    // The connect has had its time: a link that did not get logged in goes.
    void OnConnectTimeout();
    // The command link is gone: nothing is left to log on.
    void CloseWithCommandLink();

    CJexSocketBase& GetDataRoute() override { return *this; }

    long GetDataPort() const { return m_nDataPort; }
    // From the greeting: the decimal port; -1 none announced.
    void SetDataPort(long nPort) { m_nDataPort = nPort; }
    int GetLastError() const { return m_nLastError; }
    bool IsLoggedIn() const { return m_bLoggedIn; }
    // A connect is under way and its timer runs.
    bool IsConnectPending() const { return m_connectTimer.IsValid(); }
    CJexSocket* GetOwner() const { return m_pOwner; }

    // How long a connect may take before the log-on goes without this link; tests shorten it.
    static void SetConnectTimeout(UINT nMilliseconds) { s_nConnectTimeoutMs = nMilliseconds; }
    static constexpr UINT kConnectTimeoutMs = 10000;

protected:
    void HandleSTARTS(CString strParameters);
    void HandleALGDAT(CString strParameters);

private:
    static void CALLBACK DataConnectTimerProc(HWND hWnd, UINT nMsg, UINT_PTR nIdEvent, DWORD dwTime);
    void KillConnectTimer();
    void HandOnLogon();

    long m_nDataPort = -1;
    int m_nLastError = 0;
    bool m_bLoggedIn = false; // Jex answered ALGDAT with "0"
    CJexSocket* m_pOwner;
    CThreadTimer m_connectTimer;
    bool m_bLogonHandedOn = false; // the owner's ALOGON of this connect attempt went out

    static UINT s_nConnectTimeoutMs;
    static CSocketCommandMap s_mapData;
    static CCriticalSection s_csData;
};
