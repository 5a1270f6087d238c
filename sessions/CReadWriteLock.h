#pragma once
#include "framework/CArray.h"
#include "framework/CHandleOwner.h"
#include "framework/Platform.h"
#include <atomic>
#include <cstdint>
#include <memory>

// A re-entrant reader/writer lock with writer precedence and time-outs. A thread may take it shared
// or exclusive many times; the sole reader may turn its hold into an exclusive one, and a writer
// that also holds it shared continues as a reader when it lets the exclusive hold go.
// A waiting writer counts as a writer, so new readers wait from the moment a writer waits; a thread
// that already holds the lock is never made to wait by it.
// The two events exist only while some thread has to wait, so an idle lock holds no handles.
// Time-outs are milliseconds; INFINITE waits for ever and 0 never waits.
//
// Readers come and go without the critical section while no writer is counted: the reader and
// writer counts share one atomic word, and each thread keeps its holds in a slot of its own. The
// critical section and the events serve writers and every thread that has to wait; the release
// that hands the lock to a waiting writer is always made under the critical section.
class CReadWriteLock
{
public:
    CReadWriteLock();
    ~CReadWriteLock();
    CReadWriteLock(const CReadWriteLock&) = delete; // threads wait on its events and its critical section
    CReadWriteLock& operator=(const CReadWriteLock&) = delete;

    // Tracked, re-entrant operations: each thread's holds are counted in its own entry.
    BOOL LockRead(DWORD dwTimeout = INFINITE);
    BOOL LockWrite(DWORD dwTimeout = INFINITE);
    // A release the calling thread does not hold is refused (FALSE) and changes nothing.
    BOOL UnlockRead();
    BOOL UnlockWrite();
    BOOL Unlock(); // drops every hold of the calling thread at once

    void GetThreadCounts(DWORD* pnShared, DWORD* pnExclusive) const;
    BOOL IsHeldByCurrentThread() const;
    BOOL IsWriteHeldByCurrentThread() const;
    BOOL GetOwners(DWORD& dwWriter, CDWordArray& readers) const;
    // Whether either event exists: an idle lock must have closed both (checked by the tests).
    BOOL HasEvents() const;
    // Threads blocked in a wait for the lock right now, readers and writers (tests wait on it).
    LONG GetWaitingCount() const;

    // Untracked operations: no per-thread entries and not re-entrant. A thread must not mix them
    // with the tracked ones on one lock.
    BOOL LockReadUntracked(DWORD dwTimeout = INFINITE);
    BOOL LockWriteUntracked(DWORD dwTimeout = INFINITE);
    void UnlockReadUntracked();
    void UnlockWriteUntracked();
    void DowngradeUntracked();
    BOOL UpgradeUntracked(DWORD dwTimeout = INFINITE);

private:
    static constexpr DWORD kSharedUnit = 1;
    static constexpr DWORD kExclusiveUnit = 0x10000;
    // The state word: shared holders (each thread once) in the low half, holders and waiters of the
    // exclusive lock in the high half.
    static constexpr uint64_t kReader = 1;
    static constexpr uint64_t kWriter = uint64_t{1} << 32;
    static constexpr int kSlotsPerChunk = 32;

    // A thread's entry: its id in the high half, its holds (shared + exclusive * 0x10000) in the low
    // half. A thread keeps its slot while it lives, holding or not, so that finding it stays short;
    // only the thread itself changes its count. Each slot has a cache line of its own: readers on
    // other processors write theirs at the same time.
    struct alignas(64) CSlot
    {
        std::atomic<uint64_t> word{0};
    };
    struct CSlotChunk
    {
        CSlot slots[kSlotsPerChunk];
        std::atomic<CSlotChunk*> pNext{nullptr};
    };

    static LONG ReadersOf(uint64_t nState) { return static_cast<LONG>(nState & 0xFFFFFFFF); }
    static LONG WritersOf(uint64_t nState) { return static_cast<LONG>(nState >> 32); }
    static DWORD CountOf(uint64_t nWord) { return static_cast<DWORD>(nWord); }

    // Entries. FindSlot gives null when the thread has none; ClaimSlot gives one with no holds.
    CSlot* FindSlot(DWORD tid) const;
    CSlot* ClaimSlot(DWORD tid);
    CSlot* ClaimFreeSlot(DWORD tid);
    static void SetCount(CSlot& slot, DWORD tid, DWORD nCount);

    // Without the critical section: FALSE when the step needs it (a writer is counted, or the
    // release would hand the lock to a waiting writer).
    bool TryEnterShared();
    bool TryLeaveShared();

    // Every helper below is called with the critical section held and returns with it held.
    void ReleaseReader();
    void ReleaseWriter(bool bDowngrade);
    bool TryTakeFreeWriteLock();
    bool TryTurnSoleReaderIntoWriter();
    BOOL WaitForRead(DWORD dwTimeout);
    BOOL WaitForWrite(DWORD dwTimeout);
    BOOL Upgrade(DWORD dwTimeout);
    void EnsureEvent(CKernelHandle& event, BOOL bManualReset);

    std::atomic<uint64_t> m_nState{0};
    std::unique_ptr<CSlotChunk> m_pSlots; // further chunks hang from it while more threads hold at once
    mutable CRITICAL_SECTION m_cs;
    CKernelHandle m_writerEvent; // auto-reset: hands the lock to one waiting writer
    CKernelHandle m_readerEvent; // manual-reset: wakes every waiting reader
    LONG m_nWaitingReaders = 0;  // threads inside WaitForRead: they need the reader event
    LONG m_nBlocked = 0;         // threads between leaving the critical section to wait and coming back
};
