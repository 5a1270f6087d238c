#include "core/CPropertyList.h"
#include "core/CVersionInfo.h"
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

// The test program carries version 1.2.3.0 (a test build, VersionInfoTests.rc);
// the fixture program beside it carries 1.2.3.4 with a German text block only
// (VersionFixture.rc).
namespace
{
std::wstring Str(const CString& s)
{
    return static_cast<LPCWSTR>(s);
}

std::wstring OwnPath()
{
    wchar_t sz[MAX_PATH * 4];
    return std::wstring(sz, GetModuleFileNameW(nullptr, sz, MAX_PATH * 4));
}

std::wstring FixturePath()
{
    const std::wstring own = OwnPath();
    return own.substr(0, own.find_last_of(L"\\/") + 1) + L"core_version_fixture.exe";
}

std::wstring TempFile(const wchar_t* pszName)
{
    wchar_t sz[MAX_PATH];
    GetTempPathW(MAX_PATH, sz);
    return std::wstring(sz) + pszName + std::to_wstring(GetCurrentProcessId());
}

std::vector<char> ReadAll(const std::wstring& path)
{
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), {});
}

void WriteAll(const std::wstring& path, const std::vector<char>& data)
{
    std::ofstream file(std::filesystem::path(path), std::ios::binary);
    file.write(data.data(), static_cast<std::streamsize>(data.size()));
}

COleDateTime LocalLastWrite(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA a{};
    FILETIME local{};
    SYSTEMTIME st{};
    EXPECT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a));
    FileTimeToLocalFileTime(&a.ftLastWriteTime, &local);
    FileTimeToSystemTime(&local, &st);
    return COleDateTime(st);
}

class CTempFile
{
public:
    explicit CTempFile(std::wstring path) : m_path(std::move(path)) {}
    ~CTempFile() { DeleteFileW(m_path.c_str()); }
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};

const int kDataOfThisProgram = 1; // any address inside the test program
} // namespace

TEST(CVersionInfo, ReadsTheOwnExecutable)
{
    CVersionInfo info;
    ASSERT_TRUE(info.Read());
    EXPECT_EQ(Str(info.m_strFile), OwnPath()) << "the path is stored";
    EXPECT_EQ(Str(info.m_strVersion), L"1.2.3.0");
    EXPECT_EQ(info.m_nTestBuild, 1) << "the fourth part is 0";
    EXPECT_EQ(info.m_dwFileFlags, static_cast<DWORD>(VS_FF_PRERELEASE));
    EXPECT_EQ(Str(info.m_strLegalCopyright), L"Copyright (C) 2026 Quelmoor test");
    EXPECT_EQ(info.m_n64Bit, 1) << "the build is 64-bit";
    ASSERT_EQ(info.m_dtFileDate.GetStatus(), COleDateTime::valid);
    EXPECT_EQ(info.m_dtFileDate, LocalLastWrite(OwnPath()));
}

TEST(CVersionInfo, ModuleAndAddressLeadToTheSameFile)
{
    CVersionInfo byModule, byAddress;
    ASSERT_TRUE(byModule.ReadFromModule(GetModuleHandleW(nullptr)));
    ASSERT_TRUE(byAddress.ReadFromAddress(&kDataOfThisProgram));
    EXPECT_EQ(Str(byModule.m_strFile), OwnPath());
    EXPECT_EQ(Str(byAddress.m_strFile), OwnPath());
    EXPECT_EQ(Str(byAddress.m_strVersion), L"1.2.3.0");
}

TEST(CVersionInfo, ReadsAnotherFileAndOnlyTheUsEnglishTexts)
{
    CVersionInfo info;
    ASSERT_TRUE(info.Read()); // leaves a legal text behind
    ASSERT_TRUE(info.ReadFromFile(FixturePath().c_str()));
    EXPECT_EQ(Str(info.m_strFile), FixturePath());
    EXPECT_EQ(Str(info.m_strVersion), L"1.2.3.4");
    EXPECT_EQ(info.m_nTestBuild, 0);
    EXPECT_EQ(info.m_dwFileFlags, 0u);
    EXPECT_EQ(Str(info.m_strLegalCopyright), L"") << "the German block is not read, and the old text is gone";
}

TEST(CVersionInfo, DisplayTextShowsTheBitsAndATestBuildsDate)
{
    CVersionInfo released;
    ASSERT_TRUE(released.ReadFromFile(FixturePath().c_str()));
    EXPECT_EQ(Str(released.GetDisplayText(L"Lumo")), L"Lumo version 1.2.3.4 (64-bit)");

    CVersionInfo beta;
    ASSERT_TRUE(beta.Read());
    const std::wstring expected = L"Lumo version 1.2.3.0 (64-bit)  -  BETA from " + Str(beta.m_dtFileDate.Format());
    EXPECT_EQ(Str(beta.GetDisplayText(L"Lumo")), expected);
    EXPECT_GT(expected.size(), std::wstring(L"Lumo version 1.2.3.0 (64-bit)  -  BETA from ").size() + 6)
        << "the date is written out";

    beta.m_n64Bit = 0;
    EXPECT_EQ(Str(beta.GetDisplayText(L"Lumo")).rfind(L"Lumo version 1.2.3.0 (32-bit)  -  BETA from ", 0), 0u);
}

TEST(CVersionInfo, FilesWithoutVersionResourceFail)
{
    const CTempFile text(TempFile(L"lumo-version-text-"));
    WriteAll(text.Path(), {'n', 'o', ' ', 'P', 'E'});
    struct FileCase
    {
        std::wstring path;
        const char* why;
    };
    const FileCase cases[] = {
        {text.Path(), "a text file"},
        {TempFile(L"lumo-version-missing-"), "a file that is not there"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CVersionInfo info;
        EXPECT_FALSE(info.ReadFromFile(c.path.c_str()));
        EXPECT_EQ(Str(info.m_strFile), c.path);
        EXPECT_EQ(Str(info.m_strVersion), L"");
    }
}

TEST(CVersionInfo, BitnessComesFromThePeHeader)
{
    const std::vector<char> image = ReadAll(FixturePath());
    ASSERT_GT(image.size(), 0x200u);
    const auto& dos = *reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    const size_t magicAt = dos.e_lfanew + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
    ASSERT_LT(magicAt + 2, image.size());

    std::vector<char> pe32 = image;
    pe32[magicAt] = 0x0b; // IMAGE_NT_OPTIONAL_HDR32_MAGIC is 0x10b
    pe32[magicAt + 1] = 0x01;
    std::vector<char> noSignature = image;
    noSignature[dos.e_lfanew] = 'X';
    const CTempFile pe32File(TempFile(L"lumo-pe32-")), brokenFile(TempFile(L"lumo-nope-"));
    WriteAll(pe32File.Path(), pe32);
    WriteAll(brokenFile.Path(), noSignature);

    EXPECT_TRUE(CVersionInfo::IsPe64File(OwnPath().c_str()));
    EXPECT_TRUE(CVersionInfo::IsPe64File(FixturePath().c_str()));
    EXPECT_FALSE(CVersionInfo::IsPe64File(pe32File.Path().c_str())) << "a PE32 optional header";
    EXPECT_FALSE(CVersionInfo::IsPe64File(brokenFile.Path().c_str())) << "no PE signature";
    EXPECT_FALSE(CVersionInfo::IsPe64File(L"Z:\\lumo\\no\\such\\file.exe"));
}

TEST(CVersionInfo, TextFormRoundTrips)
{
    CVersionInfo info;
    ASSERT_TRUE(info.Read());
    const CString text = info.GetText();
    const CPropertyList list(text, false);
    EXPECT_EQ(Str(list.GetPropertyString(L"Ver", L"")), L"1.2.3.0");
    EXPECT_EQ(list.GetPropertyLong(L"64b", -1), 1);
    EXPECT_EQ(list.GetPropertyLong(L"Tst", -1), 1);

    CVersionInfo back;
    back.SetFromText(text);
    EXPECT_EQ(Str(back.m_strFile), Str(info.m_strFile));
    EXPECT_EQ(Str(back.m_strVersion), L"1.2.3.0");
    EXPECT_EQ(Str(back.m_strLegalCopyright), Str(info.m_strLegalCopyright));
    EXPECT_EQ(back.m_n64Bit, 1);
    EXPECT_EQ(back.m_nTestBuild, 1);
    EXPECT_EQ(back.m_dtFileDate, info.m_dtFileDate) << "the date has whole seconds";
}

TEST(CVersionInfo, TextWithoutKeysEmptiesTextsAndKeepsFlags)
{
    CVersionInfo info;
    ASSERT_TRUE(info.Read());
    const COleDateTime date = info.m_dtFileDate;
    CPropertyList list;
    list.SetProperty(L"64b", L"many"); // not a number
    list.SetProperty(L"Dat", L"not a date");
    info.SetFromText(list.GetString());
    EXPECT_EQ(Str(info.m_strFile), L"");
    EXPECT_EQ(Str(info.m_strVersion), L"");
    EXPECT_EQ(Str(info.m_strLegalCopyright), L"");
    EXPECT_EQ(info.m_n64Bit, 1) << "a flag that is not a number is left alone";
    EXPECT_EQ(info.m_nTestBuild, 1) << "an absent flag is left alone";
    EXPECT_EQ(info.m_dtFileDate, date) << "a date that is not well formed is not taken";
}

TEST(CVersionInfo, CopyTakesEveryMember)
{
    CVersionInfo info;
    ASSERT_TRUE(info.Read());
    CVersionInfo copy;
    copy = info;
    EXPECT_EQ(Str(copy.m_strFile), Str(info.m_strFile));
    EXPECT_EQ(Str(copy.m_strVersion), Str(info.m_strVersion));
    EXPECT_EQ(Str(copy.m_strLegalCopyright), Str(info.m_strLegalCopyright));
    EXPECT_EQ(copy.m_n64Bit, info.m_n64Bit);
    EXPECT_EQ(copy.m_nTestBuild, info.m_nTestBuild);
    EXPECT_EQ(copy.m_dwFileFlags, info.m_dwFileFlags);
    EXPECT_EQ(copy.m_dtFileDate, info.m_dtFileDate);
}
