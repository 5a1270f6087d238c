#pragma once
#include "clientctl/bench/CAnsweringListener.h"
#include "framework/CWinThread.h"
#include <atomic>
#include <memory>
// The answering Lumo's thread: the listener and its TLink links live and answer there, away from
// the client's thread. m_nPort is the listening port once the thread has started, 0 until then.
template <class TLink> class CLumoThread : public CWinThread
{
public:
    std::atomic<UINT> m_nPort{0};
    BOOL InitInstance() override
    {
        m_pListener = std::make_unique<CAnsweringListener<TLink>>();
        CString strAddress;
        UINT nPort = 0;
        if (!m_pListener->Create(0, SOCK_STREAM, FD_ACCEPT, L"127.0.0.1") || !m_pListener->Listen() ||
            !m_pListener->GetSockName(strAddress, nPort))
            return FALSE;
        m_nPort = nPort;
        return TRUE;
    }
    int ExitInstance() override
    {
        m_pListener.reset();
        return CWinThread::ExitInstance();
    }

protected:
    // On the thread only: the newest link, null before the first.
    TLink* NewestLink() const
    {
        return m_pListener && !m_pListener->m_links.empty() ? m_pListener->m_links.back().get() : nullptr;
    }

private:
    std::unique_ptr<CAnsweringListener<TLink>> m_pListener;
};
