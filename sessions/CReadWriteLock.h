#pragma once
#include "framework/CArray.h"
#include "framework/CHandleOwner.h"
#include "framework/Platform.h"
#include <map>

// A re-entrant reader/writer lock with writer precedence and time-outs. A thread may take it shared
// or exclusive many times; the sole reader may turn its hold into an exclusive one, and a writer
// that also holds it shared continues as a reader when it lets the exclusive hold go.
// A waiting writer counts as a writer, so new readers wait from the moment a writer waits; a thread
// that already holds the lock is never made to wait by it.
// The two events exist only while some thread has to wait, so an idle lock holds no handles.
// Time-outs are milliseconds; INFINITE waits for ever and 0 never waits.
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

    // Every helper below is called with the critical section held and returns with it held.
    void ReleaseReader();
    void ReleaseWriter(bool bDowngrade);
    void TakeFreeWriteLock();
    BOOL WaitForRead(DWORD dwTimeout);
    BOOL WaitForWrite(DWORD dwTimeout);
    BOOL Upgrade(DWORD dwTimeout);
    void EnsureEvent(CKernelHandle& event, BOOL bManualReset);

    mutable CRITICAL_SECTION m_cs;
    CKernelHandle m_writerEvent; // auto-reset: hands the lock to one waiting writer
    CKernelHandle m_readerEvent; // manual-reset: wakes every waiting reader
    LONG m_nWriters = 0;         // holders and waiters of the exclusive lock
    LONG m_nReaders = 0;         // shared holders, each thread once
    LONG m_nWaitingReaders = 0;
    std::map<DWORD, DWORD> m_threadCounts; // thread id -> shared holds + exclusive holds * 0x10000
};
