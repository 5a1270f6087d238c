#include "sessions/CReadWriteLock.h"
#include <cassert>

namespace
{
// Holds the critical section for a scope; the helpers that wait leave and re-enter it themselves.
class CSectionHold
{
public:
    explicit CSectionHold(CRITICAL_SECTION& cs) : m_cs(cs) { ::EnterCriticalSection(&m_cs); }
    ~CSectionHold() { ::LeaveCriticalSection(&m_cs); }
    CSectionHold(const CSectionHold&) = delete;
    CSectionHold& operator=(const CSectionHold&) = delete;

private:
    CRITICAL_SECTION& m_cs;
};

constexpr DWORD kSpinCount = 400;
constexpr DWORD kCountMask = 0xFFFF; // each half of a thread's entry counts up to this
} // namespace

CReadWriteLock::CReadWriteLock()
{
    ::InitializeCriticalSectionAndSpinCount(&m_cs, kSpinCount);
}

CReadWriteLock::~CReadWriteLock()
{
    m_threadCounts.clear();
    ::DeleteCriticalSection(&m_cs);
}

BOOL CReadWriteLock::LockRead(DWORD dwTimeout)
{
    const DWORD tid = ::GetCurrentThreadId();
    CSectionHold hold(m_cs);
    const auto it = m_threadCounts.find(tid);
    if (it != m_threadCounts.end())
    {
        // Already inside, shared or exclusive: never wait, not even behind a waiting writer.
        // A full shared half would carry into the exclusive half.
        if ((it->second & kCountMask) == kCountMask) return FALSE;
        it->second += kSharedUnit;
        return TRUE;
    }
    if (m_nWriters == 0)
    {
        ++m_nReaders;
        m_threadCounts.emplace(tid, kSharedUnit);
        return TRUE;
    }
    if (dwTimeout == 0) return FALSE;
    if (!WaitForRead(dwTimeout)) return FALSE;
    m_threadCounts.emplace(tid, kSharedUnit);
    return TRUE;
}

BOOL CReadWriteLock::LockWrite(DWORD dwTimeout)
{
    const DWORD tid = ::GetCurrentThreadId();
    CSectionHold hold(m_cs);
    auto it = m_threadCounts.find(tid);
    if (it != m_threadCounts.end())
    {
        if ((it->second >> 16) == kCountMask) return FALSE; // the entry would wrap to nothing
        if (it->second >= kExclusiveUnit)
        {
            it->second += kExclusiveUnit;
            return TRUE;
        }
        if (m_nReaders == 1) // the sole reader turns exclusive at once
        {
            m_nReaders = 0;
            TakeFreeWriteLock();
            it->second += kExclusiveUnit;
            return TRUE;
        }
        if (!Upgrade(dwTimeout)) return FALSE; // the shared hold stays
        // The critical section was left while waiting, but only this thread changes its entry.
        m_threadCounts[tid] += kExclusiveUnit;
        return TRUE;
    }
    if (m_nReaders == 0 && m_nWriters == 0)
    {
        TakeFreeWriteLock();
        m_threadCounts.emplace(tid, kExclusiveUnit);
        return TRUE;
    }
    if (dwTimeout == 0) return FALSE;
    if (!WaitForWrite(dwTimeout)) return FALSE;
    m_threadCounts.emplace(tid, kExclusiveUnit);
    return TRUE;
}

BOOL CReadWriteLock::UnlockRead()
{
    CSectionHold hold(m_cs);
    const auto it = m_threadCounts.find(::GetCurrentThreadId());
    if (it == m_threadCounts.end() || (it->second & kCountMask) == 0)
    {
        // Releasing what another thread holds would let a writer in beside it.
        assert(!"UnlockRead without a shared hold of this thread");
        return FALSE;
    }
    it->second -= kSharedUnit;
    if (it->second == 0)
    {
        m_threadCounts.erase(it);
        ReleaseReader();
    }
    return TRUE;
}

BOOL CReadWriteLock::UnlockWrite()
{
    CSectionHold hold(m_cs);
    const auto it = m_threadCounts.find(::GetCurrentThreadId());
    if (it == m_threadCounts.end() || it->second < kExclusiveUnit)
    {
        assert(!"UnlockWrite without an exclusive hold of this thread");
        return FALSE;
    }
    it->second -= kExclusiveUnit;
    if (it->second == 0)
    {
        m_threadCounts.erase(it);
        ReleaseWriter(false);
    }
    else if (it->second < kExclusiveUnit)
    {
        ReleaseWriter(true); // shared holds remain: the thread goes on as a reader
    }
    return TRUE;
}

BOOL CReadWriteLock::Unlock()
{
    CSectionHold hold(m_cs);
    const auto it = m_threadCounts.find(::GetCurrentThreadId());
    if (it == m_threadCounts.end()) return FALSE;
    const bool bExclusive = it->second >= kExclusiveUnit;
    m_threadCounts.erase(it);
    if (bExclusive)
        ReleaseWriter(false);
    else
        ReleaseReader();
    return TRUE;
}

void CReadWriteLock::GetThreadCounts(DWORD* pnShared, DWORD* pnExclusive) const
{
    DWORD nCount = 0;
    {
        CSectionHold hold(m_cs);
        const auto it = m_threadCounts.find(::GetCurrentThreadId());
        if (it != m_threadCounts.end()) nCount = it->second;
    }
    if (pnShared) *pnShared = nCount & kCountMask;
    if (pnExclusive) *pnExclusive = nCount >> 16;
}

BOOL CReadWriteLock::IsHeldByCurrentThread() const
{
    CSectionHold hold(m_cs);
    return m_threadCounts.count(::GetCurrentThreadId()) != 0;
}

BOOL CReadWriteLock::IsWriteHeldByCurrentThread() const
{
    CSectionHold hold(m_cs);
    const auto it = m_threadCounts.find(::GetCurrentThreadId());
    return it != m_threadCounts.end() && it->second > kCountMask;
}

BOOL CReadWriteLock::GetOwners(DWORD& dwWriter, CDWordArray& readers) const
{
    dwWriter = 0;
    readers.RemoveAll();
    CSectionHold hold(m_cs);
    for (const auto& [tid, nCount] : m_threadCounts)
    {
        if (nCount < kExclusiveUnit)
            readers.Add(tid);
        else
            dwWriter = tid;
    }
    return dwWriter != 0 || !readers.IsEmpty();
}

BOOL CReadWriteLock::HasEvents() const
{
    CSectionHold hold(m_cs);
    return m_writerEvent.IsValid() || m_readerEvent.IsValid();
}

BOOL CReadWriteLock::LockReadUntracked(DWORD dwTimeout)
{
    CSectionHold hold(m_cs);
    if (m_nWriters == 0)
    {
        ++m_nReaders;
        return TRUE;
    }
    return dwTimeout != 0 && WaitForRead(dwTimeout);
}

BOOL CReadWriteLock::LockWriteUntracked(DWORD dwTimeout)
{
    CSectionHold hold(m_cs);
    if (m_nReaders == 0 && m_nWriters == 0)
    {
        TakeFreeWriteLock();
        return TRUE;
    }
    return dwTimeout != 0 && WaitForWrite(dwTimeout);
}

void CReadWriteLock::UnlockReadUntracked()
{
    CSectionHold hold(m_cs);
    if (m_nReaders <= 0)
    {
        assert(!"UnlockReadUntracked without a shared hold");
        return;
    }
    ReleaseReader();
}

void CReadWriteLock::UnlockWriteUntracked()
{
    CSectionHold hold(m_cs);
    if (m_nWriters <= 0)
    {
        assert(!"UnlockWriteUntracked without an exclusive hold");
        return;
    }
    ReleaseWriter(false);
}

void CReadWriteLock::DowngradeUntracked()
{
    CSectionHold hold(m_cs);
    if (m_nWriters <= 0)
    {
        assert(!"DowngradeUntracked without an exclusive hold");
        return;
    }
    ReleaseWriter(true);
}

BOOL CReadWriteLock::UpgradeUntracked(DWORD dwTimeout)
{
    CSectionHold hold(m_cs);
    return Upgrade(dwTimeout);
}

void CReadWriteLock::ReleaseReader()
{
    --m_nReaders;
    if (m_nReaders == 0 && m_writerEvent.IsValid()) ::SetEvent(m_writerEvent); // one waiting writer goes
}

void CReadWriteLock::ReleaseWriter(bool bDowngrade)
{
    if (bDowngrade) ++m_nReaders;
    --m_nWriters;
    if (m_nWriters == 0)
    {
        m_writerEvent.Close();
        if (m_readerEvent.IsValid()) ::SetEvent(m_readerEvent); // every waiting reader goes
    }
    else if (!bDowngrade && m_writerEvent.IsValid())
    {
        ::SetEvent(m_writerEvent); // the next writer owns the lock; after a downgrade the last reader wakes it
    }
}

void CReadWriteLock::TakeFreeWriteLock()
{
    ++m_nWriters;
    // Readers woken by the last writer and not yet inside would otherwise find the event still
    // signalled and spin until this writer leaves.
    if (m_readerEvent.IsValid()) ::ResetEvent(m_readerEvent);
}

void CReadWriteLock::EnsureEvent(CKernelHandle& event, BOOL bManualReset)
{
    // The lock cannot work without the event, so a failure is waited out rather than reported.
    while (!event.IsValid())
    {
        event.Attach(::CreateEventW(nullptr, bManualReset, FALSE, nullptr));
        if (!event.IsValid()) ::Sleep(10);
    }
}

BOOL CReadWriteLock::WaitForRead(DWORD dwTimeout)
{
    ++m_nWaitingReaders;
    EnsureEvent(m_readerEvent, TRUE);
    const HANDLE hEvent = m_readerEvent; // stays open while this thread counts as waiting
    BOOL bResult = FALSE;
    if (dwTimeout == INFINITE)
    {
        while (m_nWriters > 0)
        {
            ::LeaveCriticalSection(&m_cs);
            ::WaitForSingleObject(hEvent, INFINITE);
            ::EnterCriticalSection(&m_cs);
        }
        ++m_nReaders;
        bResult = TRUE;
    }
    else
    {
        const DWORD dwStart = static_cast<DWORD>(::GetTickCount64());
        ::LeaveCriticalSection(&m_cs);
        DWORD dwWait = ::WaitForSingleObject(hEvent, dwTimeout);
        ::EnterCriticalSection(&m_cs);
        for (;;)
        {
            if (m_nWriters == 0) // even when the wait itself timed out
            {
                ++m_nReaders;
                bResult = TRUE;
                break;
            }
            if (dwWait != WAIT_OBJECT_0) break;
            ::LeaveCriticalSection(&m_cs);
            const DWORD dwElapsed = static_cast<DWORD>(::GetTickCount64()) - dwStart;
            if (dwElapsed > dwTimeout)
            {
                ::EnterCriticalSection(&m_cs);
                break;
            }
            dwWait = ::WaitForSingleObject(hEvent, dwTimeout - dwElapsed);
            ::EnterCriticalSection(&m_cs);
        }
    }
    if (--m_nWaitingReaders == 0) m_readerEvent.Close();
    return bResult;
}

BOOL CReadWriteLock::WaitForWrite(DWORD dwTimeout)
{
    if (++m_nWriters == 1 && m_readerEvent.IsValid()) ::ResetEvent(m_readerEvent); // new readers wait from now
    EnsureEvent(m_writerEvent, FALSE);
    const HANDLE hEvent = m_writerEvent; // stays open while this thread counts as a writer
    ::LeaveCriticalSection(&m_cs);
    const DWORD dwWait = ::WaitForSingleObject(hEvent, dwTimeout);
    ::EnterCriticalSection(&m_cs);
    if (dwWait == WAIT_OBJECT_0) return TRUE; // handed over; this thread was counted already
    --m_nWriters;
    if (m_nWriters > 0) return FALSE;
    m_writerEvent.Close();
    if (m_nReaders == 0)
    {
        TakeFreeWriteLock(); // the lock became free just as the wait ran out
        return TRUE;
    }
    if (m_readerEvent.IsValid()) ::SetEvent(m_readerEvent); // readers held back by this writer go on
    return FALSE;
}

BOOL CReadWriteLock::Upgrade(DWORD dwTimeout)
{
    if (dwTimeout == 0) return FALSE;
    // Giving up the shared hold as a release (not a bare decrement) wakes a writer that waits for
    // it, and lets a sole reader take the free lock instead of waiting for a signal nobody sends.
    ReleaseReader();
    if (m_nReaders == 0 && m_nWriters == 0)
    {
        TakeFreeWriteLock();
        return TRUE;
    }
    if (WaitForWrite(dwTimeout)) return TRUE;
    if (m_nWriters == 0)
    {
        ++m_nReaders; // the shared hold is back
        return FALSE;
    }
    WaitForRead(INFINITE); // the shared hold is taken again once no writer is left
    if (m_nReaders == 1)
    {
        m_nReaders = 0;
        TakeFreeWriteLock();
        return TRUE;
    }
    return FALSE;
}
