#include "core/CUtilities.h"
#include "core/ZipArchive.h"
#include "framework/CHandleOwner.h"
#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace
{
struct SystemImageLists
{
    HIMAGELIST hSmall = nullptr;
    HIMAGELIST hLarge = nullptr;
};

// The shell's lists are shared by the whole process and live as long as it does.
// Taken on first use rather than at load time: a DLL must not call into the shell under the loader lock.
const SystemImageLists& TheSystemImageLists()
{
    static const SystemImageLists lists = [] {
        SystemImageLists l;
        wchar_t windows[MAX_PATH + 1] = {};
        UINT n = GetWindowsDirectoryW(windows, MAX_PATH + 1);
        if (n == 0 || n >= MAX_PATH) return l;
        wchar_t root[4] = {windows[0], L':', L'\\', 0};
        SHFILEINFOW info{};
        l.hSmall = reinterpret_cast<HIMAGELIST>(
            SHGetFileInfoW(root, 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
        l.hLarge = reinterpret_cast<HIMAGELIST>(
            SHGetFileInfoW(root, 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_LARGEICON));
        return l;
    }();
    return lists;
}

UINT SizeFlag(BOOL bSmall)
{
    return bSmall ? SHGFI_SMALLICON : SHGFI_LARGEICON;
}

bool IsRootPath(const std::wstring& path)
{
    if (path.size() == 2 && path[1] == L':') return true;
    return PathIsRootW(path.c_str()) || PathIsRootW((path + L"\\").c_str());
}

BYTE* AllocateBytes(size_t nCount, bool bUseMalloc, bool bZeroed)
{
    if (bUseMalloc) return static_cast<BYTE*>(bZeroed ? calloc(nCount ? nCount : 1, 1) : malloc(nCount ? nCount : 1));
    return bZeroed ? new (std::nothrow) BYTE[nCount]() : new (std::nothrow) BYTE[nCount];
}
void FreeBytes(BYTE* p, bool bUseMalloc)
{
    if (bUseMalloc)
        free(p);
    else
        delete[] p;
}
} // namespace

HIMAGELIST CUtilities::GetSystemImageList(BOOL bSmall)
{
    return bSmall ? TheSystemImageLists().hSmall : TheSystemImageLists().hLarge;
}

int CUtilities::GetFileIconIndex(LPCWSTR szFileName, BOOL bSmall)
{
    SHFILEINFOW info{};
    SHGetFileInfoW(szFileName, FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                   SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SizeFlag(bSmall));
    return info.iIcon;
}

HICON CUtilities::GetFileIcon(LPCWSTR szFileName, BOOL bSmall)
{
    SHFILEINFOW info{};
    SHGetFileInfoW(szFileName, FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                   SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | SizeFlag(bSmall));
    return info.hIcon;
}

HICON CUtilities::GetFolderIcon(BOOL bSmall)
{
    SHFILEINFOW info{};
    SHGetFileInfoW(L"Folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info,
                   SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | SizeFlag(bSmall));
    return info.hIcon;
}

CString CUtilities::GetFileTypeName(LPCWSTR szFileName)
{
    SHFILEINFOW info{};
    SHGetFileInfoW(szFileName, FILE_ATTRIBUTE_NORMAL, &info, sizeof info, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES);
    return CString(info.szTypeName);
}

int CUtilities::GetStockIconIndex(int nStockIconId, BOOL bSmall)
{
    CLibraryHandle shell32(LoadLibraryW(L"Shell32.dll"));
    if (!shell32.IsValid()) return -1;
    using GetStockIconInfoFn = HRESULT(WINAPI*)(SHSTOCKICONID, UINT, SHSTOCKICONINFO*);
    // Through the generic function pointer type: FARPROC says nothing of the real signature
    auto pGetStockIconInfo = reinterpret_cast<GetStockIconInfoFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(shell32, "SHGetStockIconInfo")));
    if (pGetStockIconInfo)
    {
        SHSTOCKICONINFO info{};
        info.cbSize = sizeof info;
        info.iSysImageIndex = -1;
        HRESULT hr = pGetStockIconInfo(static_cast<SHSTOCKICONID>(nStockIconId),
                                       SHGSI_SYSICONINDEX | (bSmall ? SHGSI_SMALLICON : 0), &info);
        if (SUCCEEDED(hr) && info.iSysImageIndex >= 0) return info.iSysImageIndex;
        // Some shells export the call but leave the index unset: fall back as older shells do
    }
    // Older shells: the icon of a look-alike path
    LPCWSTR szLookAlike = nullptr;
    DWORD dwAttributes = FILE_ATTRIBUTE_NORMAL;
    switch (nStockIconId)
    {
    case 3:
        szLookAlike = L"C:\\Dir\\";
        dwAttributes = FILE_ATTRIBUTE_DIRECTORY;
        break;
    case 8:
    case 94:
        szLookAlike = L"X:\\";
        break;
    case 13:
    case 15:
        szLookAlike = L"\\\\127.0.0.1";
        break;
    default:
        return 0;
    }
    SHFILEINFOW info{};
    SHGetFileInfoW(szLookAlike, dwAttributes, &info, sizeof info,
                   SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | (bSmall ? SHGFI_SMALLICON : 0));
    return info.iIcon;
}

bool CUtilities::FileExists(LPCWSTR szPath)
{
    return szPath && GetFileAttributesW(szPath) != INVALID_FILE_ATTRIBUTES;
}

bool CUtilities::FolderExists(LPCWSTR szPath)
{
    DWORD attr = szPath ? GetFileAttributesW(szPath) : INVALID_FILE_ATTRIBUTES;
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool CUtilities::CopyFile(LPCWSTR szSource, LPCWSTR szDestination)
{
    if (!szSource || !*szSource || !szDestination || !*szDestination) return false;
    CFileHandle source(
        CreateFileW(szSource, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!source.IsValid()) return false;
    CFileHandle target(
        CreateFileW(szDestination, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target.IsValid()) return false;
    BYTE block[4096];
    while (true)
    {
        DWORD nRead = 0, nWritten = 0;
        if (!ReadFile(source, block, sizeof block, &nRead, nullptr)) return false;
        if (nRead == 0) return true;
        if (!WriteFile(target, block, nRead, &nWritten, nullptr) || nWritten != nRead) return false;
    }
}

bool CUtilities::CopyFolder(LPCWSTR szSourceFolder, LPCWSTR szDestinationFolder)
{
    if (!szSourceFolder || !szDestinationFolder) return false;
    // The shell takes lists of names, each ended by a zero and the list by a second one
    std::wstring from = std::wstring(szSourceFolder) + L"\\*.*" + L'\0';
    std::wstring to = std::wstring(szDestinationFolder) + L"\\" + L'\0';
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_COPY;
    op.pFrom = from.c_str();
    op.pTo = to.c_str();
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
}

bool CUtilities::DeleteFolder(LPCWSTR szFolder)
{
    if (!szFolder || !*szFolder) return false;
    std::wstring from = std::wstring(szFolder) + L"\\*.*" + L'\0';
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    if (SHFileOperationW(&op) != 0 || op.fAnyOperationsAborted) return false;
    return RemoveDirectoryW(szFolder) != 0;
}

bool CUtilities::CreateFolderPath(LPCWSTR szPath)
{
    if (!szPath) return false;
    std::wstring path = szPath;
    if (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    if (path.empty() || IsRootPath(path)) return true;
    std::vector<std::wstring> missing;
    for (std::wstring current = path; !current.empty() && !IsRootPath(current) && !FolderExists(current.c_str());)
    {
        missing.push_back(current);
        size_t slash = current.find_last_of(L"\\/");
        if (slash == std::wstring::npos) break;
        current.resize(slash);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
    {
        // A folder made meanwhile by someone else will do; a file of that name will not
        if (!CreateDirectoryW(it->c_str(), nullptr) &&
            !(GetLastError() == ERROR_ALREADY_EXISTS && FolderExists(it->c_str())))
            return false;
    }
    return true;
}

CString CUtilities::CreateNewFolder(LPCWSTR szPath, LPCWSTR szSuffixFormat)
{
    if (!szPath || !*szPath) return CString();
    CString path(szPath);
    path.TrimRight(L"\\/");
    if (!FolderExists(path)) return CreateFolderPath(path) ? path : CString();
    if (!szSuffixFormat) return CString();
    for (int n = 1; n <= 99; ++n)
    {
        CString candidate;
        candidate.Format(szSuffixFormat, n);
        candidate = path + candidate;
        if (CreateDirectoryW(candidate, nullptr)) return candidate;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return CString();
    }
    return CString();
}

CString CUtilities::MakeUniqueFileName(CString& strPath)
{
    if (!FileExists(strPath)) return strPath;
    int nDot = strPath.ReverseFind(L'.');
    int nSlash = std::max(strPath.ReverseFind(L'\\'), strPath.ReverseFind(L'/'));
    if (nDot < nSlash) nDot = -1; // a dot in a folder name is no extension
    const CString name = nDot >= 0 ? strPath.Left(nDot) : strPath;
    const CString ext = nDot >= 0 ? strPath.Mid(nDot) : CString();
    auto candidate = [&](int n) {
        CString text;
        text.Format(L" (%d)", n);
        return name + text + ext;
    };
    int nTaken = 2, nFree = 2;
    if (FileExists(candidate(2)))
    {
        // Double until free, then halve the gap between the last taken and the first free
        nFree = 4;
        while (FileExists(candidate(nFree)) && nFree < (1 << 30))
        {
            nTaken = nFree;
            nFree *= 2;
        }
        while (nFree - nTaken > 1)
        {
            int nMiddle = nTaken + (nFree - nTaken) / 2;
            (FileExists(candidate(nMiddle)) ? nTaken : nFree) = nMiddle;
        }
    }
    strPath = candidate(nFree);
    return strPath;
}

CString CUtilities::GetClipboardText()
{
    CString text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE hData = GetClipboardData(CF_UNICODETEXT))
    {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(hData)))
        {
            // The block may be larger than its text, never trust it to be terminated
            size_t nMax = GlobalSize(hData) / sizeof(wchar_t);
            text = CString(std::wstring(p, wcsnlen(p, nMax)).c_str());
            GlobalUnlock(hData);
        }
    }
    CloseClipboard();
    return text;
}

void CUtilities::SetClipboardText(LPCWSTR szText)
{
    if (!szText) szText = L"";
    size_t nBytes = (wcslen(szText) + 1) * sizeof(wchar_t);
    HGLOBAL hData = GlobalAlloc(GMEM_MOVEABLE, nBytes);
    if (!hData) return;
    if (void* p = GlobalLock(hData))
    {
        memcpy(p, szText, nBytes);
        GlobalUnlock(hData);
    }
    if (!OpenClipboard(nullptr))
    {
        GlobalFree(hData);
        return;
    }
    EmptyClipboard();
    if (!SetClipboardData(CF_UNICODETEXT, hData)) GlobalFree(hData); // the clipboard owns it only on success
    CloseClipboard();
}

int CUtilities::EnumMonitors(CArray<HMONITOR, HMONITOR>& monitors)
{
    monitors.RemoveAll();
    auto collect = [](HMONITOR hMonitor, HDC, LPRECT, LPARAM lParam) -> BOOL {
        reinterpret_cast<CArray<HMONITOR, HMONITOR>*>(lParam)->Add(hMonitor);
        return TRUE;
    };
    if (!EnumDisplayMonitors(nullptr, nullptr, collect, reinterpret_cast<LPARAM>(&monitors))) return -1;
    return static_cast<int>(monitors.GetSize());
}

bool CUtilities::GetMonitorRects(HMONITOR hMonitor, CRect& rcWork, CRect& rcMonitor)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(hMonitor, &info)) return false;
    rcWork = info.rcWork;
    rcMonitor = info.rcMonitor;
    return true;
}

bool CUtilities::GetMonitorRectsFromPoint(POINT pt, CRect& rcWork, CRect& rcMonitor)
{
    CArray<HMONITOR, HMONITOR> monitors;
    for (int i = EnumMonitors(monitors) - 1; i >= 0; --i)
    {
        CRect work, full;
        if (GetMonitorRects(monitors[i], work, full) && PtInRect(&work, pt))
        {
            rcWork = work;
            rcMonitor = full;
            return true;
        }
    }
    return false;
}

bool CUtilities::ZipBuffer(BYTE*& pBuffer, DWORD& nLength, bool bFreeOld, bool bUseMalloc)
{
    try
    {
        if (nLength > 0xFFFFFFFFu - 256) return false;
        CZipHandle zip(ZipCreate(nullptr, nLength + 256, ZIP_MEMORY));
        if (!zip.Get()) return false;
        if (ZipAdd(zip.Get(), L"data", pBuffer, nLength, ZIP_MEMORY, 8) != ZR_OK) return false;
        void* pArchive = nullptr;
        DWORD nArchive = 0;
        if (ZipGetMemory(zip.Get(), &pArchive, &nArchive) != ZR_OK) return false;
        BYTE* pNew = AllocateBytes(nArchive, bUseMalloc, false);
        if (!pNew) return false;
        memcpy(pNew, pArchive, nArchive);
        if (bFreeOld) FreeBytes(pBuffer, bUseMalloc);
        pBuffer = pNew;
        nLength = nArchive;
        return true;
    }
    catch (...)
    {
        return false;
    }
}

bool CUtilities::UnzipBuffer(BYTE*& pBuffer, DWORD& nLength, bool bFreeOld, bool bUseMalloc)
{
    try
    {
        CZipHandle zip(ZipOpen(pBuffer, nLength, ZIP_MEMORY));
        if (!zip.Get()) return false;
        ZipEntryA entry{};
        if (ZipGetItem(zip.Get(), 0, &entry) != ZR_OK || entry.unc_size < 0) return false;
        const DWORD nSize = static_cast<DWORD>(entry.unc_size);
        BYTE* pNew = AllocateBytes(nSize, bUseMalloc, true);
        if (!pNew) return false;
        ZRESULT result = ZipExtractItem(zip.Get(), 0, pNew, nSize, ZIP_MEMORY);
        if (result != ZR_OK && result != ZR_MORE)
        {
            FreeBytes(pNew, bUseMalloc);
            return false;
        }
        if (bFreeOld) FreeBytes(pBuffer, bUseMalloc);
        pBuffer = pNew;
        nLength = nSize;
        return true;
    }
    catch (...)
    {
        return false;
    }
}

void CUtilities::CompressRunLength(BYTE*& pBuffer, DWORD& nLength, bool bFreeOld)
{
    std::vector<BYTE> out;
    out.reserve(nLength);
    for (DWORD i = 0; i < nLength;)
    {
        const BYTE b = pBuffer[i];
        DWORD nRun = 1;
        while (i + nRun < nLength && pBuffer[i + nRun] == b && nRun < 255)
            ++nRun;
        out.push_back(b);
        if (nRun >= 2)
        {
            out.push_back(b);
            out.push_back(static_cast<BYTE>(nRun));
        }
        i += nRun;
    }
    BYTE* pNew = new BYTE[out.size() ? out.size() : 1];
    if (!out.empty()) memcpy(pNew, out.data(), out.size());
    if (bFreeOld) delete[] pBuffer;
    pBuffer = pNew;
    nLength = static_cast<DWORD>(out.size());
}

void CUtilities::ExpandRunLength(BYTE*& pBuffer, DWORD& nLength, bool bFreeOld)
{
    std::vector<BYTE> out;
    out.reserve(static_cast<size_t>(nLength) * 2);
    for (DWORD i = 0; i < nLength;)
    {
        const BYTE b = pBuffer[i];
        if (i + 1 < nLength && pBuffer[i + 1] == b)
        {
            // A pair cut off before its count byte stands for itself
            const DWORD nRun = i + 2 < nLength ? pBuffer[i + 2] : 2;
            out.insert(out.end(), nRun, b);
            i += 3;
        }
        else
        {
            out.push_back(b);
            ++i;
        }
    }
    BYTE* pNew = new BYTE[out.size() ? out.size() : 1];
    if (!out.empty()) memcpy(pNew, out.data(), out.size());
    if (bFreeOld) delete[] pBuffer;
    pBuffer = pNew;
    nLength = static_cast<DWORD>(out.size());
}

CString CUtilities::CreateGuidString()
{
    GUID guid{};
    if (FAILED(CoCreateGuid(&guid))) return CString();
    CString text;
    text.Format(L"%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", static_cast<unsigned long>(guid.Data1),
                guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
                guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}
