#pragma once
#include "sessions/CHostRoles.h"
#include "core/CAsyncSocketEx.h"
#include <memory>
#include <set>

class CJexSocket;
class CMessage;
class CSessionCore;
class ILumoAppHost;

// The current application port: its listener, and one object per local application (BrennClient,
// Quillan, any program using LumoClient). A request carries the application's request id after
// its word; every line sent back carries that id (-1 for what nobody asked) and then -1 or the
// length of the payload that follows. Requests go to Jex, the main window or the session core, or
// are answered here. Runs on the GUI thread.
//
// The listener is owned by the application object. It creates a socket of this class for each
// connection, which deletes itself when the connection closes; the listener closes those still
// open when it goes.
//
// The class is large: CLumoClientSocket.cpp holds the listener, the line dialect and the log,
// CLumoClientSocketCommands.cpp the plain requests, CLumoClientSocketPayloads.cpp the requests
// with a payload and the settings.
class CLumoClientSocket : public CAsyncSocketEx
{
public:
    static constexpr UINT kPortSearch = 100; // further ports tried when the configured one is taken
    // Connections the listener serves at once; any program of any user on the machine may connect,
    // so further ones are closed as soon as they are accepted, before any handshake.
    static constexpr size_t kMaxConnections = 16;

    CLumoClientSocket(CSessionCore& core, ILumoAppHost& app);
    ~CLumoClientSocket() override;

    // The listener: on 127.0.0.1 only, so that no other computer reaches the agent session. Takes
    // nPort, or while it is taken the next port, up to nFurtherPorts beyond it (ListenOnFreePort; 0:
    // the system chooses). FALSE with the last error when none could be taken.
    BOOL StartListening(UINT nPort, UINT nFurtherPorts = kPortSearch);
    UINT GetListeningPort() const { return m_nListeningPort; }
    // The listener's open connections, registered or not; the number of them.
    size_t GetConnectionCount() const { return m_accepted.size(); }
    void CloseConnections();

    long GetApplicationId() const { return m_nApplicationId; }
    bool IsLoggedIn() const { return m_bLoggedIn; }
    bool MayBeMessageMaster() const { return m_bMayBeMessageMaster; }
    long GetRequestId() const { return m_nRequestId; }

    // One line of the desktop's log file (the setting LogFileLocation), through the writer the old
    // port uses too; FALSE when none was written.
    BOOL WriteLogLine(const CString& strText);

    void OnAccept(int nErrorCode) override;
    void OnClose(int nErrorCode) override;
    CSocketCommandMap* GetCommandMap() override;
    void InitCommandMap() override;
    // Takes the request id off every line but the built-in words' before the dispatch.
    BOOL ProcessCommand(int nLineLength, const CString& strWord, const CString& strParameters,
                        BOOL& bContinue) override;

protected:
    // ---- plain requests (CLumoClientSocketCommands.cpp) ----
    void HandleALOGOF(CStringArray& arrFields);
    void HandleALOGON(CStringArray& arrFields);
    void HandleAPLGIN(CStringArray& arrFields);
    void HandleAUMUTE(CStringArray& arrFields);
    void HandleAUVLME(CStringArray& arrFields);
    void HandleCALLHY(CStringArray& arrFields);
    void HandleCHGOGR(CStringArray& arrFields);
    void HandleDODTMF(CStringArray& arrFields);
    void HandleDRPCAL(CStringArray& arrFields);
    void HandleENDTSK(CStringArray& arrFields);
    void HandleFNDKYI(CStringArray& arrFields);
    void HandleINTHBT(CStringArray& arrFields);
    void HandleISVOIP(CStringArray& arrFields);
    void HandleLSTAGT(CStringArray& arrFields);
    void HandleLSTLOC(CStringArray& arrFields);
    void HandleLSTOGR(CStringArray& arrFields);
    void HandleLSTPAU(CStringArray& arrFields);
    void HandleMANDIA(CStringArray& arrFields);
    void HandleNEXCAL(CStringArray& arrFields);
    void HandleONHOLD(CStringArray& arrFields);
    void HandlePLSSTA(CStringArray& arrFields);
    void HandlePLSSTO(CStringArray& arrFields);
    void HandleQRESTA(CStringArray& arrFields);
    void HandleQRESTO(CStringArray& arrFields);
    void HandleRECCAL(CStringArray& arrFields);
    void HandleREPLMA(CStringArray& arrFields);
    void HandleREQTSK(CStringArray& arrFields);
    void HandleSHOWLC(CStringArray& arrFields);
    void HandleSTAIVR(CStringArray& arrFields);
    void HandleSTAKYI(CStringArray& arrFields);
    void HandleSTAPAU(CStringArray& arrFields);
    void HandleSTOKYI(CStringArray& arrFields);
    void HandleSTOPAU(CStringArray& arrFields);
    void HandleTAGCAL(CStringArray& arrFields);
    void HandleTKECAL(CStringArray& arrFields);
    void HandleTRACAL(CStringArray& arrFields);
    void HandleTRGPRD(CStringArray& arrFields);
    void HandleTSKRES(CStringArray& arrFields);
    void HandleUPDANO(CStringArray& arrFields);
    void HandleUPMSGM(CStringArray& arrFields);
    void HandleWRCACL(CStringArray& arrFields);

    // ---- payloads and settings (CLumoClientSocketPayloads.cpp) ----
    void HandleSNDINT(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete);
    void HandleSNDMSG(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete);
    void HandleSNDMAI(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete);
    void HandleGETASE(CStringArray& arrFields);
    void HandleSAVASE(CStringArray& arrFields);

private:
    static void AddCommands(CSocketCommandMap& map);
    std::shared_ptr<CJexSocket> GetJex() const;
    // The desktop's server of the role, or null, reported as not handled by pszCaller.
    template <class Role> Role* Served(const char* pszCaller) const { return Roles().Find<Role>(pszCaller); }
    const CHostRoles& Roles() const;

    // A payload length as the first field of a payload request gives it. "-1", the dialect's "no
    // payload", is 0; a text that is no length of 32 bits closes the link (FALSE): where the bytes
    // end could not be known, and they must never be read as lines.
    BOOL ReadPayloadLength(const CString& strField, const CString& strWord, DWORD& nLength);
    // The nLength bytes behind the line once they have all arrived, else null with bIncomplete
    // set. The announced length sizes nothing: the buffer grows only with what arrives.
    BYTE* PayloadIfArrived(int nLineLength, DWORD nLength, BOOL& bIncomplete);
    // A payload request with a wrong field count: its payload, as long as its first field says,
    // is dropped as it arrives; then the line goes.
    BOOL SkipMisframedPayload(int nLineLength, const CString& strWord, const CString& strParameters, BOOL& bContinue);
    // Memory files over the payload for the attachments that fit in it, sender = the agent; the
    // message then goes to Jex through send, while the payload is still in place.
    template <class TSend> void RelayMessage(CMessage& message, BYTE* pPayload, DWORD nTotal, TSend send);
    void CloseForUnreadableLength(const CString& strWord, const CString& strField);

    CSessionCore& m_core;
    ILumoAppHost& m_app;

    long m_nApplicationId = -1;
    bool m_bLoggedIn = false;
    // The peer has closed: the lines still buffered are served, but none registers the link again.
    bool m_bPeerClosed = false;
    bool m_bMayBeMessageMaster = true;
    long m_nRequestId = -1;

    bool m_bSkipping = false;   // a misframed payload is being dropped
    DWORD m_nSkipRemaining = 0; // its bytes still to come

    bool m_bListener = false;
    UINT m_nListeningPort = 0;
    CLumoClientSocket* m_pListener = nullptr; // of an accepted socket, while the listener lives
    std::set<CLumoClientSocket*> m_accepted;  // of the listener

    static CSocketCommandMap s_mapLumoClient;
    static CCriticalSection s_csLumoClient;
};
