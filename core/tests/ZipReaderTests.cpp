// The zip reader against archives made by Python's zipfile, read from files, handles and memory,
// and against damaged archives that must fail without reading outside the block.
#include "core/ZipArchive.h"
#include "tests/support/ZipTestSupport.h"
#include <cstring>
#include <functional>
#include <memory>

using namespace ZipTest;

namespace
{
// Opens one archive of the fixture in the requested way; memory and handles stay alive with it.
class COpenedArchive
{
public:
    COpenedArchive(const std::wstring& name, DWORD nKind) : m_path(MadePath(name))
    {
        if (nKind == ZIP_MEMORY)
        {
            if (!ReadWholeFile(m_path, m_bytes)) return;
            m_hZip = ZipOpen(m_bytes.data(), static_cast<DWORD>(m_bytes.size()), ZIP_MEMORY);
        }
        else if (nKind == ZIP_HANDLE)
        {
            HANDLE h = CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            m_hZip = ZipOpen(h, 0, ZIP_HANDLE);
            CloseHandle(h); // the reader holds its own duplicate
        }
        else
            m_hZip = ZipOpen(m_path.c_str(), 0, ZIP_FILENAME);
    }
    ~COpenedArchive()
    {
        if (m_hZip) ZipCloseReader(m_hZip);
    }
    ZipHandle Get() const { return m_hZip; }

private:
    std::wstring m_path;
    Bytes m_bytes;
    ZipHandle m_hZip = nullptr;
};

struct ArchiveCase
{
    const wchar_t* archive;
    std::vector<std::string> names;
};
const ArchiveCase kArchives[] = {
    {L"stored.zip", {"data", "small.bin"}},
    {L"deflated.zip", {"data", "random.bin", "empty.txt"}},
    {L"prefixed.zip", {"data", "random.bin", "empty.txt"}},
    {L"folders.zip", {"sub/", "sub/dir/", "sub/dir/file.txt", "top.txt"}},
    {L"times.zip", {"timed.txt", "plain.txt", "hidden.txt"}},
};
const DWORD kSourceKinds[] = {ZIP_FILENAME, ZIP_HANDLE, ZIP_MEMORY};

std::wstring Wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

Bytes Expected(const wchar_t* archive, const std::string& entry)
{
    std::wstring path = MadePath(std::wstring(archive) + L".d\\" + Wide(entry));
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    Bytes bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes)) << "expected bytes of the fixture missing for " << entry;
    return bytes;
}

FILETIME UtcFileTime(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s)
{
    SYSTEMTIME st{y, mo, 0, d, h, mi, s, 0};
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}
bool operator==(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

std::wstring FormatResult(ZRESULT code, ZipSide side = ZipSide::Reading)
{
    wchar_t text[100];
    ZipFormatResult(code, text, 100, side);
    return text;
}
} // namespace

TEST(ZipReader, FixtureFolderIsThere)
{
    ASSERT_FALSE(DataFolder().empty()) << "LUMO_ZIP_DATA not set: run through ctest";
    ASSERT_TRUE(Exists(MadePath(L"deflated.zip"))) << "the Python fixture did not make its archives";
}

TEST(ZipReader, ListsAndExtractsPythonArchivesFromEverySource)
{
    for (const auto& c : kArchives)
        for (DWORD nKind : kSourceKinds)
        {
            SCOPED_TRACE(testing::Message() << "archive " << std::string(c.archive, c.archive + wcslen(c.archive))
                                            << ", source kind " << nKind);
            COpenedArchive zip(c.archive, nKind);
            ASSERT_NE(zip.Get(), nullptr);
            ZipEntryA count{};
            ASSERT_EQ(ZipGetItem(zip.Get(), -1, &count), ZR_OK);
            ASSERT_EQ(count.index, static_cast<int>(c.names.size()));
            for (int i = 0; i < count.index; ++i)
            {
                ZipEntryA entry{};
                ASSERT_EQ(ZipGetItem(zip.Get(), i, &entry), ZR_OK);
                EXPECT_EQ(entry.index, i);
                EXPECT_EQ(std::string(entry.name), c.names[i]);
                if (entry.attr & FILE_ATTRIBUTE_DIRECTORY) continue;
                Bytes expected = Expected(c.archive, entry.name);
                EXPECT_EQ(entry.unc_size, static_cast<LONG>(expected.size()));
                Bytes got(expected.size());
                ZRESULT r = ZipExtractItem(zip.Get(), i, got.data(), static_cast<DWORD>(got.size()), ZIP_MEMORY);
                EXPECT_EQ(r, expected.empty() ? ZR_OK : ZR_MORE) << "a whole entry in one call";
                EXPECT_TRUE(got == expected) << "bytes of " << entry.name;
                if (!expected.empty())
                {
                    EXPECT_EQ(ZipExtractItem(zip.Get(), i, got.data(), static_cast<DWORD>(got.size()), ZIP_MEMORY),
                              ZR_OK)
                        << "a second call finds nothing left";
                }
            }
        }
}

TEST(ZipReader, CountsEntriesAndRefusesIndexesOutside)
{
    COpenedArchive zip(L"deflated.zip", ZIP_MEMORY);
    ASSERT_NE(zip.Get(), nullptr);
    ZipEntry entry{};
    ASSERT_EQ(ZipGetItem(zip.Get(), -1, &entry), ZR_OK);
    EXPECT_EQ(entry.index, 3);
    EXPECT_EQ(entry.name[0], L'\0');
    EXPECT_EQ(entry.unc_size, 0);
    EXPECT_EQ(ZipGetItem(zip.Get(), 3, &entry), ZR_ARGS);
    EXPECT_EQ(ZipGetItem(zip.Get(), -2, &entry), ZR_ARGS);
    EXPECT_EQ(FormatResult(ZR_RECENT), L"Caller: faulty arguments") << "the last result is kept";
    // Backwards after forwards walks the directory again from its start
    ASSERT_EQ(ZipGetItem(zip.Get(), 2, &entry), ZR_OK);
    EXPECT_STREQ(entry.name, L"empty.txt");
    ASSERT_EQ(ZipGetItem(zip.Get(), 0, &entry), ZR_OK);
    EXPECT_STREQ(entry.name, L"data");
    EXPECT_EQ(entry.comp_size < entry.unc_size, true) << "log text deflates";
}

TEST(ZipReader, FindsByNameWithAndWithoutCase)
{
    COpenedArchive zip(L"deflated.zip", ZIP_FILENAME);
    ASSERT_NE(zip.Get(), nullptr);
    int nIndex = 99;
    ZipEntry entry{};
    EXPECT_EQ(ZipFindItem(zip.Get(), L"DATA", false, &nIndex, &entry), ZR_NOTFOUND);
    EXPECT_EQ(nIndex, -1);
    EXPECT_EQ(entry.index, -1);
    EXPECT_EQ(entry.unc_size, 0);
    EXPECT_EQ(ZipFindItem(zip.Get(), L"DATA", true, &nIndex, &entry), ZR_OK);
    EXPECT_EQ(nIndex, 0);
    EXPECT_STREQ(entry.name, L"data");
    EXPECT_EQ(ZipFindItem(zip.Get(), L"Random.BIN", true, &nIndex, static_cast<ZipEntry*>(nullptr)), ZR_OK);
    EXPECT_EQ(nIndex, 1);
    EXPECT_EQ(ZipFindItem(zip.Get(), L"empty.txt", false, nullptr, static_cast<ZipEntry*>(nullptr)), ZR_OK);
    EXPECT_EQ(ZipFindItem(zip.Get(), L"dat", true, &nIndex, static_cast<ZipEntry*>(nullptr)), ZR_NOTFOUND)
        << "whole names only";
    std::wstring longName(256, L'a');
    EXPECT_EQ(ZipFindItem(zip.Get(), longName.c_str(), true, &nIndex, &entry), ZR_NOTFOUND);
    EXPECT_EQ(nIndex, -1);
}

TEST(ZipReader, DescribesAttributesAndTimes)
{
    COpenedArchive zip(L"times.zip", ZIP_MEMORY);
    ASSERT_NE(zip.Get(), nullptr);
    ZipEntry timed{}, plain{}, hidden{};
    ASSERT_EQ(ZipGetItem(zip.Get(), 0, &timed), ZR_OK);
    ASSERT_EQ(ZipGetItem(zip.Get(), 1, &plain), ZR_OK);
    ASSERT_EQ(ZipGetItem(zip.Get(), 2, &hidden), ZR_OK);
    EXPECT_EQ(timed.attr, DWORD(FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(plain.attr, DWORD(FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_READONLY)) << "no owner-write bit";
    EXPECT_EQ(hidden.attr, DWORD(FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    // The "UT" field's Unix seconds, as UTC calendar fields
    EXPECT_TRUE(timed.mtime == UtcFileTime(2020, 1, 2, 3, 4, 5));
    EXPECT_TRUE(timed.atime == UtcFileTime(2021, 6, 7, 8, 9, 10));
    EXPECT_TRUE(timed.ctime == UtcFileTime(2019, 11, 12, 13, 14, 15));
    // Without one, all three are the DOS stamp as it stands
    FILETIME dos = UtcFileTime(2001, 2, 3, 4, 5, 6);
    EXPECT_TRUE(plain.mtime == dos && plain.atime == dos && plain.ctime == dos);
}

TEST(ZipReader, ExtractsToFilesCreatingFoldersUnderTheRoot)
{
    CScratchFolder scratch;
    Bytes archive;
    ASSERT_TRUE(ReadWholeFile(MadePath(L"times.zip"), archive));
    ZipHandle hZip = ZipOpen(archive.data(), static_cast<DWORD>(archive.size()), ZIP_MEMORY);
    ASSERT_NE(hZip, nullptr);
    EXPECT_EQ(ZipExtractItem(hZip, 0, const_cast<wchar_t*>(L"sub/dir/timed.txt"), 0, ZIP_FILENAME), ZR_OK);
    Bytes got;
    ASSERT_TRUE(ReadWholeFile(scratch / L"sub\\dir\\timed.txt", got));
    EXPECT_EQ(std::string(got.begin(), got.end()), "timed\r\n");
    WIN32_FILE_ATTRIBUTE_DATA info{};
    ASSERT_TRUE(GetFileAttributesExW((scratch / L"sub\\dir\\timed.txt").c_str(), GetFileExInfoStandard, &info));
    EXPECT_TRUE(info.ftLastWriteTime == UtcFileTime(2020, 1, 2, 3, 4, 5)) << "times set from the description";

    // Described read-only, extracted writable
    EXPECT_EQ(ZipExtractItem(hZip, 1, const_cast<wchar_t*>(L"plain.txt"), 0, ZIP_FILENAME), ZR_OK);
    DWORD attr = GetFileAttributesW((scratch / L"plain.txt").c_str());
    ASSERT_NE(attr, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(attr & FILE_ATTRIBUTE_READONLY, 0u);

    // Targets that climb out or are absolute get no folders made for them
    EXPECT_EQ(ZipExtractItem(hZip, 1, const_cast<wchar_t*>(L"../made-up/x.txt"), 0, ZIP_FILENAME), ZR_NOFILE);
    EXPECT_FALSE(Exists(scratch / L"..\\made-up"));
    std::wstring absolute = scratch / L"absent\\x.txt";
    EXPECT_EQ(ZipExtractItem(hZip, 1, absolute.data(), 0, ZIP_FILENAME), ZR_NOFILE);
    EXPECT_FALSE(Exists(scratch / L"absent"));
    EXPECT_EQ(ZipCloseReader(hZip), ZR_OK);
}

TEST(ZipReader, ExtractsFolderEntriesAsFoldersOnlyInsideTheRoot)
{
    CScratchFolder scratch;
    CreateDirectoryW((scratch / L"inner").c_str(), nullptr);
    SetCurrentDirectoryW((scratch / L"inner").c_str()); // the root is fixed when the archive opens
    COpenedArchive folders(L"folders.zip", ZIP_FILENAME);
    COpenedArchive hostile(L"hostile.zip", ZIP_FILENAME);
    SetCurrentDirectoryW(scratch.Path().c_str());
    ASSERT_NE(folders.Get(), nullptr);
    ASSERT_NE(hostile.Get(), nullptr);
    EXPECT_EQ(ZipExtractItem(folders.Get(), 1, const_cast<wchar_t*>(L"ignored"), 0, ZIP_FILENAME), ZR_OK);
    EXPECT_TRUE(Exists(scratch / L"inner\\sub\\dir")) << "sub/dir/ made under the root folder";
    EXPECT_FALSE(Exists(scratch / L"ignored")) << "a folder entry writes no file";
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ZipExtractItem(hostile.Get(), i, const_cast<wchar_t*>(L"ignored"), 0, ZIP_FILENAME), ZR_OK);
    EXPECT_FALSE(Exists(scratch / L"escape"));
    EXPECT_FALSE(Exists(scratch / L"nested"));
    EXPECT_FALSE(Exists(scratch / L"inner\\ok")) << "a path with '..' is refused whole";
    EXPECT_FALSE(Exists(L"\\absolute"));
}

TEST(ZipReader, ExtractsToAHandleAndReadsFromAHandleAtItsPosition)
{
    CScratchFolder scratch;
    Bytes archive;
    ASSERT_TRUE(ReadWholeFile(MadePath(L"deflated.zip"), archive));
    Bytes withLead(300, 'j');
    withLead.insert(withLead.end(), archive.begin(), archive.end());
    ASSERT_TRUE(WriteWholeFile(scratch / L"lead.bin", withLead.data(), withLead.size()));
    HANDLE hSource =
        CreateFileW((scratch / L"lead.bin").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hSource, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = 300;
    SetFilePointerEx(hSource, at, nullptr, FILE_BEGIN);
    ZipHandle hZip = ZipOpen(hSource, 0, ZIP_HANDLE);
    CloseHandle(hSource);
    ASSERT_NE(hZip, nullptr);
    HANDLE hTarget = CreateFileW((scratch / L"out.bin").c_str(), GENERIC_WRITE | GENERIC_READ, 0, nullptr,
                                 CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(hTarget, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ZipExtractItem(hZip, 1, hTarget, 0, ZIP_HANDLE), ZR_OK);
    CloseHandle(hTarget);
    Bytes got;
    ASSERT_TRUE(ReadWholeFile(scratch / L"out.bin", got));
    EXPECT_TRUE(got == Expected(L"deflated.zip", "random.bin"));
    EXPECT_EQ(ZipCloseReader(hZip), ZR_OK);

    // A pipe cannot be read backwards from its end
    HANDLE hRead, hWrite;
    ASSERT_TRUE(CreatePipe(&hRead, &hWrite, nullptr, 0));
    EXPECT_EQ(ZipOpen(hRead, 0, ZIP_HANDLE), nullptr);
    EXPECT_EQ(FormatResult(ZR_RECENT), L"Zip-bug: trying to seek the unseekable");
    CloseHandle(hRead);
    CloseHandle(hWrite);
    EXPECT_EQ(ZipOpen(L"Z:\\no\\such\\archive.zip", 0, ZIP_FILENAME), nullptr);
    EXPECT_EQ(FormatResult(ZR_RECENT), L"Couldn't create/open file");
}

TEST(ZipReader, ExtractsToMemoryPiecewise)
{
    COpenedArchive zip(L"prefixed.zip", ZIP_MEMORY);
    ASSERT_NE(zip.Get(), nullptr);
    Bytes expected = Expected(L"prefixed.zip", "data");
    Bytes got;
    BYTE piece[1000];
    int nCalls = 0;
    ZRESULT r;
    while ((r = ZipExtractItem(zip.Get(), 0, piece, sizeof piece, ZIP_MEMORY)) == ZR_MORE && nCalls++ < 100000)
        got.insert(got.end(), piece, piece + std::min<size_t>(sizeof piece, expected.size() - got.size()));
    EXPECT_EQ(r, ZR_OK);
    EXPECT_TRUE(got == expected);
    EXPECT_EQ(nCalls, static_cast<int>((expected.size() + sizeof piece - 1) / sizeof piece));
    // Describing another entry abandons a piecewise extraction: the next call starts over
    ASSERT_EQ(ZipExtractItem(zip.Get(), 0, piece, sizeof piece, ZIP_MEMORY), ZR_MORE);
    ZipEntryA other{};
    ASSERT_EQ(ZipGetItem(zip.Get(), 1, &other), ZR_OK);
    BYTE again[1000];
    ASSERT_EQ(ZipExtractItem(zip.Get(), 0, again, sizeof again, ZIP_MEMORY), ZR_MORE);
    EXPECT_EQ(memcmp(again, expected.data(), sizeof again), 0);
}

TEST(ZipReader, RefusesWhatIsNoArchive)
{
    const char text[] = "This is plain text and no zip archive at all, not even close to one.";
    EXPECT_EQ(ZipOpen(text, sizeof text, ZIP_MEMORY), nullptr);
    EXPECT_EQ(FormatResult(ZR_RECENT), L"unknown zip result code");
    // An end record and nothing else: an archive of no entry does not open
    const BYTE empty[22] = {'P', 'K', 5, 6};
    EXPECT_EQ(ZipOpen(empty, sizeof empty, ZIP_MEMORY), nullptr);
    EXPECT_EQ(ZipGetItem(nullptr, 0, static_cast<ZipEntry*>(nullptr)), ZR_ARGS);
    EXPECT_EQ(ZipCloseReader(nullptr), ZR_ARGS);
    EXPECT_TRUE(ZipIsReader(nullptr));
}

TEST(ZipReader, FormatsResultTexts)
{
    wchar_t text[100];
    EXPECT_EQ(ZipFormatResult(ZR_MORE, text, 100), 24);
    EXPECT_STREQ(text, L"Still more data to unzip");
    EXPECT_EQ(ZipFormatResult(ZR_NODUPH, text, 100), 24);
    EXPECT_STREQ(text, L"Culdn't duplicate handle");
    EXPECT_EQ(ZipFormatResult(ZR_MORE, text, 6), 24) << "the full length even when cut";
    EXPECT_STREQ(text, L"Still");
    text[0] = L'x';
    EXPECT_EQ(ZipFormatResult(ZR_MORE, text, 0), 24);
    EXPECT_EQ(text[0], L'x') << "nothing copied into a buffer of size 0";
    EXPECT_EQ(ZipFormatResult(ZR_MORE, nullptr, 100), 24);
    EXPECT_EQ(FormatResult(0x12345), L"unknown zip result code");
}

// ---- Damaged archives ----

namespace
{
// Position of the first central header and of the end record of a well-formed archive
size_t FindSignature(const Bytes& b, uint32_t sig, bool last = false)
{
    size_t found = std::string::npos;
    for (size_t i = 0; i + 4 <= b.size(); ++i)
        if (b[i] == (sig & 0xFF) && b[i + 1] == ((sig >> 8) & 0xFF) && b[i + 2] == ((sig >> 16) & 0xFF) &&
            b[i + 3] == (sig >> 24))
        {
            found = i;
            if (!last) break;
        }
    return found;
}
void Put16(Bytes& b, size_t at, uint16_t v)
{
    b[at] = static_cast<BYTE>(v);
    b[at + 1] = static_cast<BYTE>(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v)
{
    Put16(b, at, static_cast<uint16_t>(v));
    Put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

// Runs every operation of the reader over the bytes; returns the results seen, in order
std::vector<ZRESULT> ReadEverything(const CGuardedBytes& bytes, bool& opened)
{
    std::vector<ZRESULT> results;
    ZipHandle hZip = ZipOpen(bytes.Data(), bytes.Size(), ZIP_MEMORY);
    opened = hZip != nullptr;
    if (!hZip) return results;
    ZipEntryA count{};
    results.push_back(ZipGetItem(hZip, -1, &count));
    for (int i = 0; i < count.index; ++i)
    {
        ZipEntryA entry{};
        results.push_back(ZipGetItem(hZip, i, &entry));
        std::vector<BYTE> out(1 << 20);
        ZRESULT r;
        int nGuard = 0;
        while ((r = ZipExtractItem(hZip, i, out.data(), 4096, ZIP_MEMORY)) == ZR_MORE && ++nGuard < 1000)
        {
        }
        results.push_back(r);
        results.push_back(ZipFindItem(hZip, L"data", false, nullptr, static_cast<ZipEntryA*>(nullptr)));
    }
    ZipCloseReader(hZip);
    return results;
}
bool HasError(const std::vector<ZRESULT>& results)
{
    for (ZRESULT r : results)
        if (r != ZR_OK && r != ZR_MORE && r != ZR_NOTFOUND) return true;
    return false;
}
} // namespace

struct DamageCase
{
    const char* why;
    std::function<void(Bytes&)> damage;
    ZRESULT openResult;    // ZR_OK: it opens, and then some operation must fail with expectedError
    ZRESULT expectedError; // the first error an operation reports (ZR_OK: none, when opening fails)
};

TEST(ZipReader, DamagedArchivesGiveErrorsWithoutReadingOutside)
{
    Bytes good;
    ASSERT_TRUE(ReadWholeFile(MadePath(L"stored.zip"), good));
    const size_t central = FindSignature(good, 0x02014b50), end = FindSignature(good, 0x06054b50, true);
    const size_t local2 = FindSignature(Bytes(good.begin() + 4, good.end()), 0x04034b50) + 4;
    const size_t central2 = FindSignature(Bytes(good.begin() + central + 4, good.end()), 0x02014b50) + central + 4;
    ASSERT_NE(central, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    const std::vector<DamageCase> cases = {
        {"entry counts differ", [&](Bytes& b) { Put16(b, end + 8, 1); }, ZR_OPEN_INCONSISTENT, ZR_OK},
        {"a second disk", [&](Bytes& b) { Put16(b, end + 4, 1); }, ZR_OPEN_INCONSISTENT, ZR_OK},
        {"directory behind the end record", [&](Bytes& b) { Put32(b, end + 16, 0x7FFFFFF0); }, ZR_OPEN_INCONSISTENT,
         ZR_OK},
        {"directory size too large", [&](Bytes& b) { Put32(b, end + 12, static_cast<uint32_t>(end + 1)); },
         ZR_OPEN_INCONSISTENT, ZR_OK},
        {"no central header where the directory starts", [&](Bytes& b) { b[central] = 'X'; }, ZR_OPEN_FAILED, ZR_OK},
        {"end record cut", [&](Bytes& b) { b.resize(b.size() - 1); }, ZR_OPEN_FAILED, ZR_OK},
        {"more entries claimed than present",
         [&](Bytes& b) {
             Put16(b, end + 8, 9);
             Put16(b, end + 10, 9);
         },
         ZR_OK, ZR_CORRUPT},
        {"bad CRC", [&](Bytes& b) { b[40] ^= 0x55; }, ZR_OK, ZR_CORRUPT},
        {"hostile central name length", [&](Bytes& b) { Put16(b, central2 + 28, 0xFFFF); }, ZR_OK, ZR_CORRUPT},
        {"hostile local extra length", [&](Bytes& b) { Put16(b, 28, 0xFFFF); }, ZR_OK, ZR_READ},
        {"local header offset beyond the block", [&](Bytes& b) { Put32(b, central + 42, 0x7FFFFFF0); }, ZR_OK, ZR_READ},
        {"local header offset into data", [&](Bytes& b) { Put32(b, central + 42, 100); }, ZR_OK, ZR_CORRUPT},
        {"local name length differs", [&](Bytes& b) { Put16(b, 26, 3); }, ZR_OK, ZR_CORRUPT},
        {"unknown method",
         [&](Bytes& b) {
             Put16(b, 8, 12);
             Put16(b, central + 10, 12);
         },
         ZR_OK, ZR_CORRUPT},
        {"stored sizes beyond the block",
         [&](Bytes& b) {
             Put32(b, 18, 0x7FFFFFF0);
             Put32(b, 22, 0x7FFFFFF0);
             Put32(b, central + 20, 0x7FFFFFF0);
             Put32(b, central + 24, 0x7FFFFFF0);
         },
         ZR_OK, ZR_READ},
        {"second local header overwritten", [&](Bytes& b) { b[local2] = 'X'; }, ZR_OK, ZR_CORRUPT},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        Bytes bad = good;
        c.damage(bad);
        CGuardedBytes guarded(bad);
        bool opened = false;
        std::vector<ZRESULT> results = ReadEverything(guarded, opened);
        wchar_t text[100];
        if (c.openResult != ZR_OK)
        {
            EXPECT_FALSE(opened);
            ZipFormatResult(ZR_RECENT, text, 100); // the failure's code is the last result
            EXPECT_EQ(FormatResult(c.openResult), std::wstring(text));
            continue;
        }
        ASSERT_TRUE(opened);
        ZRESULT first = ZR_OK;
        for (ZRESULT r : results)
            if (r != ZR_OK && r != ZR_MORE && r != ZR_NOTFOUND)
            {
                first = r;
                break;
            }
        EXPECT_EQ(first, c.expectedError);
    }
}

TEST(ZipReader, CorruptDeflateDataAndCrcAreReportedForEveryTarget)
{
    Bytes good;
    ASSERT_TRUE(ReadWholeFile(MadePath(L"deflated.zip"), good));
    ZipHandle hGood = ZipOpen(good.data(), static_cast<DWORD>(good.size()), ZIP_MEMORY);
    ASSERT_NE(hGood, nullptr);
    ZipEntryA data{};
    ASSERT_EQ(ZipGetItem(hGood, 0, &data), ZR_OK);
    ZipCloseReader(hGood);
    const size_t dataStart = 30 + 4; // "data", no extra field
    struct Flip
    {
        size_t at;
        const char* why;
    };
    const Flip flips[] = {{dataStart + 2, "early in the stream"},
                          {dataStart + static_cast<size_t>(data.comp_size) / 2, "in the middle"},
                          {dataStart + static_cast<size_t>(data.comp_size) - 3, "near its end"}};
    CScratchFolder scratch;
    for (const auto& f : flips)
    {
        SCOPED_TRACE(f.why);
        Bytes bad = good;
        bad[f.at] ^= 0x5A;
        CGuardedBytes guarded(bad);
        ZipHandle hZip = ZipOpen(guarded.Data(), guarded.Size(), ZIP_MEMORY);
        ASSERT_NE(hZip, nullptr);
        Bytes out(static_cast<size_t>(data.unc_size));
        EXPECT_EQ(ZipExtractItem(hZip, 0, out.data(), static_cast<DWORD>(out.size()), ZIP_MEMORY), ZR_CORRUPT);
        EXPECT_EQ(ZipExtractItem(hZip, 0, const_cast<wchar_t*>(L"out.txt"), 0, ZIP_FILENAME), ZR_CORRUPT);
        HANDLE h = CreateFileW((scratch / L"out2.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        EXPECT_EQ(ZipExtractItem(hZip, 0, h, 0, ZIP_HANDLE), ZR_CORRUPT);
        CloseHandle(h);
        ZipCloseReader(hZip);
    }
}

TEST(ZipReader, TruncatedArchivesNeverReadOutside)
{
    Bytes good;
    ASSERT_TRUE(ReadWholeFile(MadePath(L"deflated.zip"), good));
    int nOpened = 0;
    for (size_t cut = 0; cut < good.size(); cut += 331)
    {
        Bytes part(good.begin(), good.begin() + cut);
        CGuardedBytes guarded(part);
        bool opened = false;
        std::vector<ZRESULT> results = ReadEverything(guarded, opened);
        nOpened += opened;
        if (opened)
        {
            EXPECT_TRUE(HasError(results)) << "cut at " << cut;
        }
    }
    EXPECT_EQ(nOpened, 0) << "without its end record no cut archive opens";
    // With the directory intact but data missing, opening works and extraction fails
    size_t central = FindSignature(good, 0x02014b50);
    Bytes hollow(good.begin(), good.begin() + 200);
    hollow.insert(hollow.end(), good.begin() + central, good.end());
    Put32(hollow, hollow.size() - 6, 200); // the directory now starts at 200
    CGuardedBytes guarded(hollow);
    bool opened = false;
    std::vector<ZRESULT> results = ReadEverything(guarded, opened);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(HasError(results));
}
