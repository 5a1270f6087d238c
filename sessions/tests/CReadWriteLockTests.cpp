// The re-entrant reader/writer lock: re-entrance, upgrade and downgrade, writer precedence,
// time-outs, refused misuse, and a stress run of mixed operations under an invariant checker.
#include "sessions/CReadWriteLock.h"
#include "sessions/tests/LockProbes.h"
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <thread>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Polls a condition with a bound instead of sleeping a fixed time.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s)
{
    const auto deadline = Clock::now() + limit;
    while (!condition())
    {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

DWORD CountProcessHandles()
{
    DWORD nCount = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &nCount); // Wine answers 0: HasEvents checks the lock itself
    return nCount;
}

} // namespace

TEST(ReadWriteLock, ReaderReentersWhileWriterWaitsButNewReaderWaits)
{
    CReadWriteLock lock;
    ASSERT_TRUE(lock.LockRead());
    std::atomic<bool> writerIn{false};
    std::thread writer([&] {
        if (lock.LockWrite())
        {
            writerIn = true;
            lock.UnlockWrite();
        }
    });
    // Once the writer waits, a new reader is held back: writers take precedence.
    ASSERT_TRUE(WaitFor([&] { return !ReaderWouldEnter(lock); })) << "the writer never started to wait";
    EXPECT_FALSE(writerIn);

    EXPECT_TRUE(lock.LockRead(0)) << "a thread inside must re-enter at once, even behind a waiting writer";
    DWORD nShared = 0, nExclusive = 0;
    lock.GetThreadCounts(&nShared, &nExclusive);
    EXPECT_EQ(nShared, 2u);
    EXPECT_EQ(nExclusive, 0u);

    EXPECT_TRUE(lock.UnlockRead());
    EXPECT_FALSE(writerIn) << "one hold is still left";
    EXPECT_TRUE(lock.UnlockRead());
    writer.join();
    EXPECT_TRUE(writerIn);
    EXPECT_FALSE(lock.IsHeldByCurrentThread());
    EXPECT_TRUE(WriterWouldEnter(lock));
}

// Readers that come and go without the critical section still hand the lock to a writer that
// waits: the last one out wakes it, and readers arriving meanwhile wait behind it. Without the
// hand-over the writer would sleep until its time-out while the readers stood still.
TEST(ReadWriteLock, WaitingWriterGetsInWhileReadersKeepComing)
{
    constexpr int kReaders = 4;
    CReadWriteLock lock;
    std::atomic<bool> stop{false};
    std::atomic<long long> reads{0};
    std::atomic<int> overlaps{0};
    std::atomic<bool> writerInside{false};
    std::vector<std::thread> readers;
    for (int r = 0; r < kReaders; ++r)
        readers.emplace_back([&] {
            while (!stop)
            {
                if (!lock.LockRead()) continue;
                if (writerInside) ++overlaps;
                ++reads;
                lock.UnlockRead();
            }
        });
    if (!WaitFor([&] { return reads > 10000; }))
    {
        stop = true;
        for (auto& reader : readers)
            reader.join();
        FAIL() << "the readers did not get going";
    }

    std::atomic<bool> writerDone{false};
    std::thread writer([&] {
        if (lock.LockWrite(60000)) // far beyond the bound below: only a hand-over lets it in in time
        {
            writerInside = true;
            for (int i = 0; i < 10000; ++i) // a while inside, for a reader beside it to show up
                std::this_thread::yield();
            writerInside = false;
            lock.UnlockWrite();
            writerDone = true;
        }
    });
    const bool bWriterIn = WaitFor([&] { return writerDone.load(); }, 20s);
    const long long readsAfterWriter = reads;
    const bool bReadersGoOn = WaitFor([&] { return reads > readsAfterWriter + 1000; });
    stop = true;
    writer.join();
    for (auto& reader : readers)
        reader.join();
    EXPECT_TRUE(bWriterIn) << "the writer starved while readers kept coming";
    EXPECT_TRUE(bReadersGoOn) << "the readers did not carry on after the writer";
    EXPECT_EQ(overlaps, 0) << "a reader was inside beside the writer";
    EXPECT_FALSE(lock.HasEvents());
}

TEST(ReadWriteLock, SoleReaderUpgradesAtOnceAndDowngradesOnUnlockWrite)
{
    CReadWriteLock lock;
    ASSERT_TRUE(lock.LockRead());
    ASSERT_TRUE(lock.LockWrite(0)) << "the sole reader must not wait for itself";
    DWORD nShared = 0, nExclusive = 0;
    lock.GetThreadCounts(&nShared, &nExclusive);
    EXPECT_EQ(nShared, 1u);
    EXPECT_EQ(nExclusive, 1u); // the entry reads 0x10001
    EXPECT_TRUE(lock.IsWriteHeldByCurrentThread());
    EXPECT_FALSE(ReaderWouldEnter(lock));

    ASSERT_TRUE(lock.UnlockWrite());
    lock.GetThreadCounts(&nShared, &nExclusive);
    EXPECT_EQ(nShared, 1u);
    EXPECT_EQ(nExclusive, 0u);
    EXPECT_FALSE(lock.IsWriteHeldByCurrentThread());
    EXPECT_TRUE(lock.IsHeldByCurrentThread());
    EXPECT_TRUE(ReaderWouldEnter(lock)) << "after the downgrade the thread is a plain reader";
    EXPECT_FALSE(WriterWouldEnter(lock));

    ASSERT_TRUE(lock.UnlockRead());
    EXPECT_FALSE(lock.IsHeldByCurrentThread());
    EXPECT_TRUE(WriterWouldEnter(lock));
}

TEST(ReadWriteLock, WriterReentersSharedAndExclusive)
{
    CReadWriteLock lock;
    ASSERT_TRUE(lock.LockWrite());
    ASSERT_TRUE(lock.LockWrite(0));
    ASSERT_TRUE(lock.LockRead(0));
    DWORD nShared = 0, nExclusive = 0;
    lock.GetThreadCounts(&nShared, &nExclusive);
    EXPECT_EQ(nShared, 1u);
    EXPECT_EQ(nExclusive, 2u);
    EXPECT_TRUE(lock.UnlockWrite());
    EXPECT_FALSE(ReaderWouldEnter(lock)) << "one exclusive hold is left";
    EXPECT_TRUE(lock.UnlockWrite());
    EXPECT_TRUE(ReaderWouldEnter(lock)) << "the shared hold continues as a plain reader";
    EXPECT_TRUE(lock.UnlockRead());
    EXPECT_TRUE(WriterWouldEnter(lock));
}

TEST(ReadWriteLock, UpgradeWaitsForTheOtherReaders)
{
    CReadWriteLock lock;
    std::atomic<int> stage{0};
    std::thread other([&] {
        lock.LockRead();
        stage = 1;
        WaitFor([&] { return stage == 2; });
        lock.UnlockRead();
    });
    ASSERT_TRUE(WaitFor([&] { return stage == 1; }));
    ASSERT_TRUE(lock.LockRead());
    EXPECT_FALSE(lock.LockWrite(0)) << "another reader is inside";
    EXPECT_TRUE(lock.IsHeldByCurrentThread()) << "a refused upgrade keeps the shared hold";

    const auto start = Clock::now();
    std::thread release([&] {
        WaitFor([&] { return lock.GetWaitingCount() == 1; }); // the upgrade waits for the other reader
        stage = 2;
    });
    EXPECT_TRUE(lock.LockWrite(5000));
    EXPECT_LT(Clock::now() - start, 4s);
    EXPECT_TRUE(lock.IsWriteHeldByCurrentThread());
    release.join();
    other.join();
    EXPECT_TRUE(lock.UnlockWrite());
    EXPECT_TRUE(lock.UnlockRead());
    EXPECT_FALSE(lock.IsHeldByCurrentThread());
}

TEST(ReadWriteLock, TimeOutsGiveUpAndLeaveNoEntry)
{
    CReadWriteLock lock;
    std::atomic<int> stage{0};
    std::thread writer([&] {
        lock.LockWrite();
        stage = 1;
        WaitFor([&] { return stage == 2; });
        lock.UnlockWrite();
    });
    ASSERT_TRUE(WaitFor([&] { return stage == 1; }));

    auto start = Clock::now();
    EXPECT_FALSE(lock.LockWrite(0));
    EXPECT_LT(Clock::now() - start, 40ms) << "time-out 0 never waits";

    start = Clock::now();
    EXPECT_FALSE(lock.LockRead(50));
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 40ms);
    EXPECT_LT(waited, 2s);
    EXPECT_FALSE(lock.IsHeldByCurrentThread());

    start = Clock::now();
    EXPECT_FALSE(lock.LockWrite(50));
    EXPECT_GE(Clock::now() - start, 40ms);
    EXPECT_FALSE(lock.IsHeldByCurrentThread());

    stage = 2;
    writer.join();
    // The failed waits left the counts as they were: the lock is free for both kinds.
    EXPECT_TRUE(lock.LockWrite(0));
    EXPECT_TRUE(lock.UnlockWrite());
    EXPECT_TRUE(lock.LockRead(0));
    EXPECT_TRUE(lock.UnlockRead());
}

TEST(ReadWriteLock, ReleasesTheThreadDoesNotHoldAreRefused)
{
    CReadWriteLock lock;
    EXPECT_FALSE(lock.UnlockRead());
    EXPECT_FALSE(lock.UnlockWrite());
    EXPECT_FALSE(lock.Unlock());
    EXPECT_TRUE(WriterWouldEnter(lock)) << "refused releases must not change the counts";

    ASSERT_TRUE(lock.LockRead());
    EXPECT_FALSE(lock.UnlockWrite()) << "a shared hold is no exclusive one";
    EXPECT_FALSE(WriterWouldEnter(lock)) << "the shared hold must still keep writers out";
    // Another thread releasing our hold would let a writer in beside us.
    EXPECT_FALSE(OnOtherThread([&] { return lock.UnlockRead(); }));
    EXPECT_FALSE(WriterWouldEnter(lock));
    EXPECT_TRUE(lock.UnlockRead());

    ASSERT_TRUE(lock.LockWrite());
    EXPECT_FALSE(lock.UnlockRead()) << "an exclusive hold is no shared one";
    EXPECT_TRUE(lock.IsWriteHeldByCurrentThread());
    EXPECT_FALSE(ReaderWouldEnter(lock));
    EXPECT_TRUE(lock.UnlockWrite());
    EXPECT_TRUE(WriterWouldEnter(lock));
}

TEST(ReadWriteLock, UnlockDropsEveryHoldAtOnce)
{
    CReadWriteLock lock;
    ASSERT_TRUE(lock.LockRead());
    ASSERT_TRUE(lock.LockRead());
    ASSERT_TRUE(lock.LockWrite());
    ASSERT_TRUE(lock.LockWrite());
    EXPECT_TRUE(lock.Unlock());
    EXPECT_FALSE(lock.IsHeldByCurrentThread());
    EXPECT_TRUE(WriterWouldEnter(lock));

    ASSERT_TRUE(lock.LockRead());
    ASSERT_TRUE(lock.LockRead());
    EXPECT_TRUE(lock.Unlock());
    EXPECT_TRUE(WriterWouldEnter(lock));
}

TEST(ReadWriteLock, GetOwnersNamesReadersAndWriter)
{
    CReadWriteLock lock;
    DWORD dwWriter = 1;
    CDWordArray readers;
    EXPECT_FALSE(lock.GetOwners(dwWriter, readers));
    EXPECT_EQ(dwWriter, 0u);

    ASSERT_TRUE(lock.LockRead());
    std::atomic<DWORD> otherId{0};
    std::atomic<bool> release{false};
    std::thread other([&] {
        lock.LockRead();
        otherId = ::GetCurrentThreadId();
        WaitFor([&] { return release.load(); });
        lock.UnlockRead();
    });
    ASSERT_TRUE(WaitFor([&] { return otherId != 0; }));
    EXPECT_TRUE(lock.GetOwners(dwWriter, readers));
    EXPECT_EQ(dwWriter, 0u);
    ASSERT_EQ(readers.GetSize(), 2);
    const DWORD self = ::GetCurrentThreadId();
    EXPECT_TRUE((readers[0] == self && readers[1] == otherId) || (readers[1] == self && readers[0] == otherId));
    release = true;
    other.join();
    ASSERT_TRUE(lock.LockWrite());
    EXPECT_TRUE(lock.GetOwners(dwWriter, readers));
    EXPECT_EQ(dwWriter, self);
    EXPECT_EQ(readers.GetSize(), 0) << "an upgraded reader is reported as the writer";
    lock.Unlock();
}

// More threads than the lock keeps entries for at first hold it at once, twice: the second crowd
// finds the first one's entries left behind by ended threads. Every holder is tracked each time.
TEST(ReadWriteLock, ManyThreadsHoldingAtOnceAreAllTracked)
{
    constexpr int kCrowd = 40;
    CReadWriteLock lock;
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round == 0 ? "first crowd" : "second crowd, after the first has ended");
        std::atomic<int> inside{0};
        std::atomic<bool> release{false};
        std::atomic<int> held{0}; // holds the threads saw in their own entries
        std::vector<std::thread> crowd;
        for (int t = 0; t < kCrowd; ++t)
            crowd.emplace_back([&] {
                if (!lock.LockRead()) return;
                held += lock.IsHeldByCurrentThread() ? 1 : 0;
                ++inside;
                WaitFor([&] { return release.load(); });
                lock.UnlockRead();
            });
        const bool bAllInside = WaitFor([&] { return inside == kCrowd; });
        DWORD dwWriter = 1;
        CDWordArray readers;
        const BOOL bOwners = lock.GetOwners(dwWriter, readers);
        const BOOL bWriterKeptOut = !WriterWouldEnter(lock);
        release = true;
        for (auto& thread : crowd)
            thread.join();
        EXPECT_TRUE(bAllInside);
        EXPECT_EQ(held, kCrowd);
        EXPECT_TRUE(bOwners);
        EXPECT_EQ(dwWriter, 0u);
        EXPECT_EQ(readers.GetSize(), kCrowd);
        EXPECT_TRUE(bWriterKeptOut);
        EXPECT_TRUE(WriterWouldEnter(lock)) << "every reader left";
        EXPECT_FALSE(lock.GetOwners(dwWriter, readers));
    }
}

TEST(ReadWriteLock, UntrackedOperations)
{
    CReadWriteLock lock;
    ASSERT_TRUE(lock.LockReadUntracked());
    EXPECT_TRUE(OnOtherThread([&] { return lock.LockReadUntracked(0); })) << "readers share";
    EXPECT_FALSE(lock.IsHeldByCurrentThread()) << "untracked holds have no entries";
    EXPECT_FALSE(OnOtherThread([&] { return lock.LockWriteUntracked(0); }));
    lock.UnlockReadUntracked();
    lock.UnlockReadUntracked();

    ASSERT_TRUE(lock.LockWriteUntracked(0));
    EXPECT_FALSE(OnOtherThread([&] { return lock.LockReadUntracked(0); }));
    lock.DowngradeUntracked();
    EXPECT_TRUE(UntrackedReaderWouldEnter(lock)) << "after the downgrade readers share again";
    lock.UnlockReadUntracked();
    EXPECT_TRUE(UntrackedWriterWouldEnter(lock));
}

TEST(ReadWriteLock, SoleUntrackedReaderUpgradesWithoutWaiting)
{
    CReadWriteLock lock;
    ASSERT_TRUE(lock.LockReadUntracked());
    const auto start = Clock::now();
    // Nobody else holds the lock, so there is no release to wait for.
    EXPECT_TRUE(lock.UpgradeUntracked(3000));
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_FALSE(OnOtherThread([&] { return lock.LockReadUntracked(0); }));
    lock.UnlockWriteUntracked();
    EXPECT_TRUE(UntrackedWriterWouldEnter(lock));
}

TEST(ReadWriteLock, UpgradeUntrackedWaitsForOtherReaders)
{
    CReadWriteLock lock;
    ASSERT_TRUE(lock.LockReadUntracked());
    ASSERT_TRUE(lock.LockReadUntracked()); // a second reader, released from another thread below
    std::atomic<bool> upgraded{false};
    std::thread upgrader([&] { upgraded = lock.UpgradeUntracked(INFINITE) != FALSE; });
    EXPECT_TRUE(WaitFor([&] { return lock.GetWaitingCount() == 1; })) << "the upgrade never started to wait";
    EXPECT_FALSE(upgraded);
    lock.UnlockReadUntracked();
    upgrader.join();
    EXPECT_TRUE(upgraded);
    lock.UnlockWriteUntracked();
}

// Eight threads run a random mix of every tracked operation on one lock. Inside each hold the
// threads count themselves in and check that a writer is never beside anyone; writers also bump a
// plain counter, which would lose increments if two ever overlapped. What finds faults is the
// number of waits and hand-overs, not of operations: each thread's share is sized so that threads
// still wait on one another thousands of times.
TEST(ReadWriteLock, StressOfMixedOperationsKeepsTheInvariants)
{
    constexpr int kThreads = 8;
    constexpr int kOperations = 20000;
    // The thread library keeps some handles of its own once threads have run; let it take them first.
    std::vector<std::thread> warmUp;
    for (int t = 0; t < kThreads; ++t)
        warmUp.emplace_back([] {});
    for (auto& thread : warmUp)
        thread.join();
    const DWORD handlesBefore = CountProcessHandles();

    {
        CReadWriteLock lock;
        std::atomic<int> readersInside{0}, writersInside{0}, violations{0}, finished{0};
        std::atomic<long long> writesDone{0};
        long long plainCounter = 0; // changed only under the exclusive lock

        auto enterRead = [&] {
            ++readersInside;
            if (writersInside != 0) ++violations;
        };
        auto leaveRead = [&] { --readersInside; };
        auto enterWrite = [&] {
            if (++writersInside != 1 || readersInside != 0) ++violations;
            ++plainCounter;
            ++writesDone;
        };
        auto leaveWrite = [&] { --writersInside; };

        auto worker = [&](unsigned seed) {
            std::mt19937 gen(seed);
            volatile int sink = 0;
            for (int i = 0; i < kOperations; ++i)
            {
                switch (gen() % 20) // read-mostly, as the settings are
                {
                case 0:
                case 1:
                case 2:
                case 3:
                case 4:
                case 5:
                case 6:
                case 7:
                case 8:
                case 9:
                case 10: // plain read, sometimes re-entered
                    lock.LockRead();
                    enterRead();
                    if (gen() % 4 == 0)
                    {
                        lock.LockRead();
                        lock.UnlockRead();
                    }
                    leaveRead();
                    lock.UnlockRead();
                    break;
                case 11:
                case 12: // read with a short time-out
                    if (lock.LockRead(1))
                    {
                        enterRead();
                        leaveRead();
                        lock.UnlockRead();
                    }
                    break;
                case 13:
                case 14:
                case 15: // write, with a nested exclusive and shared hold
                    lock.LockWrite();
                    enterWrite();
                    lock.LockWrite(0);
                    lock.LockRead(0);
                    lock.UnlockRead();
                    lock.UnlockWrite();
                    leaveWrite();
                    lock.UnlockWrite();
                    break;
                case 16: // write with a short time-out
                    if (lock.LockWrite(1))
                    {
                        enterWrite();
                        leaveWrite();
                        lock.UnlockWrite();
                    }
                    break;
                case 17:
                case 18: // read, upgrade, downgrade, release
                    lock.LockRead();
                    enterRead();
                    leaveRead(); // an upgrade that waits gives the shared hold up meanwhile
                    if (lock.LockWrite())
                    {
                        enterWrite();
                        leaveWrite();
                        enterRead(); // counted before the downgrade; nobody else is inside yet
                        lock.UnlockWrite();
                    }
                    else
                    {
                        enterRead();
                    }
                    leaveRead();
                    lock.UnlockRead();
                    break;
                default: // write, then continue as a reader, then drop everything at once
                    lock.LockWrite();
                    enterWrite();
                    lock.LockRead();
                    leaveWrite();
                    enterRead();
                    lock.UnlockWrite();
                    leaveRead();
                    lock.Unlock();
                    break;
                }
                if (lock.IsHeldByCurrentThread()) ++violations; // every hold was released
                for (int k = 0; k < 200; ++k)                   // work between uses, as real callers do
                    sink = sink + k;
            }
            ++finished;
        };

        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back(worker, 1000u + t);
        if (!WaitFor([&] { return finished == kThreads; }, 240s))
        {
            std::fprintf(stderr, "deadlock: only %d of %d threads finished\n", finished.load(), kThreads);
            std::fflush(stderr);
            std::_Exit(2); // the threads cannot be joined; the lock on this stack must not die under them
        }
        for (auto& thread : threads)
            thread.join();
        EXPECT_EQ(violations, 0);
        EXPECT_EQ(plainCounter, writesDone.load()) << "an update was lost: two writers overlapped";
        EXPECT_GT(writesDone, kThreads * kOperations / 20);
        EXPECT_FALSE(lock.IsHeldByCurrentThread());
        EXPECT_TRUE(lock.LockWrite(0)) << "the lock must be free again";
        lock.UnlockWrite();
        EXPECT_FALSE(lock.HasEvents()) << "an idle lock must hold no event";
        EXPECT_EQ(CountProcessHandles(), handlesBefore);
    }
}

TEST(ReadWriteLock, IdleLockKeepsNoHandleAfterContention)
{
    CReadWriteLock lock;
    const DWORD before = CountProcessHandles();
    ASSERT_TRUE(lock.LockWrite());
    std::atomic<bool> got{false};
    std::thread reader([&] {
        got = lock.LockRead() != FALSE; // has to wait: the reader event comes into being
        lock.UnlockRead();
    });
    std::thread writer([&] {
        lock.LockWrite(); // waits as well: the writer event too
        lock.UnlockWrite();
    });
    ASSERT_TRUE(WaitFor([&] { return lock.GetWaitingCount() == 2; })) << "the reader and the writer did not both wait";
    EXPECT_TRUE(lock.HasEvents());
    lock.UnlockWrite();
    reader.join();
    writer.join();
    EXPECT_TRUE(got);
    EXPECT_FALSE(lock.HasEvents()) << "both events must be closed once nobody waits";
    EXPECT_EQ(CountProcessHandles(), before);
}
