#pragma once
#include "sessions/CJexDataSocket.h"
#include "sessions/CJexSocketBase.h"

class CSessionCore;
class CWnd;
class ILumoAppHost;
class ILumoDlgHost;
class IMessageBoxSink;

// The answer to a request that named a window. lParam: see the kinds below.
constexpr UINT WM_JEXREPLY = WM_USER + 100;
// The Jex command link closed. wParam, lParam: 0.
constexpr UINT WM_JEXCLOSED = WM_USER + 101;

// The command link to Jex: every request of the desktop and every command of Jex travels here.
// One object per session: a reconnect makes a new one, so nothing of a lost session lingers.
// Runs on the GUI thread; message boxes go to the box sink, so that nothing in a handler blocks
// a caller that cannot answer them.
class CJexSocket : public CJexSocketBase
{
public:
    // wParam of WM_JEXREPLY.
    enum ReplyKind
    {
        replyLogon = 0,         // posted; lParam: new CStringArray of the four fields, the receiver deletes it
        replyCheckPassword = 2, // sent; lParam: new PasswordResult, the receiver deletes it
    };
    struct PasswordResult
    {
        long nAgentId;
        short nResult;
    };

    // pCore: the session core that passes the server clock on to the local applications; may be null.
    CJexSocket(ILumoAppHost& app, IMessageBoxSink& boxes, CSessionCore* pCore = nullptr);
    ~CJexSocket() override;

    CSocketCommandMap* GetCommandMap() override;
    void InitCommandMap() override;

    // Connects to the application's Jex host and port. FALSE when the connect fails at once (the
    // connect error keeps why); TRUE while it is under way or done.
    BOOL ConnectToServer();
    void OnConnect(int nErrorCode) override;
    // Says ALOGOF while the session is up, then closes.
    void Close() override;
    void OnClose(int nErrorCode) override;

    // The main window, null while there is none. It learns the log-on result and the loss of the link.
    void SetMainWindow(ILumoDlgHost* pDlg, CWnd* pWnd)
    {
        m_pMainDlg = pDlg;
        m_pMainWnd = pWnd;
    }

    // Log-on by agent id; the window, when given, waits for the answer.
    void Logon(CWnd* pReplyWnd);
    void StartLogon();
    virtual void SendLogonCommand();
    // Log-on by Windows account: FALSE, with nothing sent, when the computer name or the account
    // cannot be read or encrypted.
    BOOL SendWindowsLogon(CWnd* pReplyWnd);
    // Dialogs choose the user-name form of CHKPWD, CHGPWD and RQASUD by it.
    BOOL IsLogonByName() const { return m_bLogonByName; }
    void DetachReplyWindow(CWnd* pWnd);

    // The requests on the way to a log-on. Passwords are letter-pair text of the password cipher.
    void SendCheckPasswordById(CWnd* pReplyWnd, long nAgentId, const CString& strPassword);
    void SendCheckPasswordByName(CWnd* pReplyWnd, const CString& strUserName, const CString& strPassword);
    void RequestStartupDataById(long nAgentId);
    void RequestStartupDataByName(const CString& strUserName);

    bool IsUpdateInProgress() const { return m_bUpdateInProgress; }
    bool IsPasswordEncryption() const { return m_bPasswordEncryption; }
    CWnd* GetReplyWindow() const { return m_pReplyWnd; }

protected:
    void OnTimeSync(const CString& strClock) override;

    void HandleSTARTS(CString strParameters);
    void HandleALOGON(CStringArray& arrFields);
    void HandleALOGOS(CStringArray& arrFields);
    void HandleCHKPWD(CStringArray& arrFields);
    void HandleASUFIN(CStringArray& arrFields);

private:
    // Greeting steps; FALSE when the greeting ends there.
    BOOL DecideUpdate(const CString& strSetupVersion, const CString& strUpdateMode, const CString& strUpdateParameter);
    void CheckServerVersion(const CString& strServerVersion);
    int ShowMessage(const CString& strText, UINT nType);
    void PostReply(CWnd* pWnd, WPARAM nKind, CStringArray* pFields);

    IMessageBoxSink& m_boxes;
    CSessionCore* m_pCore;

    CWnd* m_pReplyWnd = nullptr;
    ILumoDlgHost* m_pMainDlg = nullptr;
    CWnd* m_pMainWnd = nullptr;
    bool m_bUpdateInProgress = false;
    bool m_bPasswordEncryption = true; // until the greeting says otherwise
    bool m_bLogonByName = false;
    long m_nPendingApplication = -1; // the local application whose log-on waits for ALOGON; -1 none

    static CSocketCommandMap s_mapJex;
    static CCriticalSection s_csJex;

    // ---- the data link, the update stream and the uploads ----
public:
    CJexDataSocket& GetDataSocket() { return m_dataLink; }
    // Bulk transfers go over the data link while Jex has it logged in, else over this link.
    void SendDataCommandV(LPCWSTR pszFormat, va_list args) override;
    void SendDataRaw(const void* pBytes, int nCount) override;
    CJexSocketBase& GetDataRoute() override;

    // A log file, zipped as the single entry "data" (SNDLOG). The caller keeps its bytes. TRUE
    // when the archive was handed to the link.
    BOOL SendLogFile(const CString& strFileName, const BYTE* pBytes, DWORD nLength);
    // A recording, zipped with its checksum (SNDSRE). A file that another program keeps locked for
    // about 2 s is not sent; Jex's confirmation deletes it. TRUE when the archive was handed to the link.
    BOOL SendStereoRecording(long nFirstId, long nSecondId, const CString& strPath);

    static constexpr int kUpdateChunkBytes = 10485760; // the update program is written in chunks of at least this

protected:
    void HandleUPDATE(const CString& strParameters, int nLineLength, BOOL& bIncomplete);

private:
    // The update program's next bytes, at the end of its file; FALSE when the file cannot take them.
    BOOL WriteUpdateChunk(const BYTE* pBytes, int nCount);
    void FinishUpdate(const CString& strArguments);
    void FailUpdate();

    CJexDataSocket m_dataLink;
    unsigned long m_nUpdateReceived = 0; // bytes of the update program taken from the stream
    CString m_strUpdateFilePath;
    bool m_bUpdateDropped = false; // the stream runs on to its end without being written or run
};
