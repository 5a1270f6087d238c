#include "interview/CBrennResourceCache.h"
#include "framework/CHandleOwner.h"
#include "interview/CLanguageLoader.h"
#include <gtest/gtest.h>
#include <string>

namespace
{
std::wstring Str(const CString& s)
{
    return static_cast<LPCWSTR>(s);
}

std::wstring TempFolder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, buffer);
    std::wstring folder(buffer);
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

std::wstring ProgramFolder()
{
    const std::wstring path = Str(GetProgramPath());
    return path.substr(0, path.rfind(L'\\') + 1);
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteFile(const std::wstring& path)
{
    const CFileHandle hFile(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD n = 0;
    return hFile.IsValid() && ::WriteFile(hFile.Get(), "x", 1, &n, nullptr);
}

class ResourceCacheTest : public ::testing::Test
{
protected:
    void SetUp() override { CBrennResourceCache::DeleteCache(false); }
    void TearDown() override
    {
        CBrennResourceCache::DeleteCache(false);
        CBrennResourceCache::DeleteCache(true);
    }
};

TEST_F(ResourceCacheTest, SurveysGetFoldersOfTheirOwnBelowBrenn)
{
    const std::wstring brenn = TempFolder() + L"Brenn\\";
    EXPECT_EQ(Str(CBrennResourceCache::GetSurveyFolderName(12, false)), brenn + L"Survey-12");
    EXPECT_FALSE(Exists(brenn + L"Survey-12")) << "the name alone makes nothing";
    EXPECT_EQ(Str(CBrennResourceCache::GetSurveyFolder(12, false)), brenn + L"Survey-12\\");
    EXPECT_EQ(Str(CBrennResourceCache::GetSurveyFolder(7, false)), brenn + L"Survey-7\\");
    EXPECT_TRUE(Exists(brenn + L"Survey-12") && Exists(brenn + L"Survey-7"));
    EXPECT_EQ(Str(CBrennResourceCache::GetSurveyFolder(12, true)), ProgramFolder() + L"Brenn\\Survey-12\\")
        << "stand-alone keeps them beside the program";
}

TEST_F(ResourceCacheTest, AFolderThatCannotBeMadeGivesTheBaseFolder)
{
    ASSERT_EQ(Str(CBrennResourceCache::GetSurveyFolder(1, false)), TempFolder() + L"Brenn\\Survey-1\\");
    ASSERT_TRUE(WriteFile(TempFolder() + L"Brenn\\Survey-9")); // a file where the folder would go
    EXPECT_EQ(Str(CBrennResourceCache::GetSurveyFolder(9, false)), TempFolder());
}

TEST_F(ResourceCacheTest, CleanUpEmptiesBrennAndKeepsIt)
{
    const std::wstring survey12 = Str(CBrennResourceCache::GetSurveyFolder(12, false));
    const std::wstring survey7 = Str(CBrennResourceCache::GetSurveyFolder(7, false));
    ASSERT_TRUE(::CreateDirectoryW((survey12 + L"media").c_str(), nullptr));
    ASSERT_TRUE(WriteFile(survey12 + L"media\\1.png"));
    ASSERT_TRUE(WriteFile(survey7 + L"Survey.tvx"));
    ASSERT_TRUE(::SetFileAttributesW((survey7 + L"Survey.tvx").c_str(), FILE_ATTRIBUTE_READONLY));

    EXPECT_TRUE(CBrennResourceCache::DeleteCache(false));
    EXPECT_FALSE(Exists(survey12));
    EXPECT_FALSE(Exists(survey7));
    EXPECT_TRUE(Exists(TempFolder() + L"Brenn"));
    EXPECT_FALSE(CBrennResourceCache::DeleteCache(false)) << "nothing was left to find";
}

TEST_F(ResourceCacheTest, CleanUpRemovesALinkButNotWhatItPointsAt)
{
    const std::wstring target = TempFolder() + L"BrennLinkTarget";
    ::CreateDirectoryW(target.c_str(), nullptr);
    ASSERT_TRUE(WriteFile(target + L"\\keep.txt"));
    const std::wstring survey = Str(CBrennResourceCache::GetSurveyFolder(5, false));
    const std::wstring link = survey + L"linked";
    ASSERT_TRUE(::CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY))
        << "error " << ::GetLastError();
    ASSERT_NE(::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u) << "the walk sees a link";

    EXPECT_TRUE(CBrennResourceCache::DeleteCache(false));
    EXPECT_FALSE(Exists(link));
    EXPECT_FALSE(Exists(survey));
    EXPECT_TRUE(Exists(target + L"\\keep.txt")) << "the link's target is not ours";
    ::DeleteFileW((target + L"\\keep.txt").c_str());
    ::RemoveDirectoryW(target.c_str());
}
} // namespace
