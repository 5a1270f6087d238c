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

TEST(HandleOwner, FreesItsHandleAtScopeEndWithoutTouchingTheLastError)
{
    HANDLE raw = NewEvent();
    ASSERT_NE(raw, nullptr);
    {
        CKernelHandle owner(raw);
        EXPECT_TRUE(owner.IsValid());
        ::SetLastError(ERROR_FILE_NOT_FOUND);
    }
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << "the owner's caller still reads its error";
    EXPECT_FALSE(IsOpen(raw));
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
