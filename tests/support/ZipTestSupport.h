#pragma once
// What the tests of archives share (the zip library's, and the image files' of the screens): the folder of Python-made archives, whole-file reads and writes,
// buffers that end at an inaccessible page, and a temporary working folder.
#include "framework/Platform.h"
#include <gtest/gtest.h>
#include <zlib.h>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace ZipTest
{
using Bytes = std::vector<BYTE>;

// The folder the fixture script fills (LUMO_ZIP_DATA, a host path seen through Wine's Z: drive)
inline std::wstring DataFolder()
{
    const char* unixPath = std::getenv("LUMO_ZIP_DATA");
    if (!unixPath) return {};
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p)
        path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}
inline std::wstring MadePath(const std::wstring& name)
{
    return DataFolder() + L"\\made\\" + name;
}
inline std::wstring WrittenPath(const std::wstring& name)
{
    return DataFolder() + L"\\written\\" + name;
}

inline bool ReadWholeFile(const std::wstring& path, Bytes& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(h, &size) != 0;
    bytes.assign(ok ? static_cast<size_t>(size.QuadPart) : 0, 0);
    DWORD nRead = 0;
    ok = ok && (bytes.empty() || (ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &nRead, nullptr) &&
                                  nRead == bytes.size()));
    CloseHandle(h);
    return ok;
}

inline bool WriteWholeFile(const std::wstring& path, const void* pData, size_t nCount)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD nWritten = 0;
    bool ok =
        nCount == 0 || (WriteFile(h, pData, static_cast<DWORD>(nCount), &nWritten, nullptr) && nWritten == nCount);
    CloseHandle(h);
    return ok;
}

inline DWORD Crc(const void* p, size_t n)
{
    return static_cast<DWORD>(crc32(crc32(0L, Z_NULL, 0), static_cast<const Bytef*>(p), static_cast<uInt>(n)));
}

// Bytes placed so that the first byte after them is a no-access page: any over-read crashes.
class CGuardedBytes
{
public:
    explicit CGuardedBytes(const Bytes& bytes)
    {
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        size_t nPage = si.dwPageSize;
        size_t nData = (bytes.size() + nPage - 1) / nPage * nPage;
        m_pBase = static_cast<BYTE*>(VirtualAlloc(nullptr, nData + nPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        if (m_pBase) VirtualProtect(m_pBase + nData, nPage, PAGE_NOACCESS, &old);
        m_pData = m_pBase ? m_pBase + nData - bytes.size() : nullptr;
        if (m_pData && !bytes.empty()) memcpy(m_pData, bytes.data(), bytes.size());
        m_nSize = bytes.size();
    }
    CGuardedBytes(const CGuardedBytes&) = delete;
    CGuardedBytes& operator=(const CGuardedBytes&) = delete;
    ~CGuardedBytes()
    {
        if (m_pBase) VirtualFree(m_pBase, 0, MEM_RELEASE);
    }
    BYTE* Data() const { return m_pData; }
    DWORD Size() const { return static_cast<DWORD>(m_nSize); }

private:
    BYTE* m_pBase = nullptr;
    BYTE* m_pData = nullptr;
    size_t m_nSize = 0;
};

// A fresh empty folder under the temporary folder, made the current folder while it lives.
class CScratchFolder
{
public:
    CScratchFolder()
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        wchar_t name[64];
        static int s_nCount = 0;
        swprintf(name, 64, L"lumozip-%lu-%d", GetCurrentProcessId(), ++s_nCount);
        m_path = std::wstring(temp) + name;
        DeleteTree(m_path);
        CreateDirectoryW(m_path.c_str(), nullptr);
        wchar_t old[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, old);
        m_previous = old;
        SetCurrentDirectoryW(m_path.c_str());
    }
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;
    ~CScratchFolder()
    {
        SetCurrentDirectoryW(m_previous.c_str());
        DeleteTree(m_path);
    }
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

    static void DeleteTree(const std::wstring& path)
    {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE)
        {
            do
            {
                std::wstring name = fd.cFileName;
                if (name == L"." || name == L"..") continue;
                std::wstring full = path + L"\\" + name;
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    DeleteTree(full);
                else
                {
                    SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW(full.c_str());
                }
            } while (FindNextFileW(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryW(path.c_str());
    }

private:
    std::wstring m_path;
    std::wstring m_previous;
};

inline bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
} // namespace ZipTest
