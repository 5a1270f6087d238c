// The module's counts and helpers on a module of the test program itself.
#include "framework/CAtlModule.h"
#include "framework/CComObject.h"
#include "framework/CComObjectRootEx.h"
#include "framework/CComPtr.h"
#include "framework/CHandleOwner.h"
#include "framework/testing/CComApartment.h"
#include <gtest/gtest.h>

namespace
{
class CPlainObject : public IUnknown, public CComObjectRootEx<CComSingleThreadModel>
{
public:
    BEGIN_COM_MAP(CPlainObject)
    COM_INTERFACE_ENTRY(IUnknown)
    END_COM_MAP()
};

DWORD WINAPI WaitForEvent(LPVOID pEvent)
{
    ::WaitForSingleObject(static_cast<HANDLE>(pEvent), 10000);
    return 0;
}

bool WaitForLockCount(CAtlModule& module, LONG count)
{
    const ULONGLONG deadline = ::GetTickCount64() + 5000;
    while (module.GetLockCount() != count)
    {
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(10);
    }
    return true;
}
} // namespace

TEST(ComModule, ObjectsAndThreadsHoldTheModule)
{
    CAtlModule module;
    ASSERT_EQ(AtlGetModule(), &module);
    EXPECT_EQ(module.GetLockCount(), 0);
    {
        CComObject<CPlainObject>* pObject = nullptr;
        ASSERT_EQ(CComObject<CPlainObject>::CreateInstance(&pObject), S_OK);
        CComPtr<IUnknown> object(pObject);
        EXPECT_EQ(module.GetLockCount(), 1) << "a live object holds the module";
    }
    EXPECT_EQ(module.GetLockCount(), 0);

    CKernelHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(module.BeginLockedThread(&WaitForEvent, release.Get()));
    EXPECT_EQ(module.GetLockCount(), 1) << "the thread holds the module from its start";
    ::SetEvent(release);
    EXPECT_TRUE(WaitForLockCount(module, 0));
}

TEST(ComModule, GlobalInterfaceTableIsCreatedOnceAndShared)
{
    CComApartment apartment;
    CAtlModule module;
    CComPtr<IGlobalInterfaceTable> first, second;
    ASSERT_EQ(module.GetGITPtr(&first), S_OK);
    ASSERT_EQ(module.GetGITPtr(&second), S_OK);
    EXPECT_EQ(first.p, second.p);
    EXPECT_EQ(module.GetGITPtr(nullptr), E_POINTER);
}
