#include "sessions/tests/LockProbes.h"
#include <thread>

BOOL OnOtherThread(const std::function<BOOL()>& call)
{
    BOOL result = FALSE;
    std::thread([&] { result = call(); }).join();
    return result;
}

BOOL ReaderWouldEnter(CReadWriteLock& lock)
{
    return OnOtherThread([&] {
        const BOOL ok = lock.LockRead(0);
        if (ok) lock.UnlockRead();
        return ok;
    });
}

BOOL WriterWouldEnter(CReadWriteLock& lock)
{
    return OnOtherThread([&] {
        const BOOL ok = lock.LockWrite(0);
        if (ok) lock.UnlockWrite();
        return ok;
    });
}

BOOL UntrackedReaderWouldEnter(CReadWriteLock& lock)
{
    return OnOtherThread([&] {
        const BOOL ok = lock.LockReadUntracked(0);
        if (ok) lock.UnlockReadUntracked();
        return ok;
    });
}

BOOL UntrackedWriterWouldEnter(CReadWriteLock& lock)
{
    return OnOtherThread([&] {
        const BOOL ok = lock.LockWriteUntracked(0);
        if (ok) lock.UnlockWriteUntracked();
        return ok;
    });
}
