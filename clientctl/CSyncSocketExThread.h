#pragma once
#include "framework/CCriticalSection.h"
#include "framework/CHandleOwner.h"
#include "framework/CString.h"
#include "framework/CWinThread.h"
#include <atomic>
#include <memory>
#include <unordered_map>
#include <vector>

class CSyncSocketExSocket;

// The socket thread of one connection to Lumo: owns the socket, the registered requests and sends what
// the owner posts. Answers go to their waiter (its event) or, when nobody waits, to the owner's hidden
// window. Deletes itself when its thread ends.
class CSyncSocketExThread : public CWinThread
{
    DECLARE_DYNCREATE(CSyncSocketExThread)

public:
    // Manual-reset events for waiters, reused. Shared by the owner and its threads: a waiter may still hold
    // a handle when the thread object is gone, so the pool, not the thread, owns the handles.
    class CEventPool
    {
    public:
        HANDLE Take();            // reset; a new event when none is free; null when none can be made
        void Give(HANDLE hEvent); // reset and kept for the next request
        size_t GetCreatedCount();

    private:
        CCriticalSection m_cs;
        std::vector<CKernelHandle> m_arrOwned;
        std::vector<HANDLE> m_arrFree;
    };

    // One request id's record: the waiter's event and, once it came, the answer.
    class CRequest
    {
    public:
        virtual ~CRequest() = default;
        HANDLE m_hEvent = nullptr; // borrowed from the pool; null for an answer nobody registered
        CString m_strCommand;
        CString m_strParameters; // everything after the id and the length field
        std::unique_ptr<BYTE[]> m_pData;
        DWORD m_nLength = 0;
        bool m_bAnswered = false;
    };

    // A line and the payload that follows it, on their way to the socket thread.
    struct CSendData
    {
        CString strLine;
        std::unique_ptr<BYTE[]> pData;
        DWORD nLength = 0;
    };

    CSyncSocketExThread();
    ~CSyncSocketExThread() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    void SetEventPool(std::shared_ptr<CEventPool> pPool) { m_pEventPool = std::move(pPool); }
    long NewRequest(BOOL bWait);
    void AddRequest(long nId, BOOL bWithEvent);
    // Removes the id's record and hands it over (null when not registered); its event stays with the record.
    std::unique_ptr<CRequest> TakeRequest(long nId);
    void RemoveRequest(long nId, BOOL bDelete);
    HANDLE GetRequestEvent(long nId);
    CString GetAnswerText(long nId);
    BOOL IsConnected();

    // Socket thread.
    void OnAnswer(const CString& strCommand, long nId, const CString& strParameters, std::unique_ptr<BYTE[]> pData,
                  DWORD nLength);
    // Wakes the waiter of nId without an answer (the greeting of a connection that failed).
    void FailRequest(long nId);
    void PostSocketClosed(int nErrorCode);
    void PostServerTime(const CString& strClock);
    void PostOwnerError(const CString& strText);

    // Owner's thread.
    void PostConnect(const CString& strAddress, UINT nPort);
    void PostClose();

    std::atomic<HWND> m_hOwnerWnd{nullptr}; // cleared before the thread is told to quit
    CKernelHandle m_hConnected;             // set once the connection attempt has started

    static long GetInstanceCount() { return s_nInstances; }

protected:
    void OnSend(WPARAM wParam, LPARAM lParam);
    void OnSendWithData(WPARAM wParam, LPARAM lParam);
    void OnConnect(WPARAM wParam, LPARAM lParam);
    void OnClose(WPARAM wParam, LPARAM lParam);
    void OnDrop(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    bool PostToOwner(UINT message, WPARAM wParam);

    std::unique_ptr<CSyncSocketExSocket> m_pSocket;
    std::atomic<long> m_nRequestCounter{0};
    std::shared_ptr<CEventPool> m_pEventPool;
    CCriticalSection m_cs; // the request map
    std::unordered_map<long, std::unique_ptr<CRequest>> m_mapRequests;
    static std::atomic<long> s_nInstances;
};
