// Lockable objects and the pointers that hold their locks: which way the current thread holds the
// lock, copies and assignments that take holds of their own, and the default lock.
#include "sessions/CObjectPtrBase.h"
#include "sessions/tests/LockProbes.h"
#include <gtest/gtest.h>
#include <thread>

TEST(LockObject, TellsHowTheCurrentThreadHoldsItsLock)
{
    CLockObject object;
    BOOL bExclusive = TRUE;
    EXPECT_FALSE(object.IsLockedByCurrentThread(bExclusive));
    EXPECT_FALSE(bExclusive);

    ASSERT_TRUE(object.GetLock().LockRead());
    EXPECT_TRUE(object.IsLockedByCurrentThread(bExclusive));
    EXPECT_FALSE(bExclusive);
    EXPECT_TRUE(object.IsReadLockedByCurrentThread());
    BOOL bOtherSees = TRUE;
    std::thread([&] { bOtherSees = object.IsLockedByCurrentThread(bExclusive); }).join();
    EXPECT_FALSE(bOtherSees) << "another thread does not hold it";

    ASSERT_TRUE(object.GetLock().LockWrite()); // the sole reader upgrades
    EXPECT_TRUE(object.IsLockedByCurrentThread(bExclusive));
    EXPECT_TRUE(bExclusive);
    EXPECT_FALSE(object.IsReadLockedByCurrentThread());
    object.GetLock().Unlock();

    EXPECT_EQ(object.GetLockFlag(), 0);
    object.SetLockFlag(3);
    EXPECT_EQ(object.GetLockFlag(), 3);
}

TEST(ObjectPtrBase, HoldsTheObjectsLockForItsLifetime)
{
    CLockObject object;
    {
        CObjectPtrBase writer(&object, false, true);
        EXPECT_TRUE(writer.IsLocked());
        EXPECT_FALSE(writer.IsShared());
        EXPECT_EQ(writer.GetPointer(), &object);
        EXPECT_FALSE(WriterWouldEnter(object.GetLock()));
    }
    EXPECT_TRUE(WriterWouldEnter(object.GetLock())) << "the destructor released the hold";

    CObjectPtrBase later(&object, true, false);
    EXPECT_FALSE(later.IsLocked());
    EXPECT_TRUE(WriterWouldEnter(object.GetLock()));
    EXPECT_TRUE(later.Lock(true));
    EXPECT_TRUE(later.Lock(false)) << "locking again replaces the hold";
    later.Unlock();
    EXPECT_FALSE(object.GetLock().IsHeldByCurrentThread()) << "one Unlock releases everything Lock took";
}

TEST(ObjectPtrBase, CopiesAndAssignmentsTakeHoldsOfTheirOwn)
{
    CLockObject object, other;
    CObjectPtrBase first(&object, true, true);
    {
        CObjectPtrBase copy(first);
        EXPECT_TRUE(copy.IsLocked());
        EXPECT_TRUE(copy.IsShared());
        DWORD nShared = 0;
        object.GetLock().GetThreadCounts(&nShared, nullptr);
        EXPECT_EQ(nShared, 2u);

        CObjectPtrBase assigned(&other, false, true);
        assigned = first; // lets go of other's exclusive hold first
        EXPECT_TRUE(WriterWouldEnter(other.GetLock()));
        EXPECT_EQ(assigned.GetPointer(), &object);
        object.GetLock().GetThreadCounts(&nShared, nullptr);
        EXPECT_EQ(nShared, 3u);
    }
    DWORD nShared = 0;
    object.GetLock().GetThreadCounts(&nShared, nullptr);
    EXPECT_EQ(nShared, 1u) << "each copy released its own hold";

    const CObjectPtrBase unlocked(&object, true, false);
    const CObjectPtrBase unlockedCopy(unlocked);
    EXPECT_FALSE(unlockedCopy.IsLocked());
}

TEST(ObjectPtrBase, WithoutAnObjectUsesTheDefaultLock)
{
    CObjectPtrBase none(false);
    EXPECT_EQ(none.GetPointer(), nullptr);
    EXPECT_FALSE(none.IsLocked());
    ASSERT_TRUE(none.Lock(false, 0));
    EXPECT_TRUE(CObjectPtrBase::GetDefaultLock().IsWriteHeldByCurrentThread());
    none.Unlock();
    EXPECT_FALSE(CObjectPtrBase::GetDefaultLock().IsHeldByCurrentThread());
}
