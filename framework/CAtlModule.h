#pragma once
#include "framework/CAtlObjectMapEntry.h"
#include <objidl.h>
#include <oaidl.h>
class CRegistrar;
// The COM module of a server: counts what keeps it loaded (live objects, class-factory locks,
// threads of its own), knows its object map and writes its registry scripts. One exists per
// server; its constructor makes it the one AtlGetModule returns. The counts are interlocked:
// any thread may hold the module.
class CAtlModule
{
public:
    CAtlModule() noexcept;
    CAtlModule(const CAtlModule&) = delete;
    CAtlModule& operator=(const CAtlModule&) = delete;
    virtual ~CAtlModule();

    virtual LONG Lock() noexcept;
    virtual LONG Unlock() noexcept;
    virtual LONG GetLockCount() noexcept;
    // The process's global interface table, created on first use; one reference to the caller.
    virtual HRESULT GetGITPtr(IGlobalInterfaceTable** ppGIT) noexcept;
    // Replacements every script of the module gets besides MODULE (for example APPID).
    virtual HRESULT AddCommonRGSReplacements(CRegistrar* pRegistrar) noexcept;

    // Runs the REGISTRY resource nResID of the module (register or unregister) with MODULE,
    // OLEMISC = dwMiscStatus in decimal and the common replacements.
    HRESULT UpdateRegistryFromResource(UINT nResID, BOOL bRegister, DWORD dwMiscStatus = 0) noexcept;
    // Starts a thread that holds the module (a lock and a reference to its file) until its last
    // instruction: it ends through FreeLibraryAndExitThread. FALSE with GetLastError() set on failure.
    BOOL BeginLockedThread(LPTHREAD_START_ROUTINE pfnStart, LPVOID pParam) noexcept;

    HINSTANCE m_hInst = nullptr;
    // Registration writes the user's classes (HKCU\Software\Classes) and a per-user type library.
    bool m_bPerUserRegistration = false;

protected:
    LONG m_nLockCnt = 0;
    IGlobalInterfaceTable* m_pGIT = nullptr; // ours, released by the destructor
};

// The module of the calling code's binary; null before it is built (or when there is none).
CAtlModule* AtlGetModule() noexcept;

// The per-user type library registration of oleaut32 (not declared by our SDK headers).
HRESULT RegisterTypeLibForUser(ITypeLib* pLib, LPCWSTR path) noexcept;
HRESULT UnRegisterTypeLibForUser(const TLIBATTR& attr) noexcept;
