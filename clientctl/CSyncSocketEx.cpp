#include "clientctl/CSyncSocketEx.h"
#include "clientctl/CSyncSocketExHiddenWnd.h"
#include "clientctl/ClientCtlMessages.h"
#include "core/CStaticTools.h"
#include "core/CTimeTools.h"
#include "framework/CException.h"
#include "framework/CWinApp.h"
#include <algorithm>
#include <cstring>
#include <exception>

CSyncSocketCommandMap CSyncSocketEx::s_mapCommands;
std::atomic<long> CSyncSocketEx::s_nInstances{0};

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace
{
constexpr wchar_t kEscapedEmpty = L'\x08';
constexpr wchar_t kEscapedBlank = L'\x0C';
constexpr wchar_t kEscapedReturn = L'\x07';

// A reference to the library this code is linked into, for a thread that runs its code; null in a
// program, whose image stays mapped anyway.
HMODULE HoldOwnLibrary()
{
    const auto* pImage = reinterpret_cast<LPCWSTR>(&__ImageBase);
    HMODULE hModule = nullptr;
    if (reinterpret_cast<HMODULE>(&__ImageBase) == ::GetModuleHandleW(nullptr) ||
        !::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, pImage, &hModule))
        return nullptr;
    return hModule;
}
} // namespace

CSyncSocketEx::CBusyScope::~CBusyScope()
{
    if (--m_socket.m_nBusy == 0 && m_socket.m_bDeletePending) delete &m_socket;
}

CSyncSocketEx::CSyncSocketEx()
    : m_pWnd(std::make_unique<CSyncSocketExHiddenWnd>(*this)),
      m_pEventPool(std::make_shared<CSyncSocketExThread::CEventPool>())
{
    ++s_nInstances;
}

CSyncSocketEx::~CSyncSocketEx()
{
    QuitThread();
    m_pWnd.reset();
    --s_nInstances;
}

void CSyncSocketEx::QuitThread()
{
    if (!m_pThread) return;
    m_pThread->m_hOwnerWnd = nullptr;
    m_pThread->PostThreadMessage(WM_QUIT, 0, 0);
    m_pThread = nullptr;
}

void CSyncSocketEx::SafeDelete()
{
    if (m_nBusy > 0)
        m_bDeletePending = true;
    else
        delete this;
}

BOOL CSyncSocketEx::Connect(LPCWSTR pszAddress, UINT nPort, CStringArray& arrGreeting)
{
    CBusyScope busy(*this);
    if (m_pThread) return TRUE;
    InitCommandMap();
    auto* pThread = static_cast<CSyncSocketExThread*>(
        AfxBeginThread(RUNTIME_CLASS(CSyncSocketExThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
    if (!pThread) return FALSE;
    pThread->SetEventPool(m_pEventPool);
    pThread->m_hOwnerWnd = m_pWnd->GetSafeHwnd();
    pThread->m_hHeldLibrary = HoldOwnLibrary();
    pThread->ResumeThread();
    m_pThread = pThread;
    pThread->AddRequest(0, TRUE); // the greeting
    pThread->PostConnect(pszAddress ? pszAddress : L"", nPort);
    // Only a start: the greeting wait decides. No pumping, so nothing can end the thread meanwhile.
    ::WaitForSingleObject(pThread->m_hConnected, 5000);
    CStringArray arrFields;
    std::unique_ptr<BYTE[]> pIgnored;
    DWORD nIgnored = 0;
    if (WaitForAnswerData(0, arrFields, -1, pIgnored, nIgnored, 10))
    {
        arrGreeting.RemoveAll();
        for (INT_PTR i = 0; i < arrFields.GetSize(); ++i)
            arrGreeting.Add(arrFields[i]);
        return TRUE;
    }
    if (m_pThread)
    {
        m_pThread->m_hOwnerWnd = nullptr;
        m_pThread->PostClose();
        QuitThread();
    }
    return FALSE;
}

BOOL CSyncSocketEx::Disconnect()
{
    CBusyScope busy(*this);
    if (!m_pThread) return FALSE;
    m_pThread->PostClose();
    m_pThread = nullptr;
    return TRUE;
}

long CSyncSocketEx::PostLine(BOOL bWait, LPCWSTR pszCommand, const CString* pFields, bool bWithData, const BYTE* pData,
                             DWORD nLength)
{
    CBusyScope busy(*this);
    if (!m_pThread) return 0; // nothing to send it with; its callers check the connection first
    const long nId = m_pThread->NewRequest(bWait);
    CString strLine;
    if (bWithData)
        strLine.Format(L"%s %ld %u %s", pszCommand, nId, static_cast<unsigned>(nLength), pFields->GetString());
    else if (pFields)
        strLine.Format(L"%s %ld %s", pszCommand, nId, pFields->GetString());
    else
        strLine.Format(L"%s %ld", pszCommand, nId);
    // Only the blank an empty format leaves: an escaped blank (0x0C) ending the last field is data.
    if (pFields) strLine.TrimRight(L' ');
    if (bWithData)
    {
        auto pSend = std::make_unique<CSyncSocketExThread::CSendData>();
        pSend->strLine = strLine;
        pSend->nLength = nLength;
        if (nLength > 0)
        {
            pSend->pData = std::make_unique<BYTE[]>(nLength);
            std::memcpy(pSend->pData.get(), pData, nLength);
        }
        if (m_pThread->PostThreadMessage(WM_SYNCSOCKETEX_SENDDATA, reinterpret_cast<WPARAM>(pSend.get()), 0))
            pSend.release();
        return nId;
    }
    auto pText = std::make_unique<CString>(strLine);
    if (m_pThread->PostThreadMessage(WM_SYNCSOCKETEX_SEND, reinterpret_cast<WPARAM>(pText.get()), 0)) pText.release();
    return nId;
}

BOOL CSyncSocketEx::WaitForAnswerData(long nId, CStringArray& arrFields, int nMinFields, std::unique_ptr<BYTE[]>& pData,
                                      DWORD& nLength, int nTimeout)
{
    CBusyScope busy(*this);
    pData.reset();
    nLength = 0;
    if (!m_pThread) return FALSE;
    const HANDLE hEvent = m_pThread->GetRequestEvent(nId);
    if (hEvent) WaitWithMessagePump(hEvent, nTimeout < 1 ? INFINITE : static_cast<DWORD>(nTimeout));
    if (!m_pThread) return FALSE; // the connection went while we waited; its records went with it
    // Taken under the thread's lock: an answer stored before this point is ours even when the wait had
    // already timed out.
    std::unique_ptr<CSyncSocketExThread::CRequest> pRequest = m_pThread->TakeRequest(nId);
    if (!pRequest) return FALSE;
    m_pEventPool->Give(std::exchange(pRequest->m_hEvent, nullptr));
    if (!pRequest->m_bAnswered) return FALSE;
    SplitAnswerFields(pRequest->m_strParameters, arrFields);
    if (nMinFields >= 0 && arrFields.GetSize() < nMinFields) return FALSE;
    pData = std::move(pRequest->m_pData);
    nLength = pData ? pRequest->m_nLength : 0;
    return TRUE;
}

BOOL CSyncSocketEx::WaitForAnswer(long nId, CStringArray& arrFields, int nMinFields, int nTimeout)
{
    std::unique_ptr<BYTE[]> pIgnored;
    DWORD nIgnored = 0;
    return WaitForAnswerData(nId, arrFields, nMinFields, pIgnored, nIgnored, nTimeout);
}

void CSyncSocketEx::SplitAnswerFields(const CString& strParameters, CStringArray& arrFields)
{
    CStaticTools::LireChaineSeparateurString(strParameters, L' ', arrFields);
    for (INT_PTR i = 0; i < arrFields.GetSize(); ++i)
    {
        CString& strField = arrFields[i];
        if (strField.GetLength() == 1 && strField[0] == kEscapedEmpty)
        {
            strField.Empty();
            continue;
        }
        strField.Replace(kEscapedBlank, L' ');
        strField.Replace(kEscapedReturn, L'\r');
    }
}

BOOL CSyncSocketEx::ProcessCommand(const CString& strCommand, const CString& strParameters, BYTE* pData, DWORD nLength)
{
    CBusyScope busy(*this);
    CSyncSocketCommandMap* pMap = GetCommandMap();
    CSyncSocketCommand* pCommand = pMap ? pMap->Lookup(strCommand) : nullptr;
    if (!pCommand) return FALSE;
    if (pCommand->m_bNeedsSession && !(m_pThread && m_pThread->IsConnected())) return FALSE;
    if (pCommand->m_nType == CSyncSocketCommand::typeAccepted ||
        pCommand->m_nType == CSyncSocketCommand::typeAcceptedToo)
        return TRUE;
    CStringArray arrFields;
    SplitAnswerFields(strParameters, arrFields);
    if (!pCommand->AcceptsFieldCount(static_cast<int>(arrFields.GetSize()))) return FALSE;
    if (pCommand->m_nType == CSyncSocketCommand::typeFields)
    {
        if (auto* ppfn = std::get_if<SYNC_COMMAND_FIELDS>(&pCommand->m_pfnHandler)) (this->*(*ppfn))(arrFields);
        return TRUE;
    }
    if (auto* ppfn = std::get_if<SYNC_COMMAND_FIELDS_PAYLOAD>(&pCommand->m_pfnHandler))
        (this->*(*ppfn))(arrFields, pData, pData ? nLength : 0);
    return TRUE;
}

void CSyncSocketEx::OnDisconnected(int /*nErrorCode*/)
{
    QuitThread();
}

CSyncSocketCommandMap* CSyncSocketEx::GetCommandMap()
{
    return &s_mapCommands;
}

void CSyncSocketEx::InitCommandMap() {}

void CSyncSocketEx::OnServerTime(const CString& strClock)
{
    CTimeTools::SetServerTime(strClock);
}

void CSyncSocketEx::OnLinkError(const CString& /*strText*/) {}

void CSyncSocketEx::DispatchCommand(CSyncSocketExThread::CRequest& request)
{
    CBusyScope busy(*this);
    // The window procedure would only report an escaped exception to the container's thread object; the
    // owner is told which command failed.
    CString strFailure;
    try
    {
        ProcessCommand(request.m_strCommand, request.m_strParameters, request.m_pData.get(), request.m_nLength);
        return;
    }
    catch (CException* pException)
    {
        wchar_t szError[257] = {};
        pException->GetErrorMessage(szError, 257);
        pException->Delete();
        strFailure = szError;
    }
    catch (const std::exception& e)
    {
        strFailure = CString(e.what());
    }
    catch (...)
    {
    }
    CString strText;
    strText.Format(L"CSyncSocketEx::ProcessCommand => Error while processing %s: %s", request.m_strCommand.GetString(),
                   strFailure.GetString());
    OnLinkError(strText);
}

void CSyncSocketEx::DispatchDisconnected(int nErrorCode)
{
    CBusyScope busy(*this);
    OnDisconnected(nErrorCode);
}

void CSyncSocketEx::DispatchServerTime(const CString& strClock)
{
    CBusyScope busy(*this);
    OnServerTime(strClock);
}

void CSyncSocketEx::DispatchError(const CString& strText)
{
    CBusyScope busy(*this);
    OnLinkError(strText);
}

BOOL WaitWithMessagePump(HANDLE hEvent, DWORD nTimeout)
{
    const bool bInfinite = nTimeout == INFINITE;
    CWinApp* pApp = AfxGetApp();
    if (!pApp || pApp->m_nThreadID != ::GetCurrentThreadId())
    {
        // Long time-outs saturate below INFINITE rather than wrap around to a short one.
        const DWORD dwMs =
            bInfinite ? INFINITE : static_cast<DWORD>(std::min<ULONGLONG>(nTimeout * 1000ULL, INFINITE - 1));
        return ::WaitForSingleObject(hEvent, dwMs) == WAIT_OBJECT_0;
    }

    const long long nBudget = bInfinite ? 0 : (nTimeout >= 214748364u ? 2147483647LL : nTimeout * 10LL);
    const ULONGLONG nDeadline = ::GetTickCount64() + (bInfinite ? 0 : static_cast<ULONGLONG>(nTimeout) * 1000);
    long long nSlices = 0;
    DWORD dwResult = WAIT_TIMEOUT;
    for (;;)
    {
        if (!bInfinite && nSlices++ >= nBudget) break;
        dwResult = ::WaitForSingleObject(hEvent, 100);
        if (dwResult != WAIT_TIMEOUT) break;
        if (!bInfinite && ::GetTickCount64() >= nDeadline) break;
        MSG msg;
        bool bQuit = false;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
        {
            // The container's own loop must see a quit: leave it queued (or queue it again) and stop
            // pumping for the rest of the wait.
            if (msg.message == WM_QUIT)
            {
                bQuit = true;
                break;
            }
            if (!pApp->PumpMessage())
            {
                ::PostQuitMessage(static_cast<int>(pApp->m_msgCur.wParam));
                bQuit = true;
                break;
            }
            if (!bInfinite && ::GetTickCount64() >= nDeadline)
            {
                dwResult = ::WaitForSingleObject(hEvent, 0);
                break;
            }
        }
        if (dwResult == WAIT_OBJECT_0) break;
        if (bQuit)
        {
            const ULONGLONG nNow = ::GetTickCount64();
            const DWORD dwLeft = bInfinite ? INFINITE : (nNow >= nDeadline ? 0 : static_cast<DWORD>(nDeadline - nNow));
            dwResult = ::WaitForSingleObject(hEvent, dwLeft);
            break;
        }
    }
    return dwResult == WAIT_OBJECT_0;
}
