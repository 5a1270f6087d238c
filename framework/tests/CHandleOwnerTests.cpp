// The handle-owner template: one owner per handle, freed once, moved not copied.
#include "framework/CHandleOwner.h"
#include <gtest/gtest.h>
#include <utility>

namespace
{
bool IsOpen(HANDLE h)
{
    DWORD flags = 0;
    return ::GetHandleInformation(h, &flags) != FALSE;
}

HANDLE NewEvent()
{
    return ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

// A kind whose freeing sets an error of its own, as a failing close would: the owner must put the
// caller's error back. The handles are plain numbers; the count says how often each was freed.
int g_nFrees = 0;
struct CErrorSettingTraits
{
    using HandleType = int;
    static HandleType Invalid() noexcept { return 0; }
    static BOOL Close(HandleType) noexcept
    {
        ++g_nFrees;
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
};
using CErrorSettingHandle = CHandleOwner<CErrorSettingTraits>;

TEST(HandleOwner, FreesItsHandleAtScopeEndWithoutTouchingTheLastError)
{
    g_nFrees = 0;
    {
        CErrorSettingHandle owner(7);
        EXPECT_TRUE(owner.IsValid());
        ::SetLastError(ERROR_FILE_NOT_FOUND);
    }
    EXPECT_EQ(g_nFrees, 1) << "freed once, at scope end";
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << "the owner's caller still reads its error";

    HANDLE raw = NewEvent();
    ASSERT_NE(raw, nullptr);
    {
        CKernelHandle owner(raw);
    }
    EXPECT_FALSE(IsOpen(raw));
}

TEST(HandleOwner, ReleaseFreesNowAndReportsTheFailure)
{
    g_nFrees = 0;
    CErrorSettingHandle owner(7);
    ::SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(owner.Release());
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "the caller reads why the free failed";
    EXPECT_FALSE(owner.IsValid());
    EXPECT_TRUE(owner.Release()) << "nothing left to free";
    EXPECT_EQ(g_nFrees, 1);

    CKernelHandle event(NewEvent());
    const HANDLE raw = event.Get();
    EXPECT_TRUE(event.Release());
    EXPECT_FALSE(IsOpen(raw));
}

TEST(HandleOwner, ReceiveFreesTheHeldHandleBeforeTakingANewOne)
{
    g_nFrees = 0;
    CErrorSettingHandle owner(7);
    int* pSlot = owner.Receive();
    EXPECT_EQ(g_nFrees, 1) << "the old handle is freed, not leaked";
    EXPECT_EQ(*pSlot, 0);
    *pSlot = 9; // as a function that hands out a handle would
    EXPECT_EQ(owner.Get(), 9);
}

TEST(HandleOwner, MoveDetachAndAttachPassOwnershipOn)
{
    CKernelHandle a(NewEvent());
    const HANDLE first = a.Get();
    CKernelHandle b(std::move(a));
    EXPECT_FALSE(a.IsValid()) << "the moved-from owner holds nothing";
    EXPECT_EQ(b.Get(), first);

    b.Attach(NewEvent());
    EXPECT_FALSE(IsOpen(first)) << "Attach frees the handle held before";

    const HANDLE second = b.Detach();
    EXPECT_FALSE(b.IsValid());
    EXPECT_TRUE(IsOpen(second)) << "Detach hands the handle on without freeing it";
    ::CloseHandle(second);
}

TEST(HandleOwner, EachKindHasItsOwnNoHandleValue)
{
    CFileHandle file;
    EXPECT_EQ(file.Get(), INVALID_HANDLE_VALUE);
    file.Attach(::CreateFileW(L"Z:\\no\\such\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(file.IsValid()) << "a failed CreateFile is no handle";
    CKernelHandle kernel;
    EXPECT_EQ(kernel.Get(), nullptr);
    CSocketHandle socket;
    EXPECT_EQ(socket.Get(), INVALID_SOCKET);
}
} // namespace
