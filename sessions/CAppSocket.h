#pragma once
#include "sessions/CHostRoles.h"
#include "sessions/IOldApplicationLink.h"
#include "framework/CSocket.h"
#include <memory>
#include <optional>
#include <vector>

class CJexSocket;
class CSessionCore;
class ILumoAppHost;

// The old application port: programs written against the first version of the desktop's interface
// talk plain lines here, without handshake, encryption, request ids or payload lengths, in ANSI or
// UTF-16 as their first line shows. One object listens; each accepted connection is another, which
// deletes itself when its connection closes or its registration is refused. Everything runs on the
// GUI thread.
//
// The class is large: CAppSocket.cpp holds the connection, the framing, the registration, the
// interview data and the log-on; CAppSocketWords.cpp the other words.
class CAppSocket : public CSocket, public IOldApplicationLink
{
public:
    static constexpr int kReadBlock = 10240; // one read, and the step the buffer grows by
    // More unread bytes than this (a line without its end, or a line and the payload it announces)
    // close the connection: one application must not make the desktop hold unbounded memory.
    static constexpr int kMaxHeldBytes = 64 * 1024 * 1024;
    // Connections one listener serves at once; any program of any user on the machine may connect,
    // so further ones are closed as soon as they are accepted.
    static constexpr int kMaxConnections = 16;

    CAppSocket(CSessionCore& core, ILumoAppHost& app);
    CAppSocket(const CAppSocket&) = delete; // the socket map and the core's register hold `this`
    CAppSocket& operator=(const CAppSocket&) = delete;
    ~CAppSocket() override;

    // The listener, on 127.0.0.1 only: the port serves the programs of this desktop, and nothing on
    // the network may act in the agent's session through it. Backlog 5. Takes nPort, or while it is
    // taken the next port, up to nFurtherPorts beyond it (ListenOnFreePort). FALSE with the last
    // error set.
    BOOL StartListening(UINT nPort, UINT nFurtherPorts = 0);
    UINT GetListeningPort() const { return m_nListeningPort; }

    void OnAccept(int nErrorCode) override;
    void OnReceive(int nErrorCode) override;
    void OnClose(int nErrorCode) override;

    // IOldApplicationLink: blocking sends, so a line and the bytes behind it go out back to back.
    void SendLine(const CString& strText) override;
    void SendBytes(const BYTE* pBytes, DWORD nCount) override;
    void KeepPauseList(const CStringArray& arrIds, const CStringArray& arrNames) override;
    void CloseLink() override;

    // One line of the desktop's log file (the setting LogFileLocation); FALSE when none was written.
    BOOL WriteLogLine(const CString& strText);

    // Objects alive, the listener among them: tests see when a connection's object goes.
    static int GetInstanceCount() { return s_nInstances; }

    long GetApplicationId() const { return m_nApplicationId; }
    bool IsLoggedIn() const { return m_bLoggedIn; }
    bool IsWide() const { return m_bWide; }

private:
    // What the reading of lines does after a line.
    enum class Next
    {
        readOn,      // the next buffered line
        waitForData, // the line needs more bytes; it stays in the buffer
        stop,        // no further line in this notification (the object may be gone)
    };
    using WordHandler = Next (CAppSocket::*)(const CString& strRest);
    struct Word
    {
        LPCWSTR pszWord;
        WordHandler pfnHandler;
    };

    // ---- the connection and the framing (CAppSocket.cpp) ----
    bool ReadOnce();
    // One pass over the buffered lines; false when the object is gone.
    bool RunPass(Next& next);
    Next ReadLines();
    bool FindLineEnd(int& nLineBytes) const;
    CString DecodeLine(int nLineBytes) const;
    void Consume(int nCount);
    void CloseConnection();
    void LeaveRegister(); // closes the connection and leaves the core's register; the object stays
    Next HandleSNDINT(const CString& strRest, int nLineTotal);
    Next HandleWord(const CString& strWord, const CString& strRest);
    std::shared_ptr<CJexSocket> JexInSession() const;
    std::shared_ptr<CJexSocket> CurrentJex() const; // null while there is none
    // The desktop's server of the role, or null, reported as not handled by pszCaller.
    template <class Role> Role* Served(const char* pszCaller) const { return Roles().Find<Role>(pszCaller); }
    const CHostRoles& Roles() const;

    Next OnAPLGIN(const CString& strRest);
    Next OnALOGON(const CString& strRest);
    Next OnALOGOF(const CString& strRest);
    Next OnCHKPWD(const CString& strRest);

    // ---- the other words (CAppSocketWords.cpp) ----
    static const Word s_words[];
    Next OnENDCAL(const CString& strRest);
    Next OnSHOWLC(const CString& strRest);
    Next OnLSTAGE(const CString& strRest);
    Next OnLSTPAU(const CString& strRest);
    Next OnSTAPAU(const CString& strRest);
    Next OnENDPAU(const CString& strRest);
    Next OnSNDMSG(const CString& strRest);
    Next OnMANDIA(const CString& strRest);
    Next OnCHGPWD(const CString& strRest);
    Next OnRECCAL(const CString& strRest);
    Next OnPAUSES(const CString& strRest);
    Next OnNothing(const CString& strRest);
    Next OnTRF_OK(const CString& strRest);
    Next OnTRFNOK(const CString& strRest);
    Next OnREJCAL(const CString& strRest);
    Next OnONHOLD(const CString& strRest);
    Next OnTAKBAC(const CString& strRest);
    Next OnNEXCAL(const CString& strRest);
    Next OnSTATRG(const CString& strRest);
    Next OnCANTRG(const CString& strRest);
    Next OnQRESTA(const CString& strRest);
    Next OnQREEND(const CString& strRest);
    Next OnSNDMAL(const CString& strRest);
    Next OnREQTSK(const CString& strRest);
    Next OnWRCACL(const CString& strRest);
    Next OnLSTLOC(const CString& strRest);
    Next OnLSTSUP(const CString& strRest);
    Next OnTRACAL(const CString& strRest);
    Next OnTAGCAL(const CString& strRest);
    Next OnPLSSTA(const CString& strRest);
    Next OnPLSEND(const CString& strRest);
    Next OnTSKRES(const CString& strRest);
    Next OnJOIOGR(const CString& strRest);
    Next OnSAVASE(const CString& strRest);
    Next OnGETASE(const CString& strRest);
    Next OnLSTOGR(const CString& strRest);

    CSessionCore& m_core;
    ILumoAppHost& m_app;

    std::vector<BYTE> m_buffer; // received bytes; grows only with what arrived, never with what a line announces
    int m_nHeld = 0;            // the unread ones, from the front
    long m_nApplicationId = -1;
    bool m_bLoggedIn = false;
    std::optional<long> m_nCheckedAgentId; // the agent of this socket's last CHKPWD
    bool m_bWide = false;
    UINT m_nListeningPort = 0; // of the listener
    // The listener's count of its live connections, shared with each: it may go before they do.
    std::shared_ptr<int> m_pConnections = std::make_shared<int>(0);
    bool m_bCounted = false; // an accepted connection, counted in m_pConnections
    CStringArray m_arrPauseIds;
    CStringArray m_arrPauseNames;

    // Reading may pump messages (a settings request waits for Jex): a notification meanwhile only
    // reads, a close waits for the running pass, and the pass learns from m_pAlive whether a
    // handler deleted the object.
    bool m_bPassRunning = false;
    bool m_bClosePending = false;
    bool m_bPeerClosed = false; // the application closed while a pass ran; its register entry is gone
    bool m_bLinkClosing = false; // closed by the desktop during the pass: it deletes the object
    std::shared_ptr<bool> m_pAlive = std::make_shared<bool>(true);

    static inline int s_nInstances = 0; // GUI thread only
};
