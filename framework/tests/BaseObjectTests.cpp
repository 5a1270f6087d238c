// CObject's run-time classes, the exception family, and the synchronisation objects.
#include "framework/CArray.h"
#include "framework/CCriticalSection.h"
#include "framework/CEvent.h"
#include "framework/CException.h"
#include "framework/CFileException.h"
#include "framework/CMutex.h"
#include "framework/CSemaphore.h"
#include "framework/CSingleLock.h"
#include <gtest/gtest.h>
#include <atomic>
#include <string>
#include <thread>

namespace
{
class CShape : public CObject
{
    DECLARE_DYNCREATE(CShape)
};
IMPLEMENT_DYNCREATE(CShape, CObject)

class CCircle : public CShape
{
    DECLARE_DYNAMIC(CCircle)
};
IMPLEMENT_DYNAMIC(CCircle, CShape)

// Counts its destructions, so that a test can see Delete() free it.
class CCountedException : public CException
{
public:
    explicit CCountedException(int& destroyed) : m_destroyed(destroyed) {}
    ~CCountedException() override { ++m_destroyed; }

private:
    int& m_destroyed;
};

TEST(CObject, KnowsItsClassAndItsBases)
{
    CCircle circle;
    const CObject& o = circle;
    EXPECT_TRUE(o.IsKindOf(RUNTIME_CLASS(CCircle)));
    EXPECT_TRUE(o.IsKindOf(RUNTIME_CLASS(CShape)));
    EXPECT_TRUE(o.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(CShape().IsKindOf(RUNTIME_CLASS(CCircle)));
    EXPECT_STREQ(o.GetRuntimeClass()->m_lpszClassName, "CCircle");
    CObject* made = RUNTIME_CLASS(CShape)->CreateObject();
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->IsKindOf(RUNTIME_CLASS(CShape)));
    delete made;
    EXPECT_EQ(RUNTIME_CLASS(CCircle)->CreateObject(), nullptr) << "not dynamically creatable";
}

TEST(CException, ThrownPointerIsCaughtAsCExceptionAndDeleteFreesIt)
{
    int destroyed = 0;
    try
    {
        throw new CCountedException(destroyed);
    }
    catch (CException* e)
    {
        EXPECT_EQ(destroyed, 0);
        e->Delete();
    }
    EXPECT_EQ(destroyed, 1) << "Delete() frees an exception made with new";
}

TEST(CException, OutOfRangeArrayAccessReachesCatchOfCException)
{
    CDWordArray a;
    bool caught = false;
    try
    {
        a.ElementAt(0) = 1;
    }
    catch (CException* e)
    {
        caught = e->IsKindOf(RUNTIME_CLASS(CInvalidArgException)) != FALSE;
        wchar_t text[256];
        EXPECT_TRUE(e->GetErrorMessage(text, 256));
        EXPECT_GT(wcslen(text), 0u);
        e->Delete();
    }
    EXPECT_TRUE(caught);
}

TEST(CException, GetErrorMessageCutsAtTheGivenSize)
{
    CInvalidArgException e;
    wchar_t full[256];
    ASSERT_TRUE(e.GetErrorMessage(full, 256));
    const size_t length = wcslen(full);
    ASSERT_GT(length, 6u);
    wchar_t buffer[16];
    wmemset(buffer, L'#', 16);
    UINT help = 99;
    EXPECT_TRUE(e.GetErrorMessage(buffer, 6, &help));
    EXPECT_EQ(std::wstring(buffer), std::wstring(full, 5)) << "five characters and the terminator";
    EXPECT_EQ(buffer[6], L'#') << "nothing written past the given size";
    EXPECT_EQ(help, 0u);
    EXPECT_TRUE(e.GetErrorMessage(buffer, 1));
    EXPECT_EQ(buffer[0], L'\0') << "a size of 1 leaves just the terminator";

    CUserException user;
    buffer[0] = L'#';
    EXPECT_FALSE(user.GetErrorMessage(buffer, 16)) << "a user abort has no message";
    EXPECT_EQ(buffer[0], L'\0');
}

TEST(CException, ThrowHelpersThrowTheirClasses)
{
    const struct
    {
        void (*thrower)();
        const CRuntimeClass* expected;
    } cases[] = {
        {AfxThrowUserException, RUNTIME_CLASS(CUserException)},
        {AfxThrowInvalidArgException, RUNTIME_CLASS(CInvalidArgException)},
        {AfxThrowMemoryException, RUNTIME_CLASS(CMemoryException)},
        {AfxThrowNotSupportedException, RUNTIME_CLASS(CNotSupportedException)},
        {AfxThrowResourceException, RUNTIME_CLASS(CResourceException)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.expected->m_lpszClassName);
        const CRuntimeClass* caught = nullptr;
        try
        {
            c.thrower();
        }
        catch (CException* e)
        {
            caught = e->GetRuntimeClass();
            e->Delete();
        }
        EXPECT_EQ(caught, c.expected);
    }
    // The out-of-memory exception is shared: deleting it twice must be harmless.
    for (int i = 0; i < 2; ++i)
        try
        {
            AfxThrowMemoryException();
        }
        catch (CException* e)
        {
            e->Delete();
        }
}

TEST(CFileException, CarriesCauseErrorAndFileName)
{
    const struct
    {
        LONG osError;
        int cause;
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, CFileException::fileNotFound},
        {ERROR_PATH_NOT_FOUND, CFileException::badPath},
        {ERROR_ACCESS_DENIED, CFileException::accessDenied},
        {ERROR_SHARING_VIOLATION, CFileException::sharingViolation},
        {ERROR_DISK_FULL, CFileException::diskFull},
        {ERROR_NEGATIVE_SEEK, CFileException::badSeek},
        {ERROR_HANDLE_EOF, CFileException::endOfFile},
        {ERROR_INVALID_FUNCTION, CFileException::genericException},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.osError);
        EXPECT_EQ(CFileException::OsErrorToException(c.osError), c.cause);
    }
    EXPECT_EQ(CFileException::badSeek, 9);
    EXPECT_EQ(CFileException::invalidFile, 6);

    try
    {
        CFileException::ThrowOsError(ERROR_FILE_NOT_FOUND, L"C:\\data\\missing.txt");
        FAIL() << "ThrowOsError must throw for a real error";
    }
    catch (CException* e)
    {
        auto* fe = dynamic_cast<CFileException*>(e);
        ASSERT_NE(fe, nullptr);
        EXPECT_EQ(fe->m_cause, CFileException::fileNotFound);
        EXPECT_EQ(fe->m_lOsError, ERROR_FILE_NOT_FOUND);
        EXPECT_STREQ(fe->m_strFileName, L"C:\\data\\missing.txt");
        wchar_t text[256];
        EXPECT_TRUE(fe->GetErrorMessage(text, 256));
        EXPECT_NE(std::wstring(text).find(L"missing.txt"), std::wstring::npos) << "the message names the file";
        e->Delete();
    }
    EXPECT_NO_THROW(CFileException::ThrowOsError(0)) << "error 0 is no error";
}

TEST(CCriticalSection, IsReenteredOnOneThreadAndExcludesAnother)
{
    CCriticalSection cs;
    ASSERT_TRUE(cs.Lock());
    ASSERT_TRUE(cs.Lock()) << "the owner may enter again";
    std::atomic<int> otherState{0}; // 1 tried, 2 entered
    std::thread other([&] {
        otherState = 1;
        CSingleLock lock(&cs, TRUE);
        otherState = 2;
    });
    while (otherState == 0)
        Sleep(1);
    Sleep(100);
    EXPECT_EQ(otherState, 1) << "another thread must wait while the lock is held";
    cs.Unlock();
    Sleep(100);
    EXPECT_EQ(otherState, 1) << "still held once: one Unlock per Lock";
    cs.Unlock();
    other.join();
    EXPECT_EQ(otherState, 2);
}

TEST(CCriticalSection, TimedLockGivesUpWhileAnotherThreadHoldsIt)
{
    CCriticalSection cs;
    CEvent taken, release;
    std::thread holder([&] {
        CSingleLock lock(&cs, TRUE);
        taken.SetEvent();
        release.Lock(10000);
    });
    ASSERT_TRUE(taken.Lock(10000));
    CSingleLock attempt(&cs);
    EXPECT_FALSE(attempt.Lock(50));
    EXPECT_FALSE(attempt.IsLocked());
    release.SetEvent();
    EXPECT_TRUE(attempt.Lock(10000));
    EXPECT_TRUE(attempt.IsLocked());
    holder.join();
}

TEST(CSingleLock, UnlocksWhatItLockedAtScopeEnd)
{
    CMutex mutex;
    {
        CSingleLock lock(&mutex, TRUE);
        EXPECT_TRUE(lock.IsLocked());
        EXPECT_TRUE(lock.Lock()) << "locking again through the same lock is a no-op";
    }
    bool freeElsewhere = false;
    std::thread([&] {
        CSingleLock lock(&mutex);
        freeElsewhere = lock.Lock(0) != FALSE;
    }).join();
    EXPECT_TRUE(freeElsewhere) << "the mutex was released by the destructor";
}

TEST(CEventAndSemaphore, SignalAndCountAsTheSystemDoes)
{
    CEvent autoReset;
    EXPECT_FALSE(autoReset.Lock(0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(WAIT_TIMEOUT));
    autoReset.SetEvent();
    EXPECT_TRUE(autoReset.Lock(0));
    EXPECT_FALSE(autoReset.Lock(0)) << "an auto-reset event lets one waiter through";

    CEvent manual(TRUE, TRUE);
    EXPECT_TRUE(manual.Lock(0));
    EXPECT_TRUE(manual.Lock(0));
    manual.ResetEvent();
    EXPECT_FALSE(manual.Lock(0));

    CSemaphore semaphore(2, 2);
    EXPECT_TRUE(semaphore.Lock(0));
    EXPECT_TRUE(semaphore.Lock(0));
    EXPECT_FALSE(semaphore.Lock(0)) << "both counts taken";
    LONG previous = -1;
    EXPECT_TRUE(semaphore.Unlock(2, &previous));
    EXPECT_EQ(previous, 0);
    EXPECT_FALSE(semaphore.Unlock(1)) << "beyond the maximum count";
}
} // namespace
