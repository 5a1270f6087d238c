// The zip writer: header layout read back byte by byte, every archive re-opened with our reader,
// and each one listed in written/manifest.txt for Python's zipfile to check after this test.
#include "core/ZipArchive.h"
#include "tests/support/ZipTestSupport.h"
#include "framework/CHandleOwner.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <thread>

using namespace ZipTest;

namespace
{
uint16_t Get16(const Bytes& b, size_t at)
{
    return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}
uint32_t Get32(const Bytes& b, size_t at)
{
    return Get16(b, at) | (static_cast<uint32_t>(Get16(b, at + 2)) << 16);
}

// One central header as written, parsed here independently of the reader
struct Central
{
    std::string name;
    uint16_t madeBy, needed, flags, method, internalAttr, extraLength;
    uint32_t crc, compSize, uncSize, externalAttr, localOffset;
    size_t at;
};
std::vector<Central> CentralRecords(const Bytes& b)
{
    std::vector<Central> records;
    if (b.size() < 22) return records;
    size_t end = b.size() - 22;
    EXPECT_EQ(Get32(b, end), 0x06054b50u) << "the archive ends with an end record without comment";
    size_t at = Get32(b, end + 16);
    for (int i = 0; i < Get16(b, end + 10); ++i)
    {
        Central c{};
        c.at = at;
        EXPECT_EQ(Get32(b, at), 0x02014b50u);
        c.madeBy = Get16(b, at + 4);
        c.needed = Get16(b, at + 6);
        c.flags = Get16(b, at + 8);
        c.method = Get16(b, at + 10);
        c.crc = Get32(b, at + 16);
        c.compSize = Get32(b, at + 20);
        c.uncSize = Get32(b, at + 24);
        uint16_t nName = Get16(b, at + 28);
        c.extraLength = Get16(b, at + 30);
        c.internalAttr = Get16(b, at + 36);
        c.externalAttr = Get32(b, at + 38);
        c.localOffset = Get32(b, at + 42);
        c.name.assign(b.begin() + at + 46, b.begin() + at + 46 + nName);
        records.push_back(c);
        at += 46 + nName + c.extraLength + Get16(b, at + 32);
    }
    return records;
}

Bytes LogText(size_t n)
{
    std::string text;
    std::mt19937 rnd(7);
    const char* words[] = {"agent", "call", "queue", "ready", "pause", "login", "transfer"};
    for (int i = 0; text.size() < n; ++i)
    {
        char line[100];
        snprintf(line, sizeof line, "%06d 08:%02d:%02d %s %s id=%u\r\n", i, (i / 60) % 60, i % 60, words[rnd() % 7],
                 words[rnd() % 7], static_cast<unsigned>(rnd() % 100000));
        text += line;
    }
    text.resize(n);
    return Bytes(text.begin(), text.end());
}
Bytes RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 rnd(seed);
    Bytes b(n);
    for (auto& x : b)
        x = static_cast<BYTE>(rnd());
    return b;
}

struct Expect
{
    std::string name;
    Bytes data;
    uint16_t method;
    uint16_t flags;
};

// Writes the archive for Python and lists what it must find in it
void RecordForPython(const std::wstring& file, const Bytes& archive, const std::vector<Expect>& entries)
{
    ASSERT_TRUE(WriteWholeFile(WrittenPath(file), archive.data(), archive.size()));
    FILE* f = _wfopen(WrittenPath(L"manifest.txt").c_str(), L"ab");
    ASSERT_NE(f, nullptr);
    for (const auto& e : entries)
        fprintf(f, "%ls|%s|%zu|%08lx|%u|%x\n", file.c_str(), e.name.c_str(), e.data.size(),
                static_cast<unsigned long>(Crc(e.data.data(), e.data.size())), e.method, e.flags);
    fclose(f);
}

// Our own reader finds the same entries with the same bytes
void ExpectReadsBack(const Bytes& archive, const std::vector<Expect>& entries)
{
    ZipHandle hZip = ZipOpen(archive.data(), static_cast<DWORD>(archive.size()), ZIP_MEMORY);
    ASSERT_NE(hZip, nullptr);
    ZipEntryA count{};
    ASSERT_EQ(ZipGetItem(hZip, -1, &count), ZR_OK);
    ASSERT_EQ(count.index, static_cast<int>(entries.size()));
    for (int i = 0; i < count.index; ++i)
    {
        ZipEntryA e{};
        ASSERT_EQ(ZipGetItem(hZip, i, &e), ZR_OK);
        EXPECT_EQ(std::string(e.name), entries[i].name);
        Bytes got(entries[i].data.size());
        ZRESULT r = ZipExtractItem(hZip, i, got.data(), static_cast<DWORD>(got.size()), ZIP_MEMORY);
        EXPECT_EQ(r, got.empty() ? ZR_OK : ZR_MORE) << entries[i].name;
        EXPECT_TRUE(got == entries[i].data) << "bytes of " << entries[i].name;
    }
    ZipCloseReader(hZip);
}

Bytes MemoryOf(ZipHandle hZip)
{
    void* p = nullptr;
    DWORD n = 0;
    EXPECT_EQ(ZipGetMemory(hZip, &p, &n), ZR_OK);
    return p ? Bytes(static_cast<BYTE*>(p), static_cast<BYTE*>(p) + n) : Bytes();
}

std::wstring LastWriteText()
{
    wchar_t text[100];
    ZipFormatResult(ZR_RECENT, text, 100, ZipSide::Writing);
    return text;
}
} // namespace

TEST(ZipWriter, MemoryArchiveOfOneEntryHasTheExactHeaderSizes)
{
    const Bytes data = LogText(20000);
    ZipHandle hZip = ZipCreate(nullptr, static_cast<DWORD>(data.size()), ZIP_MEMORY);
    ASSERT_NE(hZip, nullptr);
    ASSERT_EQ(ZipAdd(hZip, L"data", data.data(), static_cast<DWORD>(data.size()), ZIP_MEMORY, 8), ZR_OK);
    Bytes archive = MemoryOf(hZip);
    ASSERT_EQ(ZipCloseWriter(hZip), ZR_OK);

    ASSERT_GE(archive.size(), 51u);
    EXPECT_EQ(Get32(archive, 0), 0x04034b50u);
    EXPECT_EQ(Get16(archive, 26), 4) << "name length";
    EXPECT_EQ(Get16(archive, 28), 17) << "local extra length";
    const uint32_t comp = Get32(archive, 18);
    EXPECT_LT(comp, data.size() / 3) << "log text deflates well at level 8";
    EXPECT_EQ(archive.size(), 30 + 4 + 17 + comp + 46 + 4 + 9 + 22u);
    std::vector<Central> c = CentralRecords(archive);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].at, 51u + comp);
    EXPECT_EQ(c[0].name, "data");
    EXPECT_EQ(c[0].method, 8);
    EXPECT_EQ(c[0].flags, 2) << "level 8 on a seekable output";
    EXPECT_EQ(c[0].madeBy, 0x17);
    EXPECT_EQ(c[0].needed, 20);
    EXPECT_EQ(c[0].extraLength, 9);
    EXPECT_EQ(c[0].crc, Crc(data.data(), data.size()));
    EXPECT_EQ(c[0].uncSize, data.size());
    EXPECT_EQ(c[0].internalAttr, 1) << "judged text";
    EXPECT_EQ(c[0].externalAttr, 0x80000000u);
    EXPECT_EQ(c[0].localOffset, 0u);
    // The local header was written again with the final values
    EXPECT_EQ(Get16(archive, 6), 2);
    EXPECT_EQ(Get32(archive, 14), c[0].crc);
    EXPECT_EQ(Get32(archive, 22), c[0].uncSize);
    ExpectReadsBack(archive, {{"data", data, 8, 2}});
    RecordForPython(L"memory-example.zip", archive, {{"data", data, 8, 2}});
}

TEST(ZipWriter, StoresAlreadyCompressedKindsAndFolders)
{
    struct NameCase
    {
        const wchar_t* given;
        const char* stored;
        uint16_t method;
    };
    const NameCase cases[] = {
        {L"logs\\today.zip", "logs/today.zip", 0},
        {L"logs\\today.txt", "logs/today.txt", 8},
        {L"x.GZ", "x.GZ", 0},
        {L"a.tgz", "a.tgz", 0},
        {L"b.Z", "b.Z", 0},
        {L"c.arc", "c.arc", 0},
        {L"d.LZH", "d.LZH", 0},
        {L"e.arj", "e.arj", 0},
        {L"f.zoo", "f.zoo", 0},
        {L"noext", "noext", 8},
        {L"dir.zip/file", "dir.zip/file", 8},
        {L"x.zipped", "x.zipped", 8},
    };
    const Bytes data = LogText(3000);
    ZipHandle hZip = ZipCreate(nullptr, 1000, ZIP_MEMORY);
    ASSERT_NE(hZip, nullptr);
    std::vector<Expect> expected;
    for (const auto& c : cases)
    {
        // The level is ignored for stored entries: 9 would fail a deflated one
        EXPECT_EQ(ZipAdd(hZip, c.given, data.data(), static_cast<DWORD>(data.size()), ZIP_MEMORY, c.method ? 5 : 9),
                  ZR_OK)
            << c.stored;
        expected.push_back({c.stored, data, c.method, 0});
    }
    ASSERT_EQ(ZipAdd(hZip, L"sub", nullptr, 0, ZIP_FOLDER, 8), ZR_OK);
    ASSERT_EQ(ZipAdd(hZip, L"sub\\inner\\", nullptr, 0, ZIP_FOLDER, 8), ZR_OK);
    Bytes archive = MemoryOf(hZip);
    EXPECT_EQ(ZipCloseWriter(hZip), ZR_OK);
    std::vector<Central> c = CentralRecords(archive);
    ASSERT_EQ(c.size(), std::size(cases) + 2);
    for (size_t i = 0; i < std::size(cases); ++i)
    {
        SCOPED_TRACE(cases[i].stored);
        EXPECT_EQ(c[i].name, cases[i].stored);
        EXPECT_EQ(c[i].method, cases[i].method);
        EXPECT_EQ(c[i].compSize == c[i].uncSize, cases[i].method == 0);
    }
    for (size_t i = std::size(cases); i < c.size(); ++i)
    {
        EXPECT_EQ(c[i].method, 0);
        EXPECT_EQ(c[i].compSize, 0u);
        EXPECT_EQ(c[i].uncSize, 0u);
        EXPECT_EQ(c[i].externalAttr, 0x41C00010u);
        EXPECT_EQ(c[i].flags, 0);
    }
    EXPECT_EQ(c[c.size() - 2].name, "sub/");
    EXPECT_EQ(c[c.size() - 1].name, "sub/inner/");
    expected.push_back({"sub/", {}, 0, 0});
    expected.push_back({"sub/inner/", {}, 0, 0});
    ExpectReadsBack(archive, expected);
    RecordForPython(L"stored-kinds.zip", archive, expected);
}

TEST(ZipWriter, FlagsFollowTheLevelAndBadLevelsFailWithoutWriting)
{
    const Bytes text = LogText(40000), noise = RandomBytes(30000, 3);
    ZipHandle hZip = ZipCreate(nullptr, 4096, ZIP_MEMORY);
    ASSERT_NE(hZip, nullptr);
    std::vector<Expect> expected;
    const uint16_t kFlags[9] = {0, 4, 4, 0, 0, 0, 0, 0, 2};
    std::map<int, size_t> sizeOfLevel;
    for (int level = 1; level <= 8; ++level)
    {
        std::string name = "level" + std::to_string(level) + ".log";
        std::wstring wide(name.begin(), name.end());
        ASSERT_EQ(ZipAdd(hZip, wide.c_str(), text.data(), static_cast<DWORD>(text.size()), ZIP_MEMORY, level), ZR_OK);
        expected.push_back({name, text, 8, kFlags[level]});
    }
    EXPECT_EQ(ZipAdd(hZip, L"level0.log", text.data(), 100, ZIP_MEMORY, 0), ZR_WRITE);
    EXPECT_EQ(ZipAdd(hZip, L"level9.log", text.data(), 100, ZIP_MEMORY, 9), ZR_WRITE);
    EXPECT_EQ(LastWriteText(), L"Error writing to file");
    ASSERT_EQ(ZipAdd(hZip, L"noise.bin", noise.data(), static_cast<DWORD>(noise.size()), ZIP_MEMORY, 6), ZR_OK)
        << "a refused level is no write error: additions go on";
    expected.push_back({"noise.bin", noise, 8, 0});
    Bytes archive = MemoryOf(hZip);
    ZipCloseWriter(hZip);
    std::vector<Central> c = CentralRecords(archive);
    ASSERT_EQ(c.size(), expected.size());
    for (size_t i = 0; i < c.size(); ++i)
    {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(c[i].flags, expected[i].flags);
        EXPECT_EQ(c[i].method, 8);
        if (i > 0)
        {
            // Entries follow each other without a gap: the refused ones left nothing behind
            EXPECT_EQ(c[i].localOffset, c[i - 1].localOffset + 30 + c[i - 1].name.size() + 17 + c[i - 1].compSize);
        }
    }
    EXPECT_EQ(c.back().internalAttr, 0) << "random bytes are not text";
    EXPECT_EQ(c[0].internalAttr, 1);
    EXPECT_GE(c[0].compSize, c[7].compSize) << "level 8 compresses at least as well as level 1";
    ExpectReadsBack(archive, expected);
    RecordForPython(L"levels.zip", archive, expected);
}

namespace
{
// Collects everything written into a pipe on a thread of its own
class CPipeDrain
{
public:
    CPipeDrain()
    {
        m_ok = CreatePipe(m_hRead.Receive(), m_hWrite.Receive(), nullptr, 4096) != 0;
        if (m_ok)
            m_thread = std::thread([this] {
                BYTE buf[4096];
                DWORD n;
                while (ReadFile(m_hRead, buf, sizeof buf, &n, nullptr) && n > 0)
                    m_bytes.insert(m_bytes.end(), buf, buf + n);
            });
    }
    ~CPipeDrain()
    {
        CloseWriteEnd();
        if (m_thread.joinable()) m_thread.join();
    }
    HANDLE WriteEnd() const { return m_hWrite; }
    void CloseWriteEnd() { m_hWrite.Close(); }
    const Bytes& Finish()
    {
        CloseWriteEnd();
        if (m_thread.joinable()) m_thread.join();
        return m_bytes;
    }
    bool Ok() const { return m_ok; }

private:
    bool m_ok = false;
    CKernelHandle m_hRead, m_hWrite;
    std::thread m_thread;
    Bytes m_bytes;
};
} // namespace

TEST(ZipWriter, WritesToAPipeWithDataDescriptors)
{
    const Bytes text = LogText(50000), small = RandomBytes(777, 5);
    CPipeDrain out;
    ASSERT_TRUE(out.Ok());
    ZipHandle hZip = ZipCreate(out.WriteEnd(), 0, ZIP_HANDLE);
    ASSERT_NE(hZip, nullptr);
    out.CloseWriteEnd(); // the writer holds its own duplicate
    ASSERT_EQ(ZipAdd(hZip, L"text.log", text.data(), static_cast<DWORD>(text.size()), ZIP_MEMORY, 8), ZR_OK);
    ASSERT_EQ(ZipAdd(hZip, L"small.zip", small.data(), static_cast<DWORD>(small.size()), ZIP_MEMORY, 8), ZR_OK);
    {
        // A pipe source of unknown length, deflated
        HANDLE hSourceRead, hSourceWrite;
        ASSERT_TRUE(CreatePipe(&hSourceRead, &hSourceWrite, nullptr, 1 << 16));
        std::thread feeder([&] {
            DWORD n;
            WriteFile(hSourceWrite, text.data(), 30000, &n, nullptr);
            CloseHandle(hSourceWrite);
        });
        EXPECT_EQ(ZipAdd(hZip, L"piped.log", hSourceRead, 0, ZIP_HANDLE, 4), ZR_OK);
        feeder.join();
        CloseHandle(hSourceRead);
    }
    EXPECT_EQ(ZipAdd(hZip, L"folder", nullptr, 0, ZIP_FOLDER, 8), ZR_OK);
    ASSERT_EQ(ZipCloseWriter(hZip), ZR_OK);
    const Bytes& archive = out.Finish();
    const Bytes piped(text.begin(), text.begin() + 30000);
    std::vector<Expect> expected = {
        {"text.log", text, 8, 8}, {"small.zip", small, 0, 8}, {"piped.log", piped, 8, 8}, {"folder/", {}, 0, 8}};
    std::vector<Central> c = CentralRecords(archive);
    ASSERT_EQ(c.size(), expected.size());
    for (size_t i = 0; i < c.size(); ++i)
    {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(c[i].flags, 8);
        size_t local = c[i].localOffset;
        EXPECT_EQ(Get16(archive, local + 6), 8) << "local flags keep bit 3";
        size_t descriptor = local + 30 + c[i].name.size() + 17 + c[i].compSize;
        EXPECT_EQ(Get32(archive, descriptor), 0x08074b50u);
        EXPECT_EQ(Get32(archive, descriptor + 4), Crc(expected[i].data.data(), expected[i].data.size()));
        EXPECT_EQ(Get32(archive, descriptor + 8), c[i].compSize);
        EXPECT_EQ(Get32(archive, descriptor + 12), expected[i].data.size());
        if (i + 1 < c.size())
        {
            EXPECT_EQ(c[i + 1].localOffset, descriptor + 16);
        }
    }
    EXPECT_EQ(Get32(archive, c[2].localOffset + 22), 0xFFFFFFFFu) << "unknown length announced as -1";
    ExpectReadsBack(archive, expected);
    RecordForPython(L"pipe.zip", archive, expected);
}

TEST(ZipWriter, APipeCannotTakeAStoredEntryOfUnknownLength)
{
    CPipeDrain out;
    ZipHandle hZip = ZipCreate(out.WriteEnd(), 0, ZIP_HANDLE);
    ASSERT_NE(hZip, nullptr);
    HANDLE hSourceRead, hSourceWrite;
    ASSERT_TRUE(CreatePipe(&hSourceRead, &hSourceWrite, nullptr, 1 << 16));
    DWORD n;
    WriteFile(hSourceWrite, "already packed", 14, &n, nullptr);
    CloseHandle(hSourceWrite);
    EXPECT_EQ(ZipAdd(hZip, L"inner.zip", hSourceRead, 0, ZIP_HANDLE, 8), ZR_NOCHANGE)
        << "its announced size cannot be corrected on a pipe";
    CloseHandle(hSourceRead);
    ZipCloseWriter(hZip);
}

TEST(ZipWriter, MemoryOutgrowsItsBlock)
{
    const Bytes noise = RandomBytes(300000, 9), text = LogText(100000);
    BYTE callerBlock[64 + 16];
    memset(callerBlock, 0xEE, sizeof callerBlock);
    ZipHandle hZip = ZipCreate(callerBlock, 64, ZIP_MEMORY);
    ASSERT_NE(hZip, nullptr);
    ASSERT_EQ(ZipAdd(hZip, L"noise.bin", noise.data(), static_cast<DWORD>(noise.size()), ZIP_MEMORY, 1), ZR_OK);
    ASSERT_EQ(ZipAdd(hZip, L"text.log", text.data(), static_cast<DWORD>(text.size()), ZIP_MEMORY, 8), ZR_OK);
    void* p = nullptr;
    DWORD n = 0;
    ASSERT_EQ(ZipGetMemory(hZip, &p, &n), ZR_OK);
    EXPECT_NE(p, static_cast<void*>(callerBlock)) << "moved into a larger block";
    for (size_t i = 64; i < sizeof callerBlock; ++i)
        ASSERT_EQ(callerBlock[i], 0xEE) << "nothing written past the caller's block";
    Bytes archive(static_cast<BYTE*>(p), static_cast<BYTE*>(p) + n);
    EXPECT_EQ(ZipGetMemory(hZip, &p, &n), ZR_OK) << "a second call gives the same bytes";
    EXPECT_EQ(n, archive.size());
    EXPECT_EQ(ZipAdd(hZip, L"late.txt", text.data(), 10, ZIP_MEMORY, 8), ZR_ENDED);
    EXPECT_EQ(LastWriteText(), L"Caller: additions to the zip have already been ended");
    EXPECT_EQ(ZipCloseWriter(hZip), ZR_OK);
    std::vector<Expect> expected = {{"noise.bin", noise, 8, 4}, {"text.log", text, 8, 2}};
    ExpectReadsBack(archive, expected);
    RecordForPython(L"grown.zip", archive, expected);
}

TEST(ZipWriter, RefusesWrongArguments)
{
    EXPECT_EQ(ZipCreate(nullptr, 0, ZIP_MEMORY), nullptr);
    EXPECT_EQ(LastWriteText(), L"Caller: not enough space allocated for memory zipfile");
    EXPECT_EQ(ZipCreate(nullptr, 10, 7), nullptr);
    EXPECT_EQ(LastWriteText(), L"Caller: faulty arguments");
    EXPECT_EQ(ZipAdd(nullptr, L"x", "x", 1, ZIP_MEMORY, 8), ZR_ARGS);
    EXPECT_TRUE(ZipIsWriter(nullptr));

    ZipHandle hZip = ZipCreate(nullptr, 100, ZIP_MEMORY);
    ASSERT_NE(hZip, nullptr);
    EXPECT_FALSE(ZipIsReader(hZip));
    EXPECT_TRUE(ZipIsWriter(hZip));
    ZipEntryA e{};
    EXPECT_EQ(ZipGetItem(hZip, 0, &e), ZR_ZMODE) << "a writing handle given to the reader";
    EXPECT_EQ(ZipCloseReader(hZip), ZR_ZMODE);
    EXPECT_EQ(ZipAdd(hZip, L"", "x", 1, ZIP_MEMORY, 8), ZR_ARGS);
    EXPECT_EQ(ZipAdd(hZip, L"x", nullptr, 1, ZIP_MEMORY, 8), ZR_ARGS);
    EXPECT_EQ(ZipAdd(hZip, L"x", "x", 0, ZIP_MEMORY, 8), ZR_ARGS);
    EXPECT_EQ(ZipAdd(hZip, L"x", "x", 1, 9, 8), ZR_ARGS);
    std::wstring longest(259, L'n'), tooLong(260, L'n');
    EXPECT_EQ(ZipAdd(hZip, tooLong.c_str(), "x", 1, ZIP_MEMORY, 8), ZR_ARGS);
    EXPECT_EQ(ZipAdd(hZip, L"\x4E2D\x6587.txt", "x", 1, ZIP_MEMORY, 8), ZR_ARGS) << "not in the ANSI code page";
    EXPECT_EQ(ZipAdd(hZip, L"missing", L"Z:\\no\\such\\file.txt", 0, ZIP_FILENAME, 8), ZR_NOFILE);
    EXPECT_EQ(ZipAdd(hZip, longest.c_str(), "x", 1, ZIP_MEMORY, 8), ZR_OK);
    Bytes archive = MemoryOf(hZip);
    std::vector<Central> c = CentralRecords(archive);
    ASSERT_EQ(c.size(), 1u) << "refused additions leave nothing";
    EXPECT_EQ(c[0].localOffset, 0u);
    EXPECT_EQ(c[0].name, std::string(259, 'n'));
    EXPECT_EQ(ZipCloseWriter(hZip), ZR_OK);
    ZipHandle hFileZip = nullptr;
    {
        CScratchFolder scratch;
        hFileZip = ZipCreate(const_cast<wchar_t*>(L"f.zip"), 0, ZIP_FILENAME);
        ASSERT_NE(hFileZip, nullptr);
        void* p;
        DWORD n;
        EXPECT_EQ(ZipGetMemory(hFileZip, &p, &n), ZR_NOTMMAP);
        EXPECT_EQ(ZipCloseWriter(hFileZip), ZR_OK);
    }
}

TEST(ZipWriter, AWriteErrorSticks)
{
    CScratchFolder scratch;
    ASSERT_TRUE(WriteWholeFile(scratch / L"ro.zip", "", 0));
    HANDLE h =
        CreateFileW((scratch / L"ro.zip").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ZipHandle hZip = ZipCreate(h, 0, ZIP_HANDLE);
    CloseHandle(h);
    ASSERT_NE(hZip, nullptr);
    EXPECT_EQ(ZipAdd(hZip, L"a.txt", "abc", 3, ZIP_MEMORY, 8), ZR_WRITE);
    EXPECT_EQ(ZipAdd(hZip, L"b.txt", "abc", 3, ZIP_MEMORY, 8), ZR_FAILED);
    EXPECT_EQ(LastWriteText(), L"Caller: there was a previous error");
    EXPECT_EQ(ZipCloseWriter(hZip), ZR_WRITE) << "finishing cannot write either";
}

namespace
{
void SetUtcTimes(const std::wstring& path, const FILETIME& t)
{
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetFileTime(h, &t, &t, &t);
    CloseHandle(h);
}
FILETIME Utc(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s)
{
    SYSTEMTIME st{y, mo, 0, d, h, mi, s, 0};
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}
} // namespace

TEST(ZipWriter, AddsDiskFilesWithTheirAttributesAndTimesAtAHandlesPosition)
{
    CScratchFolder scratch;
    const Bytes text = LogText(5000);
    // An "executable" as the writer judges one: MZ, a header position at offset 36, a signature there
    Bytes program(200, 0);
    program[0] = 'M';
    program[1] = 'Z';
    program[36] = 64;
    program[64] = 'P';
    program[65] = 'E';
    ASSERT_TRUE(WriteWholeFile(scratch / L"notes.txt", text.data(), text.size()));
    ASSERT_TRUE(WriteWholeFile(scratch / L"tool.exe", program.data(), program.size()));
    ASSERT_TRUE(WriteWholeFile(scratch / L"fixed.txt", "fixed", 5));
    const FILETIME when = Utc(2024, 3, 4, 5, 6, 8);
    SetUtcTimes(scratch / L"notes.txt", when);
    SetFileAttributesW((scratch / L"fixed.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);

    // The archive starts 100 bytes into the file: its offsets count from the file's start
    Bytes lead(100, '#');
    ASSERT_TRUE(WriteWholeFile(scratch / L"out.zip", lead.data(), lead.size()));
    HANDLE hOut = CreateFileW((scratch / L"out.zip").c_str(), GENERIC_WRITE | GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(hOut, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = 100;
    SetFilePointerEx(hOut, at, nullptr, FILE_BEGIN);
    ZipHandle hZip = ZipCreate(hOut, 0, ZIP_HANDLE);
    CloseHandle(hOut);
    ASSERT_NE(hZip, nullptr);
    ASSERT_EQ(ZipAdd(hZip, L"notes.txt", (scratch / L"notes.txt").c_str(), 0, ZIP_FILENAME, 6), ZR_OK);
    HANDLE hTool =
        CreateFileW((scratch / L"tool.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFilePointer(hTool, 50, nullptr, FILE_BEGIN); // read from the file's start all the same
    ASSERT_EQ(ZipAdd(hZip, L"bin\\tool.exe", hTool, 0, ZIP_HANDLE, 8), ZR_OK);
    EXPECT_NE(GetFileType(hTool), DWORD(FILE_TYPE_UNKNOWN)) << "the caller's handle stays open";
    CloseHandle(hTool);
    ASSERT_EQ(ZipAdd(hZip, L"fixed.txt", (scratch / L"fixed.txt").c_str(), 0, ZIP_FILENAME, 3), ZR_OK);
    ASSERT_EQ(ZipCloseWriter(hZip), ZR_OK);

    Bytes file;
    ASSERT_TRUE(ReadWholeFile(scratch / L"out.zip", file));
    ASSERT_TRUE(std::equal(lead.begin(), lead.end(), file.begin())) << "the bytes before the archive stay";
    std::vector<Central> c = CentralRecords(file);
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].localOffset, 100u);
    EXPECT_EQ(Get32(file, 100), 0x04034b50u);
    EXPECT_EQ(c[0].externalAttr & 0xFFFF0017u, 0x81800000u) << "a readable, writable plain file";
    EXPECT_EQ(c[1].name, "bin/tool.exe");
    EXPECT_EQ(c[1].externalAttr & 0x00400000u, 0x00400000u) << "judged executable";
    EXPECT_EQ(c[2].externalAttr & 0x00800001u, 0x00000001u) << "read-only: no owner-write bit";
    EXPECT_EQ(c[0].flags, 0);
    EXPECT_EQ(c[1].flags, 2);
    EXPECT_EQ(c[2].flags, 0);

    // Read back: with TZ pinned to UTC the modification time survives exactly
    ZipHandle hRead = ZipOpen((scratch / L"out.zip").c_str(), 0, ZIP_FILENAME);
    ASSERT_NE(hRead, nullptr);
    ZipEntry e{};
    ASSERT_EQ(ZipGetItem(hRead, 0, &e), ZR_OK);
    EXPECT_EQ(e.mtime.dwLowDateTime, when.dwLowDateTime);
    EXPECT_EQ(e.mtime.dwHighDateTime, when.dwHighDateTime);
    ASSERT_EQ(ZipGetItem(hRead, 2, &e), ZR_OK);
    EXPECT_EQ(e.attr & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
    ZipCloseReader(hRead);
    std::vector<Expect> expected = {{"notes.txt", text, 8, 0},
                                    {"bin/tool.exe", program, 8, 2},
                                    {"fixed.txt", Bytes{'f', 'i', 'x', 'e', 'd'}, 8, 0}};
    RecordForPython(L"handle-base.zip", file, expected);
}

TEST(ZipWriter, AddsAFolderTree)
{
    CScratchFolder scratch;
    CreateDirectoryW((scratch / L"a").c_str(), nullptr);
    CreateDirectoryW((scratch / L"a\\b").c_str(), nullptr);
    CreateDirectoryW((scratch / L"a\\b\\c").c_str(), nullptr);
    ASSERT_TRUE(WriteWholeFile(scratch / L"a\\x.txt", "xx", 2));
    ASSERT_TRUE(WriteWholeFile(scratch / L"a\\b\\y.txt", "yyy", 3));
    ZipHandle hZip = ZipCreate(const_cast<wchar_t*>(L"tree.zip"), 0, ZIP_FILENAME);
    ASSERT_NE(hZip, nullptr);
    // The sub-path is both where to look under the folder and the names' beginning in the archive
    EXPECT_TRUE(ZipAddFolder(hZip, scratch.Path().c_str(), L"a"));
    EXPECT_FALSE(ZipAddFolder(hZip, (scratch / L"missing").c_str(), nullptr));
    ASSERT_EQ(ZipCloseWriter(hZip), ZR_OK);
    Bytes archive;
    ASSERT_TRUE(ReadWholeFile(scratch / L"tree.zip", archive));
    std::set<std::string> names;
    for (const auto& c : CentralRecords(archive))
        names.insert(c.name);
    EXPECT_EQ(names, (std::set<std::string>{"a/", "a/x.txt", "a/b/", "a/b/y.txt", "a/b/c/"}));
    std::vector<Expect> expected;
    for (const auto& c : CentralRecords(archive))
    {
        Bytes data = c.name == "a/x.txt" ? Bytes{'x', 'x'} : c.name == "a/b/y.txt" ? Bytes{'y', 'y', 'y'} : Bytes{};
        expected.push_back({c.name, data, c.method, c.flags});
    }
    ExpectReadsBack(archive, expected);
    RecordForPython(L"tree.zip", archive, expected);
}

TEST(ZipWriter, StopsAtTheEntriesTheEndRecordCanCount)
{
    ZipHandle hZip = ZipCreate(nullptr, 1 << 20, ZIP_MEMORY);
    ASSERT_NE(hZip, nullptr);
    ZRESULT r = ZR_OK;
    int nAdded = 0;
    for (; nAdded < 0xFFFF && r == ZR_OK; ++nAdded)
        r = ZipAdd(hZip, (L"d" + std::to_wstring(nAdded)).c_str(), nullptr, 0, ZIP_FOLDER, 8);
    ASSERT_EQ(r, ZR_OK) << "entry " << nAdded;
    EXPECT_EQ(ZipAdd(hZip, L"one-too-many", nullptr, 0, ZIP_FOLDER, 8), ZR_ARGS);
    Bytes archive = MemoryOf(hZip);
    ZipCloseWriter(hZip);
    ASSERT_GE(archive.size(), 22u);
    EXPECT_EQ(Get16(archive, archive.size() - 22 + 10), 0xFFFF);
    ZipHandle hRead = ZipOpen(archive.data(), static_cast<DWORD>(archive.size()), ZIP_MEMORY);
    ASSERT_NE(hRead, nullptr);
    ZipEntryA last{};
    EXPECT_EQ(ZipGetItem(hRead, 0xFFFE, &last), ZR_OK);
    EXPECT_STREQ(last.name, "d65534/");
    ZipCloseReader(hRead);
}
