#include "core/CrcEngine.h"
#include "framework/CHandleOwner.h"
#include <cstring>
#include <vector>

namespace CrcEngine
{
namespace
{
constexpr DWORD kBlockSize = 4096;
constexpr uint64_t kViewSize = 0xA00000; // 10 MiB: large files never need one huge view
// Read-only, hidden, system and archive: the attributes the checksum readers have always passed
constexpr DWORD kOpenFlags = FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

HANDLE OpenForChecksum(LPCWSTR szPath)
{
    return CreateFileW(szPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, kOpenFlags, nullptr);
}

inline uint32_t Load32(const BYTE* p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof v); // little-endian on every Windows target
    return v;
}
} // namespace

uint32_t Update(TablesPtr t, uint32_t c, const BYTE* p, size_t n)
{
    static_assert(kSlices == 16, "the loop below consumes sixteen bytes per step");
    while (n >= 16)
    {
        const uint32_t a = Load32(p) ^ c;
        const uint32_t b = Load32(p + 4);
        const uint32_t d = Load32(p + 8);
        const uint32_t e = Load32(p + 12);
        c = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^ t[11][b & 0xFF] ^
            t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^ t[7][d & 0xFF] ^ t[6][(d >> 8) & 0xFF] ^
            t[5][(d >> 16) & 0xFF] ^ t[4][d >> 24] ^ t[3][e & 0xFF] ^ t[2][(e >> 8) & 0xFF] ^ t[1][(e >> 16) & 0xFF] ^
            t[0][e >> 24];
        p += 16;
        n -= 16;
    }
    while (n--)
        c = (c >> 8) ^ t[0][(c ^ *p++) & 0xFF];
    return c;
}

DWORD Text(TablesPtr tables, LPCWSTR szText, DWORD& dwCrc32)
{
    uint32_t c = kStart;
    for (const wchar_t* p = szText; p && *p; ++p)
        c = (c >> 8) ^ tables[0][(c ^ static_cast<BYTE>(*p & 0xFF)) & 0xFF];
    dwCrc32 = ~c;
    return NO_ERROR;
}

DWORD FileRead(TablesPtr tables, LPCWSTR szPath, DWORD& dwCrc32)
{
    uint32_t c = kStart;
    DWORD result = NO_ERROR;
    CFileHandle file(OpenForChecksum(szPath));
    if (!file.IsValid())
        result = GetLastError();
    else
    {
        std::vector<BYTE> block(kBlockSize);
        for (;;)
        {
            DWORD nRead = 0;
            if (!ReadFile(file.Get(), block.data(), kBlockSize, &nRead, nullptr))
            {
                // A checksum of part of a file must not pass for the checksum of the file.
                result = GetLastError();
                if (result == NO_ERROR) result = ERROR_READ_FAULT;
                break;
            }
            if (nRead == 0) break;
            c = Update(tables, c, block.data(), nRead);
        }
    }
    dwCrc32 = ~c;
    return result;
}

DWORD FileGuarded(TablesPtr tables, LPCWSTR szPath, DWORD& dwCrc32)
{
    try
    {
        return FileRead(tables, szPath, dwCrc32);
    }
    catch (...)
    {
        dwCrc32 = 0; // the start value, inverted
        return ERROR_CRC;
    }
}

DWORD FileMapped(TablesPtr tables, LPCWSTR szPath, DWORD& dwCrc32)
{
    uint32_t c = kStart;
    DWORD result = NO_ERROR;
    CFileHandle file(OpenForChecksum(szPath));
    LARGE_INTEGER size{};
    if (!file.IsValid())
        result = GetLastError();
    else if (!GetFileSizeEx(file.Get(), &size))
        result = ERROR_BAD_LENGTH;
    else if (size.QuadPart > 0)
    {
        CKernelHandle mapping(CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
        if (!mapping.IsValid())
            result = GetLastError();
        else
        {
            const uint64_t total = static_cast<uint64_t>(size.QuadPart);
            for (uint64_t offset = 0; offset < total;)
            {
                const uint64_t length = (total - offset < kViewSize) ? total - offset : kViewSize;
                const void* view = MapViewOfFile(mapping.Get(), FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                                                 static_cast<DWORD>(offset & 0xFFFFFFFFu), static_cast<SIZE_T>(length));
                if (!view)
                {
                    // Skipping the view would give a wrong checksum with a success code.
                    result = GetLastError();
                    if (result == NO_ERROR) result = ERROR_READ_FAULT;
                    break;
                }
                CMappedView unmap(view);
                c = Update(tables, c, static_cast<const BYTE*>(view), static_cast<size_t>(length));
                offset += length;
            }
        }
    }
    dwCrc32 = ~c;
    return result;
}
} // namespace CrcEngine
