#pragma once
#include "core/CAsyncSocketEx.h"
#include <memory>
#include <utility>

class ILumoAppHost;

// The common base of the links to Jex. The handshake decides encryption and compression, so the
// constructor offers neither as a default; the links are owned by the desktop and never delete
// themselves on close.
class CJexSocketBase : public CAsyncSocketEx
{
public:
    explicit CJexSocketBase(ILumoAppHost& app);
    ~CJexSocketBase() override;

    CSocketCommandMap* GetCommandMap() override;
    void InitCommandMap() override;

    bool IsGreetingRefused() const { return m_bGreetingRefused; }
    // What the connection dialog shows for a refused greeting; the link itself leaves it empty.
    const CString& GetGreetingRefusalText() const { return m_strGreetingRefusalText; }
    // Winsock error of the last connect attempt: -1 before any, 0 after success.
    int GetConnectError() const { return m_nConnectError; }

    // A line and the bytes Jex reads behind it, in one hold of the send lock: another sender's
    // line must not land inside the payload.
    void SendLineWithPayload(const CString& strLine, const void* pBytes, int nCount)
    {
        SendLineThen(strLine, [&] {
            if (nCount > 0) SendRaw(pBytes, nCount);
        });
    }
    // The same with bytes the caller hands over: they wait in the send queue where they lie.
    void SendLineWithPayload(const CString& strLine, std::unique_ptr<BYTE[]>&& pBytes, int nCount)
    {
        SendLineThen(strLine, [&] {
            if (nCount > 0) SendRaw(std::move(pBytes), nCount);
        });
    }
    // The same for a payload that sendPayload writes piece by piece with SendRaw.
    template <class SendPayload> void SendLineThen(const CString& strLine, SendPayload sendPayload)
    {
        CSingleLock lock(&m_csSend, TRUE);
        SendString(strLine);
        sendPayload();
    }
    // The link that carries bulk transfers (log files, recordings) now.
    virtual CJexSocketBase& GetDataRoute() = 0;

    // A trace file stays below this size: when a line would take it over, the file starts again.
    static constexpr LONGLONG kMaxTraceFileBytes = 1024 * 1024;
    // A trace text is cut to this many characters: a peer's long line must not fill the file at once.
    static constexpr int kMaxTraceChars = 4096;

protected:
    // Each sink appends to its trace file, when one is named.
    void TraceReceived(const CString& strText) override;
    void TraceSent(const CString& strText) override;
    void AppendTrace(const CString& strPath, const CString& strText);

    CString m_strInputTrace; // the paths the framework is given, kept for the sinks
    CString m_strOutputTrace;

    // Jex confirms an uploaded recording; its file goes.
    void HandleSNDSRE(CStringArray& arrFields);

    ILumoAppHost& m_app;
    bool m_bGreetingRefused = false; // the first word of STARTS was not a number
    CString m_strGreetingRefusalText;
    int m_nConnectError = -1;

    static CSocketCommandMap s_mapJexBase;
    static CCriticalSection s_csJexBase;
};
