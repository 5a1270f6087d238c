#include "clientctl/CSyncSocketExThread.h"
#include "clientctl/CSyncSocketExSocket.h"
#include "clientctl/ClientCtlMessages.h"
#include "framework/CAtlModule.h"
#include "framework/CSingleLock.h"

std::atomic<long> CSyncSocketExThread::s_nInstances{0};

HANDLE CSyncSocketExThread::CEventPool::Take()
{
    CSingleLock lock(&m_cs, TRUE);
    if (!m_arrFree.empty())
    {
        HANDLE hEvent = m_arrFree.back();
        m_arrFree.pop_back();
        ::ResetEvent(hEvent);
        return hEvent;
    }
    CKernelHandle hNew(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!hNew.IsValid()) return nullptr;
    m_arrOwned.push_back(std::move(hNew));
    return m_arrOwned.back().Get();
}

void CSyncSocketExThread::CEventPool::Give(HANDLE hEvent)
{
    if (!hEvent) return;
    ::ResetEvent(hEvent);
    CSingleLock lock(&m_cs, TRUE);
    m_arrFree.push_back(hEvent);
}

size_t CSyncSocketExThread::CEventPool::GetCreatedCount()
{
    CSingleLock lock(&m_cs, TRUE);
    return m_arrOwned.size();
}

IMPLEMENT_DYNCREATE(CSyncSocketExThread, CWinThread)

BEGIN_MESSAGE_MAP(CSyncSocketExThread, CWinThread)
ON_THREAD_MESSAGE(WM_SYNCSOCKETEX_SEND, &CSyncSocketExThread::OnSend)
ON_THREAD_MESSAGE(WM_SYNCSOCKETEX_SENDDATA, &CSyncSocketExThread::OnSendWithData)
ON_THREAD_MESSAGE(WM_SYNCSOCKETEX_CONNECT, &CSyncSocketExThread::OnConnect)
ON_THREAD_MESSAGE(WM_SYNCSOCKETEX_CLOSE, &CSyncSocketExThread::OnClose)
ON_THREAD_MESSAGE(WM_SYNCSOCKETEX_DROP, &CSyncSocketExThread::OnDrop)
END_MESSAGE_MAP()

CSyncSocketExThread::CSyncSocketExThread()
    : m_hConnected(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_pSocket(std::make_unique<CSyncSocketExSocket>(*this)), m_pEventPool(std::make_shared<CEventPool>())
{
    ++s_nInstances;
    // A running link keeps the library from being unloaded: DllCanUnloadNow counts it.
    if (CAtlModule* pModule = AtlGetModule()) pModule->Lock();
}

CSyncSocketExThread::~CSyncSocketExThread()
{
    {
        // Their events stay out of the pool: a waiter may still be waiting on one.
        CSingleLock lock(&m_cs, TRUE);
        m_mapRequests.clear();
    }
    --s_nInstances;
    if (CAtlModule* pModule = AtlGetModule()) pModule->Unlock();
}

BOOL CSyncSocketExThread::InitInstance()
{
    return m_pSocket != nullptr;
}

int CSyncSocketExThread::ExitInstance()
{
    m_hConnected.Close();
    m_pSocket.reset(); // closes the socket on the thread that owns it
    return CWinThread::ExitInstance();
}

long CSyncSocketExThread::NewRequest(BOOL bWait)
{
    const long nId = ++m_nRequestCounter;
    if (bWait) AddRequest(nId, TRUE); // before sending: the answer must not overtake the registration
    return nId;
}

void CSyncSocketExThread::AddRequest(long nId, BOOL bWithEvent)
{
    auto pRequest = std::make_unique<CRequest>();
    if (bWithEvent) pRequest->m_hEvent = m_pEventPool->Take();
    CSingleLock lock(&m_cs, TRUE);
    auto& slot = m_mapRequests[nId];
    if (slot) m_pEventPool->Give(slot->m_hEvent);
    slot = std::move(pRequest);
}

std::unique_ptr<CSyncSocketExThread::CRequest> CSyncSocketExThread::TakeRequest(long nId)
{
    CSingleLock lock(&m_cs, TRUE);
    const auto it = m_mapRequests.find(nId);
    if (it == m_mapRequests.end()) return nullptr;
    std::unique_ptr<CRequest> pRequest = std::move(it->second);
    m_mapRequests.erase(it);
    return pRequest;
}

void CSyncSocketExThread::RemoveRequest(long nId, BOOL bDelete)
{
    std::unique_ptr<CRequest> pRequest = TakeRequest(nId);
    if (!pRequest) return;
    m_pEventPool->Give(std::exchange(pRequest->m_hEvent, nullptr));
    if (!bDelete) pRequest.release(); // the record travels on; its new holder deletes it
}

HANDLE CSyncSocketExThread::GetRequestEvent(long nId)
{
    CSingleLock lock(&m_cs, TRUE);
    const auto it = m_mapRequests.find(nId);
    return it == m_mapRequests.end() ? nullptr : it->second->m_hEvent;
}

CString CSyncSocketExThread::GetAnswerText(long nId)
{
    CSingleLock lock(&m_cs, TRUE);
    const auto it = m_mapRequests.find(nId);
    return it == m_mapRequests.end() ? CString() : it->second->m_strParameters;
}

BOOL CSyncSocketExThread::IsConnected()
{
    return m_pSocket && m_pSocket->m_bSession;
}

void CSyncSocketExThread::OnAnswer(const CString& strCommand, long nId, const CString& strParameters,
                                   std::unique_ptr<BYTE[]> pData, DWORD nLength)
{
    {
        CSingleLock lock(&m_cs, TRUE);
        const auto it = m_mapRequests.find(nId);
        if (it != m_mapRequests.end() && it->second->m_hEvent)
        {
            CRequest& request = *it->second;
            request.m_strCommand = strCommand;
            request.m_strParameters = strParameters;
            request.m_pData = std::move(pData);
            request.m_nLength = nLength;
            request.m_bAnswered = true;
            ::SetEvent(request.m_hEvent); // should this fail, the waiter runs into its time-out
            return;
        }
    }
    auto pRequest = std::make_unique<CRequest>();
    pRequest->m_strCommand = strCommand;
    pRequest->m_strParameters = strParameters;
    pRequest->m_pData = std::move(pData);
    pRequest->m_nLength = nLength;
    if (PostToOwner(WM_SYNCSOCKETEX_COMMAND, reinterpret_cast<WPARAM>(pRequest.get()))) pRequest.release();
}

void CSyncSocketExThread::FailRequest(long nId)
{
    CSingleLock lock(&m_cs, TRUE);
    const auto it = m_mapRequests.find(nId);
    if (it != m_mapRequests.end() && it->second->m_hEvent) ::SetEvent(it->second->m_hEvent);
}

bool CSyncSocketExThread::PostToOwner(UINT message, WPARAM wParam)
{
    const HWND hOwner = m_hOwnerWnd;
    return hOwner && ::IsWindow(hOwner) && ::PostMessageW(hOwner, message, wParam, 0);
}

void CSyncSocketExThread::PostSocketClosed(int nErrorCode)
{
    PostToOwner(WM_SYNCSOCKETEX_CLOSED, static_cast<WPARAM>(nErrorCode));
}

void CSyncSocketExThread::PostServerTime(const CString& strClock)
{
    auto pText = std::make_unique<CString>(strClock);
    if (PostToOwner(WM_SYNCSOCKETEX_SERVERTIME, reinterpret_cast<WPARAM>(pText.get()))) pText.release();
}

void CSyncSocketExThread::PostOwnerError(const CString& strText)
{
    auto pText = std::make_unique<CString>(strText);
    if (PostToOwner(WM_SYNCSOCKETEX_ERROR, reinterpret_cast<WPARAM>(pText.get()))) pText.release();
}

void CSyncSocketExThread::PostConnect(const CString& strAddress, UINT nPort)
{
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    ::ResetEvent(m_hConnected);
    ::Sleep(20);
    auto pAddress = std::make_unique<CString>(strAddress);
    const LPARAM lPort = static_cast<short>(nPort); // sign-extended from 16 bits
    for (int nAttempt = 0; nAttempt < 11; ++nAttempt)
    {
        if (nAttempt > 0) ::Sleep(20); // the new thread's queue may not exist yet
        if (PostThreadMessage(WM_SYNCSOCKETEX_CONNECT, reinterpret_cast<WPARAM>(pAddress.get()), lPort))
        {
            pAddress.release();
            return;
        }
    }
}

void CSyncSocketExThread::PostClose()
{
    PostThreadMessage(WM_SYNCSOCKETEX_CLOSE, 0, 0);
}

void CSyncSocketExThread::OnSend(WPARAM wParam, LPARAM)
{
    std::unique_ptr<CString> pLine(reinterpret_cast<CString*>(wParam));
    if (m_pSocket && pLine) m_pSocket->SendLine(*pLine);
}

void CSyncSocketExThread::OnSendWithData(WPARAM wParam, LPARAM)
{
    std::unique_ptr<CSendData> pSend(reinterpret_cast<CSendData*>(wParam));
    if (m_pSocket && pSend) m_pSocket->SendLineWithData(pSend->strLine, std::move(pSend->pData), pSend->nLength);
}

void CSyncSocketExThread::OnConnect(WPARAM wParam, LPARAM lParam)
{
    std::unique_ptr<CString> pAddress(reinterpret_cast<CString*>(wParam));
    const UINT nPort = static_cast<UINT>(static_cast<unsigned short>(lParam));
    bool bStarted = false;
    if (m_pSocket && pAddress && m_pSocket->Create(0, SOCK_STREAM, CAsyncSocket::kAllEvents))
        bStarted = m_pSocket->Connect(pAddress->GetString(), nPort) || ::WSAGetLastError() == WSAEWOULDBLOCK;
    if (bStarted)
        ::SetEvent(m_hConnected);
    else
        RemoveRequest(0, TRUE); // the greeting's waiter finds no request and gives up
}

void CSyncSocketExThread::OnClose(WPARAM, LPARAM)
{
    if (m_pSocket && m_pSocket->m_hSocket != INVALID_SOCKET)
        m_pSocket->Disconnect(); // its close notification tells the owner
    else
        PostSocketClosed(0);
    // Nobody can reach this thread any more (its owner forgot it when it posted the close): end it, or
    // every connection would leave one behind.
    ::PostQuitMessage(0);
}

void CSyncSocketExThread::OnDrop(WPARAM, LPARAM)
{
    if (m_pSocket && m_pSocket->m_hSocket != INVALID_SOCKET) m_pSocket->Disconnect();
}
