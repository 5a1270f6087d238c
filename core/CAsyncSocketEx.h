#pragma once
#include "core/CSocketCommand.h"
#include "framework/CAsyncSocket.h"
#include "framework/CCriticalSection.h"
#include "framework/CSingleLock.h"
#include "framework/COleDateTimeSpan.h"
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

class CLinkCipher;
class CLinkCompressor;
class CSocketSendBuffer;

// The base of every link: one line protocol over TCP. Reads and buffers the stream, decides between UTF-16LE
// and ANSI text on the first data after each reset, cuts lines at the carriage return, splits them into a
// command word and escaped fields and calls the word's handler from the class's command map. Notifications,
// passes and handlers run on the thread that owns the socket.
//
// A derived class with commands of its own keeps a static CSocketCommandMap and a static CCriticalSection,
// overrides GetCommandMap and InitCommandMap (InitDerivedCommandMap: own lock first, then the
// base's; copy the base map, then add its words) and writes one member function per word in the shape of its
// mode (see CSocketCommand.h).
//
// The class is large: CAsyncSocketEx.cpp holds the receive path and the dispatch, CAsyncSocketExSend.cpp
// the send path, the close and the statistics.
class CAsyncSocketEx : public CAsyncSocket
{
public:
    explicit CAsyncSocketEx(bool bEncryptionDefault = false, bool bCompressionDefault = false);
    ~CAsyncSocketEx() override;
    CAsyncSocketEx(const CAsyncSocketEx&) = delete; // the socket map and the buffers hold `this`
    CAsyncSocketEx& operator=(const CAsyncSocketEx&) = delete;

    // Fills the command map, resets and creates the socket with TCP keep-alive (60 s idle, 1 s between
    // probes). A refused keep-alive does not fail the creation.
    [[nodiscard]] virtual BOOL Create(UINT nSocketPort = 0, int nSocketType = SOCK_STREAM, long lEvent = CAsyncSocket::kAllEvents,
                        LPCWSTR lpszSocketAddress = nullptr);

    // The receive pass calls this without a buffer: it reads into the receive buffer (or into a pending
    // binary payload). -1 when the read would block, 0 when the link closed or failed.
    int Receive(void* lpBuf, int nBufLen, int nFlags = 0) override;

    virtual CSocketCommandMap* GetCommandMap();
    virtual void InitCommandMap();
    // A derived class's InitCommandMap in one call (CSocketCommandMap::InitDerived, its lock order):
    //     InitDerivedCommandMap<CAsyncSocketEx>(this, s_map, s_cs, s_csCommandMap, [](CSocketCommandMap& map) {
    //         map.Add(L"MYWORD", new CSocketCommand(...));
    //     });
    // TBase, the direct base, is named: its InitCommandMap and GetCommandMap are called as its own.
    template <class TBase, class FAddOwn>
    static void InitDerivedCommandMap(std::type_identity_t<TBase>* pThis, CSocketCommandMap& map,
                                      CCriticalSection& csOwn, CCriticalSection& csBase, FAddOwn addOwn)
    {
        map.InitDerived(
            csOwn, csBase,
            [pThis] {
                pThis->TBase::InitCommandMap();
                return pThis->TBase::GetCommandMap();
            },
            addOwn);
    }
    virtual void ResetConnection();
    virtual int ProcessReceive(int nErrorCode);
    // Removes nLineLength bytes plus the line end from the front of the buffer; a handler that owns a payload
    // passes line length plus payload length. Out of range empties the buffer.
    virtual void ConsumeReceived(int nLineLength);
    virtual BOOL ProcessCommand(int nLineLength, const CString& strWord, const CString& strParameters, BOOL& bContinue);

    // Protocol errors: the defaults write one line to the received-side trace; nothing is answered to the
    // peer.
    virtual void OnUnknownCommand(const CString& strWord, const CString& strParameters);
    virtual void OnCommandNotAllowed(const CString& strWord, const CString& strParameters);
    virtual void OnWrongParameterCount(const CString& strWord, const CString& strParameters, long nExpected,
                                       int nReceived);
    virtual void OnCommandException(const CString& strWord, const CString& strParameters, const CString& strError);

    // One field made safe for the line: empty -> 0x08, blank -> 0x0C, carriage return -> 0x07.
    static CString EscapeParameter(const CString& strText);
    // Splits at the first blank; a line without one, or starting with one, is all command word.
    static void SplitCommandLine(const CString& strLine, CString& strWord, CString& strParameters);

    // For handlers of payload modes: the unconsumed bytes, their line first. The payload of a line starts at
    // line length plus GetCharSize(). The writable form lets a memory file or a message sit over a payload
    // and work on it in place; the bytes stay valid until the handler returns or consumes them.
    const BYTE* GetReceivedData() const { return m_pReceiveBuffer.get() + m_nReceiveOffset; }
    BYTE* GetReceivedData() { return m_pReceiveBuffer.get() + m_nReceiveOffset; }
    int GetReceivedCount() const { return m_nReceived; }
    int GetReceiveCapacity() const { return m_nReceiveCapacity; }

    // A handler that has read its payload's length tells the link how much it waits for: line, line end
    // and payload. The length is the peer's word, so room is made only for a bounded first step; it grows
    // (by half or more, never beyond the total) as the bytes arrive, and the last block is exactly the
    // total. FALSE when the total is more than the link's counts can describe: the link then closes after
    // the pass, the error reported through OnCommandException; the handler just returns (incomplete). The
    // bytes may move: read GetReceivedData() again after the call. While the handler waits, one
    // notification reads on until the total is here or the network has nothing more.
    BOOL ReservePayload(int nLineLength, long long nPayloadLength);
    // Whether the link's counts can describe a line and its payload of this length: a handler that
    // would rather drop a line than lose the link asks before it reserves.
    bool IsPayloadCountable(int nLineLength, long long nPayloadLength) const;
    // What a payload's announced length may reserve before any of its bytes arrived.
    static constexpr int kPayloadFirstStep = 1024 * 1024;

    // For a stream too long to hold whole (the update stream): a handler of mode 1 or 3 takes the bytes
    // right behind its line end as they arrive and removes them here, keeping its line in front; it stays
    // incomplete until the stream's end, then consumes its line. Counts beyond what is buffered are cut.
    int GetCountAfterLine(int nLineLength) const;
    void ConsumeAfterLine(int nLineLength, int nCount);
    int GetCharSize() const { return m_nCharSize; }
    bool IsWide() const { return m_bWide; }
    bool IsLastCommandIncomplete() const { return m_bLastCommandIncomplete; }

    // Sending, from any thread; the send lock orders the senders. A line's format ends with "\r"
    // itself. Nothing is reported to the caller: bytes the network does not take at once wait in the
    // send queue until OnSend, or until the close empties it.
    template <FormatArgument... Args> void SendCommand(LPCWSTR pszFormat, Args... args)
    {
        SendCommandFormatted(pszFormat, args...);
    }
    virtual void SendCommandV(LPCWSTR pszFormat, va_list args);
    virtual void SendString(const CString& strText);
    virtual void SendRaw(const void* pBytes, int nCount);
    // The same, the bytes handed over: they wait in the send queue (and are encrypted) where they lie,
    // so a large payload is never copied. The vector is empty afterwards, the block null.
    void SendRaw(std::vector<BYTE>&& bytes);
    void SendRaw(std::unique_ptr<BYTE[]>&& pBytes, int nCount);
    virtual void FlushSendQueue();
    void ClearSendQueue();
    int GetQueuedByteCount();
    // Bytes the send path has copied (into its work buffer or into the send queue) since the link was
    // made: tells a sender whose payload is handed over from one whose payload is copied.
    unsigned long long GetSendCopiedBytes();

    // The layers under the lines, switched on by the handshake (or by the constructor's defaults).
    BOOL InitEncryption(const char* pszPassPhrase);
    BOOL InitCompression(int nLevel);

    // Closes the link on its owner thread: posted there when a close message is set and the caller
    // is another thread (TRUE), otherwise Close and OnClose(0) at once (FALSE).
    virtual BOOL Disconnect();
    static void DisconnectByHandle(SOCKET hSocket);

    // Statistics, for descriptions only. With compression on, the stream totals (bCompressed: what
    // went over the network); otherwise the plain byte counters.
    DWORD GetBytesSent(bool bCompressed);
    DWORD GetBytesReceived(bool bCompressed);
    double GetSendCompressionRatio(); // uncompressed / compressed, 0 when nothing passed
    double GetReceiveCompressionRatio();
    CString GetLocalAddress(); // "127.0.0.1:4711", empty on failure
    CString GetPeerAddress();
    CString GetLinkDescription(); // "local (address) <-> remote (address)"
    virtual CString GetDescription(bool bReverse = false);

    void SetInputTracePath(const CString& strPath) { m_strInputTracePath = strPath; }
    void SetOutputTracePath(const CString& strPath) { m_strOutputTracePath = strPath; }

    bool m_bSession = false;      // the application session is up; entries that need it wait for it
    bool m_bDeleteOnClose = true; // cleared by links that their owner deletes
    CCriticalSection m_csSend;    // held across a line and the payload that follows it

    // A line longer than this (its end not among the bytes) closes the link: a peer must not make one
    // link hold unbounded memory. Payloads are bounded only by the 32-bit counts.
    static constexpr int kMaxLineBytes = 64 * 1024 * 1024;

    void OnReceive(int nErrorCode) override;
    void OnSend(int nErrorCode) override;
    void OnClose(int nErrorCode) override;

protected:
    // Trace sinks: this system records nothing; a protocol trace would go here.
    virtual void TraceReceived(const CString& strText);
    virtual void TraceSent(const CString& strText);

    // The network read under the receive path; the only place the socket is read.
    virtual int ReadFromNetwork(void* pTarget, int nCount, int nFlags);
    // Every receive buffer comes from here (uninitialised: the network fills it). Must not return null.
    virtual std::unique_ptr<BYTE[]> AllocateReceiveBuffer(int nCapacity);
    // Drops every unconsumed byte, complete lines included (a greeting that restarts the stream).
    void DiscardReceived();

    static CSocketCommandMap s_mapCommands;
    static CCriticalSection s_csCommandMap;

    bool m_bDetectEncoding = true; // decide UTF-16LE or ANSI on the first data after a reset
    bool m_bEncryptionDefault;
    bool m_bCompressionDefault;
    bool m_bEncryption;
    bool m_bCompression;
    bool m_bAcceptingSide = false;
    int m_nHandshakeState = 0;
    std::atomic<long> m_nCommandsInProgress{0};
    std::atomic<long> m_nAcceptsInProgress{0};
    bool m_bDeletePending = false;
    CString m_strLocalName; // names of the two ends, for descriptions only
    CString m_strRemoteName;
    // The format of one trace line; a derived link may set its own (the data link marks its lines).
    CString m_strTraceLineFormat = L"%s : %s\r\n";
    DWORD m_nOwnerThread = 0; // the thread that connected or accepted this link
    UINT m_nCloseMessage = 0; // posted to the owner thread by a Disconnect from another thread

private:
    class CPassScope;
    class CCommandScope;
    friend class CPassScope;

    int ReadIntoBuffer(BYTE* pTarget, int nRoom, int nFlags, bool bIntoPayload);
    DWORD PendingNetworkBytes();
    bool GrowReceiveBuffer(int nBy);
    bool GrowPayload();
    void ForgetPayload();
    bool IsReserveShort() const { return m_bLastCommandIncomplete && m_nReserveTarget > m_nReceiveCapacity; }
    void ReplaceReceiveBuffer(int nCapacity);
    void BreakStream(int nError, LPCWSTR pszReason);
    void CompactReceiveBuffer();
    void DetectEncoding();
    bool IsPayloadPending() const { return m_pPayload && m_nPayloadReceived < m_nPayloadExpected; }
    bool FindLineEnd(int& nLineLength);
    void ReadLine(int nLineLength, CString& strWord, CString& strParameters) const;
    bool DispatchBufferedLines();
    bool OnDispatchFailed(const CString& strWord, const CString& strParameters, const CString& strError,
                          uint64_t nConsumeCountBefore);
    void DispatchFields(CSocketCommand& command, const CStringArray& arrFields, int nLineLength, BOOL& bContinue);
    BOOL DropLine(int nLineLength);
    void DispatchBinary(CSocketCommand& command, CStringArray& arrFields, int nLineLength, BOOL& bContinue);
    void DeleteIfPending();
    void SendCommandFormatted(LPCWSTR pszFormat, ...);
    // Gives the queue the block that holds bytes the network left (nTaken of them went out), or
    // null when the rest is to be copied.
    using HandOver = std::function<std::unique_ptr<CSocketSendBuffer>(int nTaken)>;
    void SendOrQueue(const BYTE* pBytes, int nCount, const HandOver& handOver);
    void SendHandedOver(BYTE* pBytes, int nCount, const HandOver& handOver);
    int ReceiveCompressed(int nFlags);
    int ReceiveCompressedOnce(int nFlags);
    bool DecryptReceived(BYTE* pBytes, int nCount);
    void CloseBrokenLink();
    void WriteCloseTraces(int nErrorCode);

    std::unique_ptr<BYTE[]> m_pReceiveBuffer;
    int m_nReceiveCapacity = 0;
    int m_nReceiveOffset = 0;  // consumed lines are skipped here and moved out once per pass
    int m_nReceived = 0;       // unconsumed bytes from m_nReceiveOffset on
    int m_nLineSearchFrom = 0; // bytes past the front known to hold no line end
    bool m_bWide = true;
    short m_nCharSize = 2;
    bool m_bEncodingDetected = false;
    std::unique_ptr<BYTE[]> m_pPayload;
    int m_nPayloadCapacity = 0; // grows towards the expected length as the bytes arrive
    int m_nPayloadExpected = 0;
    int m_nPayloadReceived = 0;
    int m_nReserveTarget = 0; // what the waiting handler's ReservePayload asked for; 0 when none
    bool m_bLastCommandIncomplete = false;
    bool m_bPassRunning = false; // a nested notification then only reads and marks more data
    bool m_bMoreData = false;
    int m_nDispatchMode = -1;     // mode of the entry being dispatched, -1 before the look-up
    uint64_t m_nConsumeCount = 0; // tells whether a failed command had its line consumed
    CStringArray m_arrFields;     // reused for the fields of every line
    bool m_bFieldsInUse = false;
    CString m_strInputTracePath;
    CString m_strOutputTracePath;
    DWORD m_nBytesSent = 0;
    DWORD m_nBytesReceived = 0;
    std::deque<std::unique_ptr<CSocketSendBuffer>> m_sendQueue; // oldest first; guarded by m_csSend
    std::unique_ptr<BYTE[]> m_pSendWork; // RC4 output of bytes the caller keeps; reused, never zero-filled
    int m_nSendWorkCapacity = 0;
    // A rest of the work buffer at least this long waits in the queue in the buffer itself.
    static constexpr int kWorkHandOverBytes = 64 * 1024;
    unsigned long long m_nSendCopiedBytes = 0; // guarded by m_csSend
    std::vector<BYTE> m_inflateInput; // raw bytes when compression is on
    std::unique_ptr<CLinkCipher> m_pCipher;
    std::unique_ptr<CLinkCompressor> m_pCompressor;
    bool m_bStreamBroken = false; // a corrupt inflate stream, a cipher failure or an overlong line: the link closes
    int m_nBrokenError = 0;       // the close's error code, and what the error hook is told
    CString m_strBrokenReason;

    // ---- the handshake and the built-in commands (CAsyncSocketExHandshake.cpp) ----
public:
    // The accepting side: accepts into the new link (a CAsyncSocketEx) and runs the handshake on it for up
    // to about 1 s. TRUE when accepted and the new link has not been closed for deletion meanwhile.
    BOOL Accept(CAsyncSocket& rConnectedSocket, SOCKADDR* lpSockAddr = nullptr, int* lpSockAddrLen = nullptr) override;
    // The connecting side: without an error, fresh keys and streams and the handshake for up to about 3 s.
    void OnConnect(int nErrorCode) override;
    // What this side offers or decides: encryption on, compression off.
    virtual void GetPreferredSettings(bool& bEncryption, bool& bCompression);

    // "2020-01-22T09:30:07-01:00": the machine's UTC clock (never shifted), then UTC minus local time.
    static CString FormatCurrentTime();
    static CString FormatLinkClock(const SYSTEMTIME& stUtc, long nUtcBiasMinutes);
    // "DOMAIN\COMPUTER", or "\COMPUTER" outside a domain; FALSE when the machine's names cannot be read.
    static BOOL GetMachineAccountName(CString& strAccount);
    // The rule behind it: a workgroup name (no domain SID) is left out unless it equals the computer name.
    static CString ComposeMachineAccountName(const CString& strDomain, bool bDomainHasSid, const CString& strComputer);

    void SetPeerTime(const CString& strClock); // a link clock text; an unreadable one changes nothing
    void RequestTimeSync();
    void SendTimeSync();
    void SendCurrentTime();
    // An empty stamp sends the current one; bRequest asks the peer to send the stamp back. Virtual: the
    // answer to a peer's request goes through it too.
    virtual void SendHeartbeat(const CString& strStamp, bool bRequest);

    int GetHandshakeState() const { return m_nHandshakeState; }
    bool IsAcceptingSide() const { return m_bAcceptingSide; }
    bool IsEncryptionOn() const { return m_bEncryption; }
    bool IsCompressionOn() const { return m_bCompression; }
    // What the peer told about itself; recorded only, the framework does not use them.
    const CString& GetPeerMachineAccount() const { return m_strPeerMachineAccount; }
    int32_t GetPeerClockDifference() const { return m_nPeerClockDifference; } // own UTC minus the peer's, s
    int32_t GetPeerUtcBias() const { return m_nPeerUtcBias; }                 // the peer's UTC minus local, min
    const COleDateTimeSpan& GetLocalTimeDifference() const { return m_spanLocalTimeDifference; }

    bool m_bPushClockAfterHandshake = true; // the accepting side sends its clock once the handshake is done

protected:
    virtual void OnHeartbeatRoundTrip(ULONGLONG nMilliseconds);
    virtual void OnTimeSync(const CString& strClock); // the base sets the process's server clock shift

    void HandleCNPROP(CStringArray& arrFields);
    void HandleCURTIM(CStringArray& arrFields);
    void HandleTTSYNC(CStringArray& arrFields);
    void HandleHEARTB(CStringArray& arrFields);
    static void AddBuiltInCommands(CSocketCommandMap& map);
    static const char s_szLinkPassPhrase[]; // every program of the system holds the same one

private:
    bool RunHandshakeRounds(int nRounds);
    void TraceBoth(const CString& strText);

    CString m_strPeerMachineAccount;
    int32_t m_nPeerClockDifference = 0;
    int32_t m_nPeerUtcBias = 0;
    COleDateTimeSpan m_spanLocalTimeDifference{NullSpan()}; // null until a peer clock arrives
    static COleDateTimeSpan NullSpan();
    // ---- end of the handshake block ----
};
