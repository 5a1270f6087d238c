#pragma once
#include "clientctl/CSyncSocketCommand.h"
#include "clientctl/CSyncSocketExThread.h"
#include "framework/CObject.h"
#include "framework/CString.h"
#include "framework/CStringArray.h"
#include <atomic>
#include <memory>

class CSyncSocketExHiddenWnd;

// A request/answer client with synchronous calls over a link that lives on its own socket thread. The
// owner's thread posts requests and may wait for the answer with the same request id, pumping its
// messages meanwhile; whatever arrives without a waiter comes back through a hidden window and the
// class's command map.
//
// Lifetime: delete through SafeDelete. Every public entry holds the busy count, so a deletion asked for
// while a call runs inside the object (a handler, a nested wait) happens when the outermost call leaves.
class CSyncSocketEx : public CObject
{
    friend class CSyncSocketExHiddenWnd;

public:
    CSyncSocketEx();
    ~CSyncSocketEx() override;
    CSyncSocketEx(const CSyncSocketEx&) = delete; // the window and the thread point at this object
    CSyncSocketEx& operator=(const CSyncSocketEx&) = delete;

    // TCP connect (up to 5 s to start) and Lumo's greeting (up to 10 s); its unescaped fields go to
    // arrGreeting. TRUE at once, the array untouched, when a connection exists.
    BOOL Connect(LPCWSTR pszAddress, UINT nPort, CStringArray& arrGreeting);
    // Posts the close to the socket thread and forgets it; OnDisconnected follows. FALSE without a thread.
    BOOL Disconnect();
    void SafeDelete();

    // The request id; 0, and nothing sent, without a connection.
    template <FormatArgument... Args> long PostRequest(BOOL bWait, LPCWSTR pszCommand, LPCWSTR pszFormat, Args... args)
    {
        CString strFields;
        strFields.Format(pszFormat, args...);
        return PostLine(bWait, pszCommand, &strFields, false, nullptr, 0);
    }
    long PostCommand(BOOL bWait, LPCWSTR pszCommand) { return PostLine(bWait, pszCommand, nullptr, false, nullptr, 0); }
    // The payload is copied before the call returns.
    template <FormatArgument... Args>
    long PostRequestWithData(BOOL bWait, LPCWSTR pszCommand, LPCWSTR pszFormat, const BYTE* pData, DWORD nLength,
                             Args... args)
    {
        CString strFields;
        strFields.Format(pszFormat, args...);
        return PostLine(bWait, pszCommand, &strFields, true, pData, pData ? nLength : 0);
    }

    // Waits for the answer to nId (nTimeout in seconds; below 1: no limit). nMinFields below 0: no minimum.
    // On success the caller owns the payload (null when none came).
    BOOL WaitForAnswerData(long nId, CStringArray& arrFields, int nMinFields, std::unique_ptr<BYTE[]>& pData,
                           DWORD& nLength, int nTimeout);
    BOOL WaitForAnswer(long nId, CStringArray& arrFields, int nMinFields, int nTimeout);

    virtual BOOL ProcessCommand(const CString& strCommand, const CString& strParameters, BYTE* pData, DWORD nLength);
    virtual void OnDisconnected(int nErrorCode);
    virtual CSyncSocketCommandMap* GetCommandMap();
    virtual void InitCommandMap();
    virtual void OnServerTime(const CString& strClock);
    // A fault on the link or in a handler that the owner should hear of; the base drops it.
    virtual void OnLinkError(const CString& strText);

    // Fields of an answer: split at every blank (inner empty fields kept, a final empty piece dropped),
    // each unescaped.
    static void SplitAnswerFields(const CString& strParameters, CStringArray& arrFields);

    bool HasThread() const { return m_pThread != nullptr; }
    size_t GetEventPoolSize() const { return m_pEventPool->GetCreatedCount(); }
    static long GetInstanceCount() { return s_nInstances; }

protected:
    static CSyncSocketCommandMap s_mapCommands;

    // Holds the busy count for one entry; the outermost one to leave runs a deletion asked for meanwhile.
    class CBusyScope
    {
    public:
        explicit CBusyScope(CSyncSocketEx& socket) : m_socket(socket) { ++m_socket.m_nBusy; }
        ~CBusyScope();
        CBusyScope(const CBusyScope&) = delete;
        CBusyScope& operator=(const CBusyScope&) = delete;

    private:
        CSyncSocketEx& m_socket;
    };

private:
    long PostLine(BOOL bWait, LPCWSTR pszCommand, const CString* pFields, bool bWithData, const BYTE* pData,
                  DWORD nLength);
    void QuitThread(); // the thread is told to quit and forgotten; nothing reaches the owner after that
    // Entries from the hidden window.
    void DispatchCommand(CSyncSocketExThread::CRequest& request);
    void DispatchDisconnected(int nErrorCode);
    void DispatchServerTime(const CString& strClock);
    void DispatchError(const CString& strText);

    CSyncSocketExThread* m_pThread = nullptr; // deletes itself when its thread ends
    std::unique_ptr<CSyncSocketExHiddenWnd> m_pWnd;
    std::shared_ptr<CSyncSocketExThread::CEventPool> m_pEventPool;
    std::atomic<long> m_nBusy{0};
    bool m_bDeletePending = false;
    static std::atomic<long> s_nInstances;
};

// Waits for hEvent (nTimeout in seconds, INFINITE for none). On the application's thread it pumps that
// thread's messages in 100 ms slices meanwhile; elsewhere it only waits. TRUE when the event was set.
BOOL WaitWithMessagePump(HANDLE hEvent, DWORD nTimeout);
