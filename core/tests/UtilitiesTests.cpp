// The system utilities for files, folders and buffers, on real files in a scratch folder.
#include "core/CUtilities.h"
#include "core/ZipArchive.h"
#include "tests/support/ZipTestSupport.h"
#include <cwctype>
#include <random>
#include <set>

using namespace ZipTest;

namespace
{
void Touch(const std::wstring& path)
{
    ASSERT_TRUE(WriteWholeFile(path, "x", 1)) << "could not make a test file";
}

std::wstring Str(const CString& s)
{
    return s.GetString();
}
} // namespace

TEST(Utilities, MakeUniqueFileNameFindsAFreeNumber)
{
    struct Case
    {
        std::vector<std::wstring> existing;
        std::wstring path, expected;
        const char* why;
    };
    const Case cases[] = {
        {{}, L"a.txt", L"a.txt", "a free name stays"},
        {{L"a.txt"}, L"a.txt", L"a (2).txt", "the first try is 2"},
        {{L"a.txt", L"a (2).txt"}, L"a.txt", L"a (3).txt", "2 taken, 4 free: halving finds 3"},
        {{L"report"}, L"report", L"report (2)", "no extension"},
        {{L"a.txt", L"a (2).txt", L"a (3).txt", L"a (4).txt", L"a (5).txt"},
         L"a.txt",
         L"a (6).txt",
         "doubling to 8, then back"},
        {{L"a.txt", L"a (2).txt", L"a (4).txt"},
         L"a.txt",
         L"a (5).txt",
         "4 taken, 8 free: 6, 5 free; the gap at 3 is never tried"},
        {{L"a.txt", L"a (2).txt", L"a (4).txt", L"a (6).txt", L"a (7).txt"}, L"a.txt", L"a (8).txt", "6 and 7 taken"},
        {{L"v1.2", L"v1.2\\notes"}, L"v1.2\\notes", L"v1.2\\notes (2)", "a dot in the folder is no extension"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CScratchFolder scratch;
        for (const auto& name : c.existing)
        {
            if (name == L"v1.2")
                CreateDirectoryW((scratch / name).c_str(), nullptr);
            else
                Touch(scratch / name);
        }
        CString path((scratch / c.path).c_str());
        CString result = CUtilities::MakeUniqueFileName(path);
        EXPECT_EQ(Str(path), scratch / c.expected);
        EXPECT_EQ(Str(result), Str(path));
    }
}

TEST(Utilities, CreatesFolderPathsAndNewFolders)
{
    CScratchFolder scratch;
    EXPECT_TRUE(CUtilities::CreateFolderPath((scratch / L"a\\b\\c\\").c_str()));
    EXPECT_TRUE(CUtilities::FolderExists((scratch / L"a\\b\\c").c_str()));
    EXPECT_TRUE(CUtilities::CreateFolderPath((scratch / L"a\\b").c_str())) << "existing folders are fine";
    EXPECT_TRUE(CUtilities::CreateFolderPath(L"C:\\")) << "a root needs nothing";
    Touch(scratch / L"file");
    EXPECT_FALSE(CUtilities::CreateFolderPath((scratch / L"file\\x").c_str())) << "a file stands in the way";
    EXPECT_TRUE(CUtilities::FileExists((scratch / L"file").c_str()));
    EXPECT_FALSE(CUtilities::FolderExists((scratch / L"file").c_str()));
    EXPECT_FALSE(CUtilities::FileExists((scratch / L"nothing").c_str()));

    EXPECT_EQ(Str(CUtilities::CreateNewFolder((scratch / L"new\\one").c_str(), L" (%d)")), scratch / L"new\\one");
    EXPECT_EQ(Str(CUtilities::CreateNewFolder((scratch / L"new\\one").c_str(), L" (%d)")), scratch / L"new\\one (1)");
    EXPECT_EQ(Str(CUtilities::CreateNewFolder((scratch / L"new\\one\\").c_str(), L" (%d)")), scratch / L"new\\one (2)");
    EXPECT_TRUE(CUtilities::FolderExists((scratch / L"new\\one (2)").c_str()));
    EXPECT_EQ(Str(CUtilities::CreateNewFolder((scratch / L"file\\x").c_str(), L" (%d)")), L"");
    for (int n = 3; n <= 99; ++n)
        CreateDirectoryW((scratch / (L"new\\one (" + std::to_wstring(n) + L")")).c_str(), nullptr);
    EXPECT_EQ(Str(CUtilities::CreateNewFolder((scratch / L"new\\one").c_str(), L" (%d)")), L"") << "all 99 taken";
}

TEST(Utilities, CopiesFilesAndFoldersAndDeletesFolders)
{
    CScratchFolder scratch;
    Bytes data(10000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<BYTE>(i * 7);
    ASSERT_TRUE(WriteWholeFile(scratch / L"src.bin", data.data(), data.size()));
    EXPECT_TRUE(CUtilities::CopyFile((scratch / L"src.bin").c_str(), (scratch / L"dst.bin").c_str()));
    Bytes copy;
    ASSERT_TRUE(ReadWholeFile(scratch / L"dst.bin", copy));
    EXPECT_TRUE(copy == data) << "three blocks of 4096 and a rest";
    ASSERT_TRUE(WriteWholeFile(scratch / L"short.bin", "ab", 2));
    EXPECT_TRUE(CUtilities::CopyFile((scratch / L"short.bin").c_str(), (scratch / L"dst.bin").c_str()));
    ASSERT_TRUE(ReadWholeFile(scratch / L"dst.bin", copy));
    EXPECT_EQ(copy.size(), 2u) << "the destination is truncated";
    EXPECT_FALSE(CUtilities::CopyFile((scratch / L"missing").c_str(), (scratch / L"x").c_str()));
    EXPECT_FALSE(CUtilities::CopyFile((scratch / L"src.bin").c_str(), (scratch / L"no\\such\\x").c_str()));
    EXPECT_FALSE(CUtilities::CopyFile(L"", (scratch / L"x").c_str()));
    EXPECT_FALSE(CUtilities::CopyFile((scratch / L"src.bin").c_str(), L""));

    ASSERT_TRUE(CUtilities::CreateFolderPath((scratch / L"tree\\inner").c_str()));
    Touch(scratch / L"tree\\one.txt");
    Touch(scratch / L"tree\\inner\\two.txt");
    ASSERT_TRUE(CUtilities::CreateFolderPath((scratch / L"copy").c_str()));
    EXPECT_TRUE(CUtilities::CopyFolder((scratch / L"tree").c_str(), (scratch / L"copy").c_str()));
    EXPECT_TRUE(CUtilities::FileExists((scratch / L"copy\\one.txt").c_str()));
    EXPECT_TRUE(CUtilities::FileExists((scratch / L"copy\\inner\\two.txt").c_str()));
    EXPECT_TRUE(CUtilities::DeleteFolder((scratch / L"copy").c_str()));
    EXPECT_FALSE(CUtilities::FileExists((scratch / L"copy").c_str()));
    EXPECT_TRUE(CUtilities::FileExists((scratch / L"tree\\inner\\two.txt").c_str())) << "the source is untouched";
}

TEST(Utilities, RunLengthPacksRunsAndRestoresThem)
{
    struct Case
    {
        std::string plain, packed;
        const char* why;
    };
    const Case cases[] = {
        {"", "", "nothing"},
        {"a", "a", "a single byte"},
        {"aa", std::string("aa\x02", 3), "a pair"},
        {"abc", "abc", "no runs"},
        {"xaaab",
         std::string("xaa\x03"
                     "b",
                     5),
         "a run inside"},
        {std::string(255, 'q'), std::string("qq\xff", 3), "the longest run"},
        {std::string(256, 'q'), std::string("qq\xffq", 4), "one over: a single byte follows"},
        {std::string(300, 'z'), std::string("zz\xffzz\x2d", 6), "300 is 255 and 45"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        BYTE* p = new BYTE[c.plain.size() + 1];
        memcpy(p, c.plain.data(), c.plain.size());
        DWORD n = static_cast<DWORD>(c.plain.size());
        CUtilities::CompressRunLength(p, n, true);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(p), n), c.packed);
        CUtilities::ExpandRunLength(p, n, true);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(p), n), c.plain);
        delete[] p;
    }
    // Random bytes with many short runs survive the round trip
    std::mt19937 rnd(11);
    Bytes mixed;
    while (mixed.size() < 100000)
        mixed.insert(mixed.end(), rnd() % 5 == 0 ? rnd() % 600 : 1, static_cast<BYTE>(rnd() % 4));
    BYTE* p = new BYTE[mixed.size()];
    memcpy(p, mixed.data(), mixed.size());
    BYTE* original = p;
    DWORD n = static_cast<DWORD>(mixed.size());
    CUtilities::CompressRunLength(p, n, false);
    EXPECT_NE(p, original) << "a new buffer";
    EXPECT_LT(n, mixed.size());
    delete[] original;
    CUtilities::ExpandRunLength(p, n, true);
    EXPECT_TRUE(Bytes(p, p + n) == mixed);
    delete[] p;
}

TEST(Utilities, ExpandRunLengthStopsAtTheEndOfItsInput)
{
    CGuardedBytes cut(Bytes{'x', 'a', 'a'}); // a pair whose count byte is missing
    BYTE* p = cut.Data();
    DWORD n = cut.Size();
    CUtilities::ExpandRunLength(p, n, false); // reading past the pair would hit the guard page
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p), n), "xaa");
    delete[] p;
}

TEST(Utilities, ZipsAndUnzipsFiveMebibytes)
{
    std::mt19937 rnd(5);
    Bytes original(5 << 20);
    for (size_t i = 0; i < original.size(); ++i)
        original[i] = static_cast<BYTE>(i % 251 < 200 ? 'a' + (i / 97) % 26 : rnd());
    for (bool useMalloc : {true, false})
    {
        SCOPED_TRACE(useMalloc ? "malloc" : "new[]");
        BYTE* p = useMalloc ? static_cast<BYTE*>(malloc(original.size())) : new BYTE[original.size()];
        memcpy(p, original.data(), original.size());
        DWORD n = static_cast<DWORD>(original.size());
        ASSERT_TRUE(CUtilities::ZipBuffer(p, n, true, useMalloc));
        ASSERT_GE(n, 4u);
        EXPECT_EQ(memcmp(p, "PK\x03\x04", 4), 0);
        EXPECT_LT(n, original.size() / 2);
        // One entry "data", to the zip reader as to any other
        ZipHandle hZip = ZipOpen(p, n, ZIP_MEMORY);
        ASSERT_NE(hZip, nullptr);
        ZipEntryA entry{};
        ASSERT_EQ(ZipGetItem(hZip, 0, &entry), ZR_OK);
        EXPECT_STREQ(entry.name, "data");
        EXPECT_EQ(entry.unc_size, static_cast<LONG>(original.size()));
        ZipCloseReader(hZip);
        ASSERT_TRUE(CUtilities::UnzipBuffer(p, n, true, useMalloc));
        ASSERT_EQ(n, original.size());
        EXPECT_EQ(memcmp(p, original.data(), n), 0);
        if (useMalloc)
            free(p);
        else
            delete[] p;
    }
}

TEST(Utilities, ZipBufferFailuresLeaveTheBufferAlone)
{
    BYTE text[] = "no zip archive here, just some text of a reasonable length for a search";
    BYTE* p = text;
    DWORD n = sizeof text;
    EXPECT_FALSE(CUtilities::UnzipBuffer(p, n, true, true));
    EXPECT_EQ(p, text);
    EXPECT_EQ(n, sizeof text);
    DWORD zero = 0;
    EXPECT_FALSE(CUtilities::ZipBuffer(p, zero, true, true)) << "an empty buffer is no entry";
    EXPECT_EQ(p, text);

    // A damaged entry is refused instead of being handed out
    BYTE* packed = new BYTE[1000];
    memset(packed, 'r', 1000);
    DWORD nPacked = 1000;
    ASSERT_TRUE(CUtilities::ZipBuffer(packed, nPacked, true, false));
    packed[30 + 4 + 17 + 2] ^= 0x40; // inside the deflated data
    BYTE* before = packed;
    EXPECT_FALSE(CUtilities::UnzipBuffer(packed, nPacked, true, false));
    EXPECT_EQ(packed, before);
    delete[] packed;
}

TEST(Utilities, CreateGuidStringGivesTheLowerCaseForm)
{
    std::set<std::wstring> seen;
    for (int i = 0; i < 20; ++i)
    {
        std::wstring guid = Str(CUtilities::CreateGuidString());
        ASSERT_EQ(guid.size(), 36u) << "without braces";
        for (size_t k = 0; k < guid.size(); ++k)
        {
            if (k == 8 || k == 13 || k == 18 || k == 23)
                EXPECT_EQ(guid[k], L'-');
            else
                EXPECT_TRUE(iswxdigit(guid[k]) && !iswupper(guid[k])) << "lower-case hex at " << k;
        }
        EXPECT_EQ(guid[14], L'4') << "a random GUID";
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 20u);
}
