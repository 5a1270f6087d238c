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

// Thread ids are multiples of four and mostly handed out in sequence: their next bits spread
// neighbours over neighbouring slots.
int FirstSlotOf(DWORD tid, int nSlots)
{
    return static_cast<int>((tid >> 2) % static_cast<DWORD>(nSlots));
}

uint64_t SlotWord(DWORD tid, DWORD nCount)
{
    return (static_cast<uint64_t>(tid) << 32) | nCount;
}

DWORD ThreadOf(uint64_t nWord)
{
    return static_cast<DWORD>(nWord >> 32);
}

// Whether the thread of that id has ended (or never was): its slot may then serve another thread.
bool HasThreadEnded(DWORD tid)
{
    CKernelHandle thread(::OpenThread(SYNCHRONIZE, FALSE, tid));
    return !thread.IsValid() || ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
}
} // namespace

CReadWriteLock::CReadWriteLock() : m_pSlots(std::make_unique<CSlotChunk>())
{
    ::InitializeCriticalSectionAndSpinCount(&m_cs, kSpinCount);
}

CReadWriteLock::~CReadWriteLock()
{
    CSlotChunk* pChunk = m_pSlots->pNext.load();
    while (pChunk)
    {
        CSlotChunk* pNext = pChunk->pNext.load();
        delete pChunk;
        pChunk = pNext;
    }
    ::DeleteCriticalSection(&m_cs);
}

CReadWriteLock::CSlot* CReadWriteLock::FindSlot(DWORD tid) const
{
    // Slots are claimed in each thread's probe order and never become free again, so the first
    // free slot on the way ends the search; a chunk only leads on to the next when it is full.
    const int nFirst = FirstSlotOf(tid, kSlotsPerChunk);
    for (CSlotChunk* pChunk = m_pSlots.get(); pChunk; pChunk = pChunk->pNext.load(std::memory_order_acquire))
        for (int i = 0; i < kSlotsPerChunk; ++i)
        {
            CSlot& slot = pChunk->slots[(nFirst + i) % kSlotsPerChunk];
            const uint64_t nWord = slot.word.load(std::memory_order_acquire);
            if (nWord == 0) return nullptr;
            if (ThreadOf(nWord) == tid) return &slot;
        }
    return nullptr;
}

CReadWriteLock::CSlot* CReadWriteLock::ClaimFreeSlot(DWORD tid)
{
    // The first free slot in the thread's probe order, where FindSlot will look for it.
    const int nFirst = FirstSlotOf(tid, kSlotsPerChunk);
    for (CSlotChunk* pChunk = m_pSlots.get(); pChunk; pChunk = pChunk->pNext.load(std::memory_order_acquire))
        for (int i = 0; i < kSlotsPerChunk; ++i)
        {
            CSlot& slot = pChunk->slots[(nFirst + i) % kSlotsPerChunk];
            uint64_t nWord = slot.word.load(std::memory_order_acquire);
            // Another thread may claim the same free slot at the same moment: the loser goes on.
            if (nWord == 0 && slot.word.compare_exchange_strong(nWord, SlotWord(tid, 0), std::memory_order_acq_rel))
                return &slot;
        }
    return nullptr;
}

CReadWriteLock::CSlot* CReadWriteLock::ClaimSlot(DWORD tid)
{
    if (CSlot* pSlot = ClaimFreeSlot(tid)) return pSlot;
    // Rare: more threads than slots have used the lock. One at a time, so that a chunk is added once.
    CSectionHold hold(m_cs);
    if (CSlot* pSlot = ClaimFreeSlot(tid)) return pSlot; // a chunk was added meanwhile
    // Every chunk is full, so FindSlot walks each one whole: any slot in them will be found. The
    // slot of a thread that has ended holding nothing serves this one; a thread that reuses the id
    // meanwhile races through the same compare-exchange and looks again.
    CSlotChunk* pLast = nullptr;
    for (CSlotChunk* pChunk = m_pSlots.get(); pChunk; pChunk = pChunk->pNext.load(std::memory_order_acquire))
    {
        pLast = pChunk;
        for (CSlot& slot : pChunk->slots)
        {
            uint64_t nWord = slot.word.load(std::memory_order_acquire);
            if (CountOf(nWord) == 0 && HasThreadEnded(ThreadOf(nWord)) &&
                slot.word.compare_exchange_strong(nWord, SlotWord(tid, 0), std::memory_order_acq_rel))
                return &slot;
        }
    }
    auto pChunk = std::make_unique<CSlotChunk>();
    CSlot& slot = pChunk->slots[FirstSlotOf(tid, kSlotsPerChunk)];
    slot.word.store(SlotWord(tid, 0), std::memory_order_relaxed);
    pLast->pNext.store(pChunk.release(), std::memory_order_release);
    return &slot;
}

void CReadWriteLock::SetCount(CSlot& slot, DWORD tid, DWORD nCount)
{
    slot.word.store(SlotWord(tid, nCount), std::memory_order_release);
}

bool CReadWriteLock::TryEnterShared()
{
    uint64_t nState = m_nState.load(std::memory_order_relaxed);
    while (WritersOf(nState) == 0)
        if (m_nState.compare_exchange_weak(nState, nState + kReader, std::memory_order_acquire,
                                           std::memory_order_relaxed))
            return true;
    return false;
}

bool CReadWriteLock::TryLeaveShared()
{
    uint64_t nState = m_nState.load(std::memory_order_relaxed);
    // The last reader out with a writer counted wakes that writer; the wake and the count change
    // must not be separated by another thread's step on the events, so that one goes the slow way.
    while (ReadersOf(nState) != 1 || WritersOf(nState) == 0)
        if (m_nState.compare_exchange_weak(nState, nState - kReader, std::memory_order_release,
                                           std::memory_order_relaxed))
            return true;
    return false;
}

BOOL CReadWriteLock::LockRead(DWORD dwTimeout)
{
    const DWORD tid = ::GetCurrentThreadId();
    CSlot* pSlot = FindSlot(tid);
    if (pSlot)
    {
        const DWORD nCount = CountOf(pSlot->word.load(std::memory_order_relaxed));
        if (nCount != 0)
        {
            // Already inside, shared or exclusive: never wait, not even behind a waiting writer.
            // A full shared half would carry into the exclusive half.
            if ((nCount & kCountMask) == kCountMask) return FALSE;
            SetCount(*pSlot, tid, nCount + kSharedUnit);
            return TRUE;
        }
    }
    else
    {
        pSlot = ClaimSlot(tid);
    }
    if (!TryEnterShared())
    {
        if (dwTimeout == 0) return FALSE;
        CSectionHold hold(m_cs);
        // Writers are counted and uncounted only under the critical section: this look is final.
        if (!TryEnterShared() && !WaitForRead(dwTimeout)) return FALSE;
    }
    SetCount(*pSlot, tid, kSharedUnit);
    return TRUE;
}

BOOL CReadWriteLock::LockWrite(DWORD dwTimeout)
{
    const DWORD tid = ::GetCurrentThreadId();
    CSlot* pSlot = FindSlot(tid);
    const DWORD nCount = pSlot ? CountOf(pSlot->word.load(std::memory_order_relaxed)) : 0;
    if (nCount != 0)
    {
        if ((nCount >> 16) == kCountMask) return FALSE; // the entry would wrap to nothing
        if (nCount < kExclusiveUnit)
        {
            CSectionHold hold(m_cs);
            // The sole reader turns exclusive at once; otherwise the shared hold stays when the
            // upgrade fails.
            if (!TryTurnSoleReaderIntoWriter() && !Upgrade(dwTimeout)) return FALSE;
        }
        SetCount(*pSlot, tid, nCount + kExclusiveUnit);
        return TRUE;
    }
    if (!pSlot) pSlot = ClaimSlot(tid);
    {
        CSectionHold hold(m_cs);
        if (!TryTakeFreeWriteLock() && (dwTimeout == 0 || !WaitForWrite(dwTimeout))) return FALSE;
    }
    SetCount(*pSlot, tid, kExclusiveUnit);
    return TRUE;
}

BOOL CReadWriteLock::UnlockRead()
{
    const DWORD tid = ::GetCurrentThreadId();
    CSlot* pSlot = FindSlot(tid);
    const DWORD nCount = pSlot ? CountOf(pSlot->word.load(std::memory_order_relaxed)) : 0;
    if ((nCount & kCountMask) == 0)
    {
        // Releasing what another thread holds would let a writer in beside it.
        assert(!"UnlockRead without a shared hold of this thread");
        return FALSE;
    }
    SetCount(*pSlot, tid, nCount - kSharedUnit);
    if (nCount == kSharedUnit && !TryLeaveShared())
    {
        CSectionHold hold(m_cs);
        ReleaseReader();
    }
    return TRUE;
}

BOOL CReadWriteLock::UnlockWrite()
{
    const DWORD tid = ::GetCurrentThreadId();
    CSlot* pSlot = FindSlot(tid);
    const DWORD nCount = pSlot ? CountOf(pSlot->word.load(std::memory_order_relaxed)) : 0;
    if (nCount < kExclusiveUnit)
    {
        assert(!"UnlockWrite without an exclusive hold of this thread");
        return FALSE;
    }
    const DWORD nRest = nCount - kExclusiveUnit;
    SetCount(*pSlot, tid, nRest);
    if (nRest < kExclusiveUnit)
    {
        CSectionHold hold(m_cs);
        ReleaseWriter(nRest != 0); // shared holds remain: the thread goes on as a reader
    }
    return TRUE;
}

BOOL CReadWriteLock::Unlock()
{
    const DWORD tid = ::GetCurrentThreadId();
    CSlot* pSlot = FindSlot(tid);
    const DWORD nCount = pSlot ? CountOf(pSlot->word.load(std::memory_order_relaxed)) : 0;
    if (nCount == 0) return FALSE;
    SetCount(*pSlot, tid, 0);
    if (nCount >= kExclusiveUnit)
    {
        CSectionHold hold(m_cs);
        ReleaseWriter(false);
    }
    else if (!TryLeaveShared())
    {
        CSectionHold hold(m_cs);
        ReleaseReader();
    }
    return TRUE;
}

void CReadWriteLock::GetThreadCounts(DWORD* pnShared, DWORD* pnExclusive) const
{
    const CSlot* pSlot = FindSlot(::GetCurrentThreadId());
    const DWORD nCount = pSlot ? CountOf(pSlot->word.load(std::memory_order_relaxed)) : 0;
    if (pnShared) *pnShared = nCount & kCountMask;
    if (pnExclusive) *pnExclusive = nCount >> 16;
}

BOOL CReadWriteLock::IsHeldByCurrentThread() const
{
    const CSlot* pSlot = FindSlot(::GetCurrentThreadId());
    return pSlot && CountOf(pSlot->word.load(std::memory_order_relaxed)) != 0;
}

BOOL CReadWriteLock::IsWriteHeldByCurrentThread() const
{
    const CSlot* pSlot = FindSlot(::GetCurrentThreadId());
    return pSlot && CountOf(pSlot->word.load(std::memory_order_relaxed)) > kCountMask;
}

BOOL CReadWriteLock::GetOwners(DWORD& dwWriter, CDWordArray& readers) const
{
    dwWriter = 0;
    readers.RemoveAll();
    // Other threads' entries change without the critical section: this is a snapshot of each.
    for (const CSlotChunk* pChunk = m_pSlots.get(); pChunk; pChunk = pChunk->pNext.load(std::memory_order_acquire))
        for (const CSlot& slot : pChunk->slots)
        {
            const uint64_t nWord = slot.word.load(std::memory_order_acquire);
            const DWORD nCount = CountOf(nWord);
            if (nCount == 0) continue;
            if (nCount < kExclusiveUnit)
                readers.Add(ThreadOf(nWord));
            else
                dwWriter = ThreadOf(nWord);
        }
    return dwWriter != 0 || !readers.IsEmpty();
}

BOOL CReadWriteLock::HasEvents() const
{
    CSectionHold hold(m_cs);
    return m_writerEvent.IsValid() || m_readerEvent.IsValid();
}

LONG CReadWriteLock::GetWaitingCount() const
{
    CSectionHold hold(m_cs);
    return m_nBlocked;
}

BOOL CReadWriteLock::LockReadUntracked(DWORD dwTimeout)
{
    if (TryEnterShared()) return TRUE;
    if (dwTimeout == 0) return FALSE;
    CSectionHold hold(m_cs);
    return TryEnterShared() || WaitForRead(dwTimeout);
}

BOOL CReadWriteLock::LockWriteUntracked(DWORD dwTimeout)
{
    CSectionHold hold(m_cs);
    return TryTakeFreeWriteLock() || (dwTimeout != 0 && WaitForWrite(dwTimeout));
}

void CReadWriteLock::UnlockReadUntracked()
{
    if (ReadersOf(m_nState.load(std::memory_order_relaxed)) <= 0)
    {
        assert(!"UnlockReadUntracked without a shared hold");
        return;
    }
    if (TryLeaveShared()) return;
    CSectionHold hold(m_cs);
    ReleaseReader();
}

void CReadWriteLock::UnlockWriteUntracked()
{
    CSectionHold hold(m_cs);
    if (WritersOf(m_nState.load()) <= 0)
    {
        assert(!"UnlockWriteUntracked without an exclusive hold");
        return;
    }
    ReleaseWriter(false);
}

void CReadWriteLock::DowngradeUntracked()
{
    CSectionHold hold(m_cs);
    if (WritersOf(m_nState.load()) <= 0)
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
    const uint64_t nState = m_nState.fetch_sub(kReader, std::memory_order_acq_rel) - kReader;
    if (ReadersOf(nState) == 0 && m_writerEvent.IsValid()) ::SetEvent(m_writerEvent); // one waiting writer goes
}

void CReadWriteLock::ReleaseWriter(bool bDowngrade)
{
    const uint64_t nChange = (bDowngrade ? kReader : 0) - kWriter; // wraps: a subtraction in the high half
    const uint64_t nState = m_nState.fetch_add(nChange, std::memory_order_acq_rel) + nChange;
    if (WritersOf(nState) == 0)
    {
        m_writerEvent.Close();
        if (m_readerEvent.IsValid()) ::SetEvent(m_readerEvent); // every waiting reader goes
    }
    else if (!bDowngrade && m_writerEvent.IsValid())
    {
        ::SetEvent(m_writerEvent); // the next writer owns the lock; after a downgrade the last reader wakes it
    }
}

bool CReadWriteLock::TryTakeFreeWriteLock()
{
    uint64_t nFree = 0; // readers may still come in without the critical section: only a free lock is taken
    if (!m_nState.compare_exchange_strong(nFree, kWriter, std::memory_order_acquire, std::memory_order_relaxed))
        return false;
    // Readers woken by the last writer and not yet inside would otherwise find the event still
    // signalled and spin until this writer leaves.
    if (m_readerEvent.IsValid()) ::ResetEvent(m_readerEvent);
    return true;
}

bool CReadWriteLock::TryTurnSoleReaderIntoWriter()
{
    uint64_t nState = m_nState.load(std::memory_order_relaxed);
    while (ReadersOf(nState) == 1)
        if (m_nState.compare_exchange_weak(nState, nState - kReader + kWriter, std::memory_order_acquire,
                                           std::memory_order_relaxed))
        {
            if (m_readerEvent.IsValid()) ::ResetEvent(m_readerEvent);
            return true;
        }
    return false;
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
    // Writers change only under the critical section, so "no writer" seen here stays true until the
    // reader is counted; readers may come and go meanwhile.
    auto writers = [this] { return WritersOf(m_nState.load(std::memory_order_acquire)); };
    auto wait = [&](DWORD dwMilliseconds) {
        ++m_nBlocked;
        ::LeaveCriticalSection(&m_cs);
        const DWORD dwWait = ::WaitForSingleObject(hEvent, dwMilliseconds);
        ::EnterCriticalSection(&m_cs);
        --m_nBlocked;
        return dwWait;
    };
    BOOL bResult = FALSE;
    if (dwTimeout == INFINITE)
    {
        while (writers() > 0)
            wait(INFINITE);
        m_nState.fetch_add(kReader, std::memory_order_acquire);
        bResult = TRUE;
    }
    else
    {
        const DWORD dwStart = static_cast<DWORD>(::GetTickCount64());
        DWORD dwWait = wait(dwTimeout);
        for (;;)
        {
            if (writers() == 0) // even when the wait itself timed out
            {
                m_nState.fetch_add(kReader, std::memory_order_acquire);
                bResult = TRUE;
                break;
            }
            if (dwWait != WAIT_OBJECT_0) break;
            const DWORD dwElapsed = static_cast<DWORD>(::GetTickCount64()) - dwStart;
            if (dwElapsed > dwTimeout) break;
            dwWait = wait(dwTimeout - dwElapsed);
        }
    }
    if (--m_nWaitingReaders == 0) m_readerEvent.Close();
    return bResult;
}

BOOL CReadWriteLock::WaitForWrite(DWORD dwTimeout)
{
    EnsureEvent(m_writerEvent, FALSE);
    const uint64_t nBefore = m_nState.fetch_add(kWriter, std::memory_order_acq_rel);
    if (WritersOf(nBefore) == 0 && m_readerEvent.IsValid()) ::ResetEvent(m_readerEvent); // new readers wait from now
    // The last reader may have left without the critical section just before this writer was
    // counted: then nobody will hand the lock over, and it is this writer's already.
    if (nBefore == 0) return TRUE;
    const HANDLE hEvent = m_writerEvent; // stays open while this thread counts as a writer
    ++m_nBlocked;
    ::LeaveCriticalSection(&m_cs);
    const DWORD dwWait = ::WaitForSingleObject(hEvent, dwTimeout);
    ::EnterCriticalSection(&m_cs);
    --m_nBlocked;
    if (dwWait == WAIT_OBJECT_0) return TRUE; // handed over; this thread was counted already
    uint64_t nState = m_nState.load(std::memory_order_relaxed);
    for (;;)
    {
        if (nState == kWriter)
        {
            // The lock became free just as the wait ran out, and this writer is the only one: it
            // keeps it. A hand-over signalled meanwhile goes with the event.
            m_writerEvent.Close();
            return TRUE;
        }
        if (m_nState.compare_exchange_weak(nState, nState - kWriter, std::memory_order_acq_rel,
                                           std::memory_order_relaxed))
            break;
    }
    if (WritersOf(nState - kWriter) > 0) return FALSE;
    m_writerEvent.Close();
    if (m_readerEvent.IsValid()) ::SetEvent(m_readerEvent); // readers held back by this writer go on
    return FALSE;
}

BOOL CReadWriteLock::Upgrade(DWORD dwTimeout)
{
    if (dwTimeout == 0) return FALSE;
    // Giving up the shared hold as a release (not a bare decrement) wakes a writer that waits for
    // it, and lets a sole reader take the free lock instead of waiting for a signal nobody sends.
    ReleaseReader();
    if (TryTakeFreeWriteLock()) return TRUE;
    if (WaitForWrite(dwTimeout)) return TRUE;
    if (WritersOf(m_nState.load()) == 0)
    {
        m_nState.fetch_add(kReader, std::memory_order_acquire); // the shared hold is back
        return FALSE;
    }
    WaitForRead(INFINITE); // the shared hold is taken again once no writer is left
    return TryTurnSoleReaderIntoWriter();
}
