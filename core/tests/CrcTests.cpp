// The CRC-32 classes against the standard check values, zlib's crc32 and real files.
#include "core/CCrcBuiltTable.h"
#include "core/CCrcFixedTable.h"
#include <gtest/gtest.h>
#include <zlib.h>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace
{
// Bit by bit from the definition: an independent reference for the table-driven code.
DWORD ReferenceCrc(const BYTE* p, size_t n)
{
    DWORD c = 0xFFFFFFFF;
    for (size_t i = 0; i < n; ++i)
    {
        c ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320 : c >> 1;
    }
    return ~c;
}

DWORD ZlibCrc(const std::vector<BYTE>& bytes)
{
    uLong c = crc32(0L, Z_NULL, 0);
    size_t done = 0;
    while (done < bytes.size()) // zlib takes its length as uInt
    {
        const uInt n = static_cast<uInt>(std::min<size_t>(bytes.size() - done, 1u << 30));
        c = crc32(c, bytes.data() + done, n);
        done += n;
    }
    return static_cast<DWORD>(c);
}

std::vector<BYTE> RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::vector<BYTE> bytes(n);
    for (auto& b : bytes)
        b = static_cast<BYTE>(gen());
    return bytes;
}

// A private folder under the temporary folder, removed with everything in it.
class TempFolder
{
public:
    TempFolder()
    {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        m_path = std::wstring(base) + L"lumo_crc_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~TempFolder()
    {
        for (const auto& f : m_files)
            DeleteFileW(f.c_str());
        RemoveDirectoryW(m_path.c_str());
    }
    std::wstring Write(const wchar_t* name, const std::vector<BYTE>& bytes)
    {
        const std::wstring path = m_path + L"\\" + name;
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << "cannot create the fixture file";
        DWORD written = 0;
        if (!bytes.empty())
        {
            EXPECT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        }
        CloseHandle(h);
        m_files.push_back(path);
        return path;
    }
    std::wstring Missing() const { return m_path + L"\\no such file.bin"; }

private:
    std::wstring m_path;
    std::vector<std::wstring> m_files;
};

struct BufferCase
{
    const char* text;
    DWORD crc;
};
const BufferCase kCheckValues[] = {
    {"123456789", 0xCBF43926},
    {"abc", 0x352441C2},
    {"", 0},
    {"The quick brown fox jumps over the lazy dog", 0x414FA339},
};

using FileOp = DWORD (*)(LPCWSTR, DWORD&);
struct FileVariant
{
    FileOp op;
    const char* name;
};
const FileVariant kFixedFileVariants[] = {
    {&CCrcFixedTable::ComputeFileRead, "read"},
    {&CCrcFixedTable::ComputeFileGuarded, "guarded"},
    {&CCrcFixedTable::ComputeFileMapped, "mapped"},
};

using BuiltFileOp = DWORD (CCrcBuiltTable::*)(LPCWSTR, DWORD&) const;
struct BuiltFileVariant
{
    BuiltFileOp op;
    const char* name;
};
const BuiltFileVariant kBuiltFileVariants[] = {
    {&CCrcBuiltTable::ComputeFileRead, "read"},
    {&CCrcBuiltTable::ComputeFileGuarded, "guarded"},
    {&CCrcBuiltTable::ComputeFileMapped, "mapped"},
};
} // namespace

TEST(CrcBuffer, GivesTheStandardCheckValues)
{
    CCrcBuiltTable built;
    built.Init();
    for (const auto& c : kCheckValues)
    {
        SCOPED_TRACE(c.text);
        const UINT n = static_cast<UINT>(std::strlen(c.text));
        EXPECT_EQ(CCrcFixedTable::ComputeBuffer(c.text, n), c.crc);
        EXPECT_EQ(built.ComputeBuffer(c.text, n), c.crc);
    }
}

TEST(CrcBuffer, AgreesWithTheDefinitionAndZlibAtEveryLengthAndAlignment)
{
    const auto bytes = RandomBytes(300, 1);
    CCrcBuiltTable built;
    built.Init();
    for (size_t start = 0; start < 17; ++start)
        for (size_t n = 0; n + start <= 120; ++n)
        {
            SCOPED_TRACE("start " + std::to_string(start) + ", length " + std::to_string(n));
            const BYTE* p = bytes.data() + start;
            const DWORD expected = ReferenceCrc(p, n);
            ASSERT_EQ(CCrcFixedTable::ComputeBuffer(p, static_cast<UINT>(n)), expected);
            ASSERT_EQ(built.ComputeBuffer(p, static_cast<UINT>(n)), expected);
            ASSERT_EQ(static_cast<DWORD>(crc32(0, p, static_cast<uInt>(n))), expected);
        }
}

TEST(CrcBuffer, BuiltTableWithoutInitBuildsItOnFirstUse)
{
    CCrcBuiltTable built;
    EXPECT_EQ(built.ComputeBuffer("123456789", 9), 0xCBF43926u);
    DWORD crc = 1;
    EXPECT_EQ(built.ComputeText(L"abc", crc), 0u) << "the table is there now";
    EXPECT_EQ(crc, 0x352441C2u);
}

TEST(CrcText, UsesTheLowByteOfEachCharacter)
{
    CCrcBuiltTable built;
    built.Init();
    struct TextCase
    {
        const wchar_t* text;
        DWORD crc;
        const char* why;
    };
    const TextCase cases[] = {
        {L"abc", 0x352441C2, "the same as the bytes abc"},
        {L"\x0161\x4162\xFF63", 0x352441C2, "only the low byte of each character counts"},
        {L"", 0, "empty text"},
        {L"123456789", 0xCBF43926, "the check value"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        DWORD crc = 1;
        EXPECT_EQ(CCrcFixedTable::ComputeText(c.text, crc), 0u);
        EXPECT_EQ(crc, c.crc);
        crc = 1;
        EXPECT_EQ(built.ComputeText(c.text, crc), 0u);
        EXPECT_EQ(crc, c.crc);
    }
}

TEST(CrcFile, MissingFileGivesItsOpenErrorAndChecksumZero)
{
    TempFolder folder;
    const std::wstring path = folder.Missing();
    CCrcBuiltTable built;
    built.Init();
    for (const auto& v : kFixedFileVariants)
    {
        SCOPED_TRACE(v.name);
        DWORD crc = 1;
        EXPECT_EQ(v.op(path.c_str(), crc), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(crc, 0u);
    }
    for (const auto& v : kBuiltFileVariants)
    {
        SCOPED_TRACE(std::string("built ") + v.name);
        DWORD crc = 1;
        EXPECT_EQ((built.*v.op)(path.c_str(), crc), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(crc, 0u);
    }
}

TEST(CrcFile, EmptyFileGivesZeroInEveryVariant)
{
    TempFolder folder;
    const std::wstring path = folder.Write(L"empty.bin", {});
    CCrcBuiltTable built;
    built.Init();
    for (const auto& v : kFixedFileVariants)
    {
        SCOPED_TRACE(v.name);
        DWORD crc = 1;
        EXPECT_EQ(v.op(path.c_str(), crc), 0u);
        EXPECT_EQ(crc, 0u);
    }
    for (const auto& v : kBuiltFileVariants)
    {
        SCOPED_TRACE(std::string("built ") + v.name);
        DWORD crc = 1;
        EXPECT_EQ((built.*v.op)(path.c_str(), crc), 0u);
        EXPECT_EQ(crc, 0u);
    }
}

TEST(CrcFile, SmallFilesAcrossBlockEdgesMatchTheBuffer)
{
    TempFolder folder;
    for (size_t n : {1u, 4095u, 4096u, 4097u, 3 * 4096u + 5})
    {
        SCOPED_TRACE("size " + std::to_string(n));
        const auto bytes = RandomBytes(n, static_cast<unsigned>(n));
        const std::wstring path = folder.Write((L"f" + std::to_wstring(n) + L".bin").c_str(), bytes);
        const DWORD expected = ZlibCrc(bytes);
        for (const auto& v : kFixedFileVariants)
        {
            SCOPED_TRACE(v.name);
            DWORD crc = 0;
            EXPECT_EQ(v.op(path.c_str(), crc), 0u);
            EXPECT_EQ(crc, expected);
        }
    }
}

TEST(CrcFile, LargeFileInThreeMappedViewsEqualsBlockReadingAndZlib)
{
    TempFolder folder;
    const auto bytes = RandomBytes(25 * 1024 * 1024, 25); // views of 10, 10 and 5 MiB
    const std::wstring path = folder.Write(L"large.bin", bytes);
    const DWORD expected = ZlibCrc(bytes);

    DWORD mapped = 0, read = 0, builtMapped = 0;
    EXPECT_EQ(CCrcFixedTable::ComputeFileMapped(path.c_str(), mapped), 0u);
    EXPECT_EQ(CCrcFixedTable::ComputeFileRead(path.c_str(), read), 0u);
    CCrcBuiltTable built;
    built.Init();
    EXPECT_EQ(built.ComputeFileMapped(path.c_str(), builtMapped), 0u);
    EXPECT_EQ(mapped, expected) << "mapped variant";
    EXPECT_EQ(read, expected) << "block variant";
    EXPECT_EQ(builtMapped, expected) << "built table, mapped variant";
}

TEST(CrcFile, ReservedVariantIsNotSupportedAndLeavesTheChecksum)
{
    TempFolder folder;
    const std::wstring path = folder.Write(L"abc.bin", {'a', 'b', 'c'});
    DWORD crc = 0x12345678;
    EXPECT_EQ(CCrcFixedTable::ComputeFileReserved(path.c_str(), crc), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(crc, 0x12345678u);
    CCrcBuiltTable built;
    built.Init();
    EXPECT_EQ(built.ComputeFileReserved(path.c_str(), crc), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(crc, 0x12345678u);
}

TEST(CrcFile, BuiltTableWithoutInitRefusesFilesAndText)
{
    TempFolder folder;
    const std::wstring path = folder.Write(L"abc.bin", {'a', 'b', 'c'});
    CCrcBuiltTable built;
    for (int round = 0; round < 2; ++round) // never built, then built and freed
    {
        SCOPED_TRACE(round == 0 ? "never built" : "freed");
        for (const auto& v : kBuiltFileVariants)
        {
            SCOPED_TRACE(v.name);
            DWORD crc = 1;
            EXPECT_EQ((built.*v.op)(path.c_str(), crc), static_cast<DWORD>(ERROR_CRC));
            EXPECT_EQ(crc, 0u);
        }
        DWORD crc = 1;
        EXPECT_EQ(built.ComputeText(L"abc", crc), static_cast<DWORD>(ERROR_CRC));
        EXPECT_EQ(crc, 0u);
        built.Init();
        DWORD ok = 0;
        EXPECT_EQ(built.ComputeFileRead(path.c_str(), ok), 0u);
        EXPECT_EQ(ok, 0x352441C2u);
        built.Free();
    }
}

TEST(CrcFile, ReadFailingInTheMiddleReportsItsError)
{
    // A pipe whose writer goes away: the first reads succeed, then ReadFile fails (broken pipe).
    // Reporting success there would pass a checksum of part of the data for the whole.
    const std::wstring name = L"\\\\.\\pipe\\lumo_crc_" + std::to_wstring(GetCurrentProcessId());
    HANDLE server =
        CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    const auto bytes = RandomBytes(5000, 5);
    DWORD crc = 1;
    DWORD result = 0;
    std::thread reader([&] { result = CCrcFixedTable::ComputeFileRead(name.c_str(), crc); });
    const BOOL connected = ConnectNamedPipe(server, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
    DWORD written = 0;
    const BOOL wrote =
        connected && WriteFile(server, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    FlushFileBuffers(server); // returns once the reader has taken everything
    CloseHandle(server);
    reader.join();
    ASSERT_TRUE(connected && wrote && written == bytes.size()) << "the pipe fixture did not deliver its bytes";
    EXPECT_EQ(result, static_cast<DWORD>(ERROR_BROKEN_PIPE)) << "the error of the failed read, not success";
    EXPECT_EQ(crc, ReferenceCrc(bytes.data(), bytes.size())) << "the checksum of what was read";
}
