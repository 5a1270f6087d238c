#include "framework/CAtlModule.h"
#include "framework/CHandleOwner.h"
#include "framework/CRegistrar.h"
#include <cwchar>
#include <new>
#include <string>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace
{
CAtlModule* g_pModule = nullptr;
CAtlObjectMapEntry* g_pFirstEntry = nullptr;

struct LockedThreadStart
{
    LPTHREAD_START_ROUTINE pfnStart;
    LPVOID pParam;
    HMODULE hModule;
    CAtlModule* pModule;
};

DWORD WINAPI LockedThreadEntry(LPVOID pv)
{
    const LockedThreadStart start = *static_cast<LockedThreadStart*>(pv);
    delete static_cast<LockedThreadStart*>(pv);
    const DWORD exitCode = start.pfnStart(start.pParam);
    start.pModule->Unlock();
    // The code that frees the module must not be the module's: the system call ends the thread.
    ::FreeLibraryAndExitThread(start.hModule, exitCode);
}
} // namespace

void AtlAddObjectMapEntry(CAtlObjectMapEntry* pEntry)
{
    pEntry->pNext = nullptr;
    CAtlObjectMapEntry** ppLink = &g_pFirstEntry;
    while (*ppLink)
        ppLink = &(*ppLink)->pNext;
    *ppLink = pEntry;
}

CAtlObjectMapEntry* AtlGetFirstObjectMapEntry()
{
    return g_pFirstEntry;
}

CAtlModule* AtlGetModule() noexcept
{
    return g_pModule;
}

CAtlModule::CAtlModule() noexcept : m_hInst(reinterpret_cast<HINSTANCE>(&__ImageBase))
{
    g_pModule = this;
}

CAtlModule::~CAtlModule()
{
    if (m_pGIT) m_pGIT->Release();
    if (g_pModule == this) g_pModule = nullptr;
}

LONG CAtlModule::Lock() noexcept
{
    return ::InterlockedIncrement(&m_nLockCnt);
}

LONG CAtlModule::Unlock() noexcept
{
    return ::InterlockedDecrement(&m_nLockCnt);
}

LONG CAtlModule::GetLockCount() noexcept
{
    return ::InterlockedCompareExchange(&m_nLockCnt, 0, 0);
}

HRESULT CAtlModule::GetGITPtr(IGlobalInterfaceTable** ppGIT) noexcept
{
    if (!ppGIT) return E_POINTER;
    *ppGIT = nullptr;
    if (!m_pGIT)
    {
        IGlobalInterfaceTable* pGIT = nullptr;
        const HRESULT hr = ::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&pGIT));
        if (FAILED(hr)) return hr;
        // Two threads may race to create it: the table is one per process, so the loser's
        // pointer is the same object and is simply released.
        if (::InterlockedCompareExchangePointer(reinterpret_cast<void**>(&m_pGIT), pGIT, nullptr)) pGIT->Release();
    }
    m_pGIT->AddRef();
    *ppGIT = m_pGIT;
    return S_OK;
}

HRESULT CAtlModule::AddCommonRGSReplacements(CRegistrar*) noexcept
{
    return S_OK;
}

HRESULT CAtlModule::UpdateRegistryFromResource(UINT nResID, BOOL bRegister, DWORD dwMiscStatus) noexcept
{
    try
    {
        wchar_t path[MAX_PATH] = L"";
        if (!::GetModuleFileNameW(m_hInst, path, MAX_PATH)) return HRESULT_FROM_WIN32(::GetLastError());
        CRegistrar registrar;
        registrar.SetPerUser(m_bPerUserRegistration);
        registrar.AddReplacement(L"MODULE", path);
        registrar.AddReplacement(L"OLEMISC", std::to_wstring(dwMiscStatus).c_str());
        HRESULT hr = AddCommonRGSReplacements(&registrar);
        if (FAILED(hr)) return hr;
        return bRegister ? registrar.ResourceRegister(m_hInst, nResID, L"REGISTRY")
                         : registrar.ResourceUnregister(m_hInst, nResID, L"REGISTRY");
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
}

BOOL CAtlModule::BeginLockedThread(LPTHREAD_START_ROUTINE pfnStart, LPVOID pParam) noexcept
{
    HMODULE hModule = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&__ImageBase),
                              &hModule))
        return FALSE;
    CLibraryHandle module(hModule); // the new thread's reference, freed here until the thread has it
    auto* pStart = new (std::nothrow) LockedThreadStart{pfnStart, pParam, hModule, this};
    if (!pStart)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    Lock();
    CKernelHandle thread(::CreateThread(nullptr, 0, &LockedThreadEntry, pStart, 0, nullptr));
    if (!thread.IsValid())
    {
        const DWORD error = ::GetLastError();
        Unlock();
        delete pStart;
        ::SetLastError(error);
        return FALSE;
    }
    module.Detach(); // the thread frees it as it ends
    return TRUE;
}

namespace
{
FARPROC OleAutomationProc(const char* name)
{
    HMODULE hOleAut = ::GetModuleHandleW(L"oleaut32.dll");
    return hOleAut ? ::GetProcAddress(hOleAut, name) : nullptr;
}
} // namespace

HRESULT RegisterTypeLibForUser(ITypeLib* pLib, LPCWSTR path) noexcept
{
    using Function = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
    auto pfn = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(OleAutomationProc("RegisterTypeLibForUser")));
    return pfn ? pfn(pLib, const_cast<OLECHAR*>(path), nullptr) : E_NOTIMPL;
}

HRESULT UnRegisterTypeLibForUser(const TLIBATTR& attr) noexcept
{
    using Function = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
    auto pfn = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(OleAutomationProc("UnRegisterTypeLibForUser")));
    return pfn ? pfn(attr.guid, attr.wMajorVerNum, attr.wMinorVerNum, attr.lcid, attr.syskind) : E_NOTIMPL;
}
