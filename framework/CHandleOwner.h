#pragma once
#include "framework/CKeepLastError.h"
#include "framework/Platform.h"
#include <wincrypt.h>
#include <cstdio>
#include <commctrl.h>
#include <ole2.h>
#include <oleauto.h>
#include <utility>
// The one owner of a handle of any kind: frees it in its destructor, can be moved but not
// copied, hands it on with Detach and takes one over with Attach. A Traits class names the kind:
// its handle type, its "no handle" value and how to free it.
//
//     CKernelHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));   // NULL means none
//     CFileHandle file(::CreateFileW(...));                                 // INVALID_HANDLE_VALUE means none
//
// Freeing never disturbs the last error, which the owner's caller may be about to read; Release
// frees on request and reports, for the kinds whose freeing can fail in a way that matters.

template <class Traits> class CHandleOwner
{
public:
    using HandleType = typename Traits::HandleType;

    CHandleOwner() noexcept = default;
    explicit CHandleOwner(HandleType h) noexcept : m_h(h) {}
    ~CHandleOwner() { Close(); }
    CHandleOwner(const CHandleOwner&) = delete;
    CHandleOwner& operator=(const CHandleOwner&) = delete;
    CHandleOwner(CHandleOwner&& other) noexcept : m_h(other.Detach()) {}
    CHandleOwner& operator=(CHandleOwner&& other) noexcept
    {
        if (this != &other) Attach(other.Detach());
        return *this;
    }

    HandleType Get() const noexcept { return m_h; }
    operator HandleType() const noexcept { return m_h; }
    bool IsValid() const noexcept { return m_h != Traits::Invalid(); }
    // Frees the handle held (if any) and takes the new one.
    void Attach(HandleType h) noexcept
    {
        if (h == m_h) return;
        Close();
        m_h = h;
    }
    HandleType Detach() noexcept { return std::exchange(m_h, Traits::Invalid()); }
    // For functions that hand a new handle out through a pointer: frees the one held first.
    HandleType* Receive() noexcept
    {
        Close();
        return &m_h;
    }
    // Frees the handle now and says whether that worked, leaving GetLastError() telling why not
    // (a file's last bytes may fail to reach the disk at close). Only for kinds whose Close
    // reports.
    [[nodiscard]] BOOL Release() noexcept
    {
        if (!IsValid()) return TRUE;
        return Traits::Close(Detach()) ? TRUE : FALSE;
    }
    void Close() noexcept
    {
        if (!IsValid()) return;
        const CKeepLastError keep;
        Traits::Close(std::exchange(m_h, Traits::Invalid()));
    }

private:
    HandleType m_h = Traits::Invalid();
};

struct CKernelHandleTraits // events, threads, processes, mutexes, file mappings, tokens, ...
{
    using HandleType = HANDLE;
    static HandleType Invalid() noexcept { return nullptr; }
    static BOOL Close(HandleType h) noexcept { return ::CloseHandle(h); }
};
struct CFileHandleTraits // files and pipes from CreateFile
{
    using HandleType = HANDLE;
    static HandleType Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static BOOL Close(HandleType h) noexcept { return ::CloseHandle(h); }
};
struct CFindHandleTraits
{
    using HandleType = HANDLE;
    static HandleType Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HandleType h) noexcept { ::FindClose(h); }
};
struct CRegKeyHandleTraits
{
    using HandleType = HKEY;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::RegCloseKey(h); }
};
struct CSocketHandleTraits
{
    using HandleType = SOCKET;
    static HandleType Invalid() noexcept { return INVALID_SOCKET; }
    static void Close(HandleType h) noexcept { ::closesocket(h); }
};
struct CWindowHandleTraits // raw windows without a CWnd (a CWnd owns its own)
{
    using HandleType = HWND;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::DestroyWindow(h); }
};
template <class T> struct CGdiHandleTraits // pens, brushes, fonts, bitmaps, regions
{
    using HandleType = T;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::DeleteObject(h); }
};

using CKernelHandle = CHandleOwner<CKernelHandleTraits>;
using CFileHandle = CHandleOwner<CFileHandleTraits>;
using CFindHandle = CHandleOwner<CFindHandleTraits>;
using CRegKeyHandle = CHandleOwner<CRegKeyHandleTraits>;
using CSocketHandle = CHandleOwner<CSocketHandleTraits>;
using CWindowHandle = CHandleOwner<CWindowHandleTraits>;
template <class T> using CGdiHandle = CHandleOwner<CGdiHandleTraits<T>>;

struct CMemoryDCTraits // device contexts from CreateCompatibleDC / CreateDC
{
    using HandleType = HDC;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::DeleteDC(h); }
};
using CMemoryDC = CHandleOwner<CMemoryDCTraits>;

struct CStdioFileHandleTraits // C streams from fopen / _wfopen; fclose results that matter are read before closing
{
    using HandleType = FILE*;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::fclose(h); }
};
using CStdioFileHandle = CHandleOwner<CStdioFileHandleTraits>;
struct CActCtxHandleTraits // activation contexts from CreateActCtx
{
    using HandleType = HANDLE;
    static HandleType Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HandleType h) noexcept { ::ReleaseActCtx(h); }
};
using CActCtxHandle = CHandleOwner<CActCtxHandleTraits>;

struct CLibraryHandleTraits // libraries from LoadLibrary
{
    using HandleType = HMODULE;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::FreeLibrary(h); }
};
using CLibraryHandle = CHandleOwner<CLibraryHandleTraits>;
// Device contexts that go back with ReleaseDC (GetDC, GetWindowDC) name their window too.
struct CReleasedDC
{
    HWND hWnd;
    HDC hDC;
    bool operator==(const CReleasedDC&) const = default;
};
struct CReleasedDCTraits
{
    using HandleType = CReleasedDC;
    static HandleType Invalid() noexcept { return {nullptr, nullptr}; }
    static void Close(HandleType h) noexcept { ::ReleaseDC(h.hWnd, h.hDC); }
};
using CReleasedDCHandle = CHandleOwner<CReleasedDCTraits>;

// A paint session from BeginPaint: EndPaint needs the PAINTSTRUCT, which the owner's object keeps.
struct CPaintSession
{
    HWND hWnd;
    const PAINTSTRUCT* pPaint;
    bool operator==(const CPaintSession&) const = default;
};
struct CPaintSessionTraits
{
    using HandleType = CPaintSession;
    static HandleType Invalid() noexcept { return {nullptr, nullptr}; }
    static void Close(HandleType h) noexcept { ::EndPaint(h.hWnd, h.pPaint); }
};
using CPaintSessionHandle = CHandleOwner<CPaintSessionTraits>;

// A GDI object selected into a DC: "freeing" selects the object that was there before.
struct CGdiSelection
{
    HDC hDC;
    HGDIOBJ hOld;
    bool operator==(const CGdiSelection&) const = default;
};
struct CGdiSelectionTraits
{
    using HandleType = CGdiSelection;
    static HandleType Invalid() noexcept { return {nullptr, nullptr}; }
    static void Close(HandleType h) noexcept { ::SelectObject(h.hDC, h.hOld); }
};
using CGdiSelectionHandle = CHandleOwner<CGdiSelectionTraits>;

struct CMenuHandleTraits
{
    using HandleType = HMENU;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::DestroyMenu(h); }
};
using CMenuHandle = CHandleOwner<CMenuHandleTraits>;

struct CImageListHandleTraits
{
    using HandleType = HIMAGELIST;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::ImageList_Destroy(h); }
};
using CImageListHandle = CHandleOwner<CImageListHandleTraits>;

struct CIconHandleTraits // icons from CreateIconIndirect / LoadImage without LR_SHARED
{
    using HandleType = HICON;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::DestroyIcon(h); }
};
using CIconHandle = CHandleOwner<CIconHandleTraits>;
struct CCursorHandleTraits // cursors from LoadImage without LR_SHARED
{
    using HandleType = HCURSOR;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::DestroyCursor(h); }
};
using CCursorHandle = CHandleOwner<CCursorHandleTraits>;

// Thread timers: SetTimer without a window, so the id is all there is to kill.
struct CThreadTimerTraits
{
    using HandleType = UINT_PTR;
    static HandleType Invalid() noexcept { return 0; }
    static void Close(HandleType h) noexcept { ::KillTimer(nullptr, h); }
};
using CThreadTimer = CHandleOwner<CThreadTimerTraits>;
struct CMappedViewTraits // views from MapViewOfFile
{
    using HandleType = LPCVOID;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::UnmapViewOfFile(h); }
};
using CMappedView = CHandleOwner<CMappedViewTraits>;

// CryptoAPI: a provider outlives the hashes and keys made from it, so their owners are declared
// after the provider's.
struct CCryptProviderTraits
{
    using HandleType = HCRYPTPROV;
    static HandleType Invalid() noexcept { return 0; }
    static BOOL Close(HandleType h) noexcept { return ::CryptReleaseContext(h, 0); }
};
using CCryptProvider = CHandleOwner<CCryptProviderTraits>;
struct CCryptHashTraits
{
    using HandleType = HCRYPTHASH;
    static HandleType Invalid() noexcept { return 0; }
    static void Close(HandleType h) noexcept { ::CryptDestroyHash(h); }
};
using CCryptHash = CHandleOwner<CCryptHashTraits>;
struct CCryptKeyTraits
{
    using HandleType = HCRYPTKEY;
    static HandleType Invalid() noexcept { return 0; }
    static void Close(HandleType h) noexcept { ::CryptDestroyKey(h); }
};
using CCryptKey = CHandleOwner<CCryptKeyTraits>;

template <class T> struct CLocalMemoryTraits // memory the system hands over for LocalFree
{
    using HandleType = T;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::LocalFree(h); }
};
template <class T> using CLocalMemory = CHandleOwner<CLocalMemoryTraits<T>>;
struct CProcessHeapMemoryTraits // blocks from HeapAlloc(GetProcessHeap(), ...)
{
    using HandleType = void*;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::HeapFree(::GetProcessHeap(), 0, h); }
};
using CProcessHeapMemory = CHandleOwner<CProcessHeapMemoryTraits>;

// A Netapi32 buffer, freed through the NetApiBufferFree its library was bound to.
struct CNetApiBuffer
{
    LPBYTE p;
    DWORD(WINAPI* pfnFree)(LPVOID);
    bool operator==(const CNetApiBuffer&) const = default;
};
struct CNetApiBufferTraits
{
    using HandleType = CNetApiBuffer;
    static HandleType Invalid() noexcept { return {nullptr, nullptr}; }
    static void Close(HandleType h) noexcept
    {
        if (h.p && h.pfnFree) h.pfnFree(h.p);
    }
};
using CNetApiBufferHandle = CHandleOwner<CNetApiBufferTraits>;

// A safe array's data held open by SafeArrayAccessData: "freeing" gives the access back, so the
// array may be resized or destroyed again.
struct CSafeArrayAccessTraits
{
    using HandleType = SAFEARRAY*;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::SafeArrayUnaccessData(h); }
};
using CSafeArrayAccess = CHandleOwner<CSafeArrayAccessTraits>;
// Start-ups of a thread or of the process that must be balanced: the "handle" only says that the
// start-up worked, so an owner made from a failed one balances nothing.
//
//     const CComInitialization com(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
struct CComInitializationTraits // CoInitialize / CoInitializeEx on this thread
{
    using HandleType = bool;
    static HandleType Invalid() noexcept { return false; }
    static void Close(HandleType) noexcept { ::CoUninitialize(); }
};
using CComInitialization = CHandleOwner<CComInitializationTraits>;
struct COleInitializationTraits // OleInitialize on this thread
{
    using HandleType = bool;
    static HandleType Invalid() noexcept { return false; }
    static void Close(HandleType) noexcept { ::OleUninitialize(); }
};
using COleInitialization = CHandleOwner<COleInitializationTraits>;
struct CWinsockStartupTraits // WSAStartup: counted per process, so every success needs its WSACleanup
{
    using HandleType = bool;
    static HandleType Invalid() noexcept { return false; }
    static void Close(HandleType) noexcept { ::WSACleanup(); }
};
using CWinsockStartup = CHandleOwner<CWinsockStartupTraits>;
// The ActiveX control container of a window: "freeing" closes every control it hosts and lets go
// of the container (COleControlContainer.cpp).
class COleControlContainer;
void AfxDestroyControlContainer(COleControlContainer* pContainer) noexcept;
struct COleControlContainerTraits
{
    using HandleType = COleControlContainer*;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::AfxDestroyControlContainer(h); }
};
using COleControlContainerHandle = CHandleOwner<COleControlContainerTraits>;
