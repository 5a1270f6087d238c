#include "interview/CLanguageLoader.h"
#include "framework/testing/CMessageBoxAnswerer.h"
#include "framework/testing/CScratchRegistry.h"
#include "interview/BrennResource.h"
#include "interview/CBrennClientApp.h"
#include "interview/CBrennIniFile.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

// The test program carries BrennClient's resources (English, the own language 0x0409), and beside
// it lies BrennClientFRA.dll, a French library (0x040C) holding one text.
namespace
{
constexpr wchar_t kEnglish[] = L"Cannot connect to LUMO";
constexpr wchar_t kFrench[] = L"Impossible de se connecter a LUMO";

std::wstring Text(UINT nId)
{
    CString text;
    text.LoadString(nId);
    return static_cast<LPCWSTR>(text);
}

std::wstring Abbreviation(WORD nLanguage)
{
    wchar_t text[4] = {};
    ::GetLocaleInfoW(nLanguage, LOCALE_SABBREVLANGNAME, text, 4);
    return text;
}

class LanguageLoaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_registry.IsRedirected());
        CIniFileBase::Open(L"Software\\Quelmoor\\BrennClient", TRUE, FALSE);
        m_loader.SetBaseName(L"BrennClient");
    }
    void TearDown() override { CIniFileBase::Close(); }

    CBrennClientApp m_app;
    CScratchRegistry m_registry{L"Software\\LumoTests\\interview_language"};
    CLanguageLoader m_loader;
};

TEST_F(LanguageLoaderTest, OwnLanguageComesFromTheProgramsTranslation)
{
    EXPECT_EQ(m_loader.GetOwnLanguage(), 0x0409);
    EXPECT_EQ(GetFileLanguage(GetProgramPath()), 0x0409);
    EXPECT_EQ(GetFileLanguage(L"C:\\no\\such\\file.dll"), 0);
}

TEST_F(LanguageLoaderTest, FallsBackFromTheRegionToTheLanguagesLibrary)
{
    // Wine names Belgian French FRB and the bare primary language as its default region, FRA: the
    // primary language is the one that finds the library, and the chain stops there.
    ASSERT_EQ(Abbreviation(0x080C), L"FRB");
    ASSERT_EQ(Abbreviation(0x000C), L"FRA");

    m_loader.SetLanguage(0x080C);
    m_loader.LoadBestLanguage();
    EXPECT_EQ(m_loader.GetTriedLanguages(), (std::vector<WORD>{0x080C, 0x000C}));
    EXPECT_EQ(m_loader.GetLanguage(), 0x000C) << "the language that loaded stays current";
    ASSERT_NE(m_loader.GetLibrary(), nullptr);
    EXPECT_EQ(AfxGetResourceHandle(), m_loader.GetLibrary());
    EXPECT_EQ(Text(IDS_CANNOT_CONNECT), kFrench);
    EXPECT_EQ(Text(IDS_SOCKETS_INIT_FAILED), L"Windows sockets initialization failed.")
        << "a text the library lacks comes from the program";
}

TEST_F(LanguageLoaderTest, OwnLanguageUnloadsWithoutLookingForAFile)
{
    m_loader.SetLanguage(0x040C);
    m_loader.LoadBestLanguage();
    ASSERT_EQ(Text(IDS_CANNOT_CONNECT), kFrench);

    m_loader.ClearTriedLanguages();
    m_loader.SetLanguage(0x0409);
    m_loader.LoadBestLanguage();
    EXPECT_EQ(m_loader.GetTriedLanguages(), (std::vector<WORD>{0x0409}));
    EXPECT_EQ(m_loader.GetLibrary(), nullptr);
    EXPECT_EQ(AfxGetResourceHandle(), AfxGetInstanceHandle());
    EXPECT_EQ(Text(IDS_CANNOT_CONNECT), kEnglish);
}

TEST_F(LanguageLoaderTest, UnknownCandidatesEndWithTheOwnLanguage)
{
    // No library for German in any form, no setting: the region, the primary language and its
    // default region are tried; then the user's language, the prefix's English, is the own one.
    m_loader.SetLanguage(0x0807);
    m_loader.LoadBestLanguage();
    const std::vector<WORD>& tried = m_loader.GetTriedLanguages();
    ASSERT_GE(tried.size(), 4u);
    EXPECT_EQ((std::vector<WORD>(tried.begin(), tried.begin() + 3)), (std::vector<WORD>{0x0807, 0x0007, 0x0407}));
    EXPECT_EQ(m_loader.GetLibrary(), nullptr);
    EXPECT_EQ(Text(IDS_CANNOT_CONNECT), kEnglish);
}

TEST_F(LanguageLoaderTest, TheSettingComesBeforeTheUsersLanguage)
{
    CBrennIniFile::SetLanguageId(0x040C);
    m_loader.LoadBestLanguage();
    EXPECT_EQ(m_loader.GetTriedLanguages(), (std::vector<WORD>{0x040C}));
    EXPECT_EQ(Text(IDS_CANNOT_CONNECT), kFrench);
}

TEST_F(LanguageLoaderTest, MenuListsEveryLanguageWithTheCurrentOneMarked)
{
    m_loader.SetLanguage(0x040C);
    m_loader.LoadBestLanguage();
    const HMENU hMenu = m_loader.BuildLanguageMenu(CLanguageLoader::kFirstLanguageCommand);
    ASSERT_NE(hMenu, nullptr);
    ASSERT_EQ(::GetMenuItemCount(hMenu), 2);
    EXPECT_EQ(m_loader.GetLanguages()[0], 0x0409);
    EXPECT_EQ(m_loader.GetLanguages()[1], 0x040C);
    for (UINT i = 0; i < 2; ++i)
    {
        MENUITEMINFOW info{sizeof info};
        info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
        wchar_t text[64] = {};
        info.dwTypeData = text;
        info.cch = 64;
        ASSERT_TRUE(::GetMenuItemInfoW(hMenu, i, TRUE, &info));
        SCOPED_TRACE(i);
        EXPECT_EQ(info.wID, CLanguageLoader::kFirstLanguageCommand + i);
        EXPECT_EQ(std::wstring(text), static_cast<LPCWSTR>(GetLanguageDisplayName(m_loader.GetLanguages()[i])));
        EXPECT_EQ((info.fType & MFT_RADIOCHECK) != 0, i == 1) << "only the current language is a radio mark";
        EXPECT_EQ((info.fState & MFS_CHECKED) != 0, i == 1);
    }
    EXPECT_TRUE(m_loader.IsCurrentLanguage(1));
    EXPECT_FALSE(m_loader.IsCurrentLanguage(0));
    EXPECT_FALSE(m_loader.IsCurrentLanguage(2));
    ::DestroyMenu(hMenu);
}

TEST_F(LanguageLoaderTest, SwitchingStoresTheChoiceAndAppliesItOrAsksForARestart)
{
    CMessageBoxAnswerer boxes;
    m_loader.FindLanguages();
    m_loader.SwitchLanguage(CLanguageLoader::kFirstLanguageCommand + 1, TRUE);
    EXPECT_EQ(CBrennIniFile::GetLanguageId(), 0x040C);
    EXPECT_EQ(Text(IDS_CANNOT_CONNECT), kFrench);
    EXPECT_TRUE(boxes.Boxes().empty());

    m_loader.SwitchLanguage(CLanguageLoader::kFirstLanguageCommand, FALSE);
    EXPECT_EQ(CBrennIniFile::GetLanguageId(), 0x0409);
    EXPECT_EQ(Text(IDS_CANNOT_CONNECT), kFrench) << "the running program keeps its language";
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(std::wstring(boxes.Boxes()[0].text), L"Please restart BrennClient");
    EXPECT_EQ(boxes.Boxes()[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));

    m_loader.SwitchLanguage(CLanguageLoader::kFirstLanguageCommand + 2, TRUE);
    EXPECT_EQ(CBrennIniFile::GetLanguageId(), 0x0409) << "a command past the list is ignored";
    m_loader.SwitchLanguage(CLanguageLoader::kFirstLanguageCommand - 1, TRUE);
    EXPECT_EQ(CBrennIniFile::GetLanguageId(), 0x0409);
}

TEST(LanguageNames, FallBackToTheNumber)
{
    EXPECT_EQ(std::wstring(GetLanguageDisplayName(0x040C)), L"fran\u00e7ais");
    EXPECT_EQ(std::wstring(GetLanguageDisplayName(0x7FFF)), L"32767 - ???");
}
} // namespace
