#include "interview/LumoClientVersion.h"
#include "interview/CFileVersionInfo.h"
#include "interview/CBrennClientApp.h"
#include "framework/testing/CActivationContextScope.h"
#include <gtest/gtest.h>
#include <string>

namespace
{
std::wstring Str(const CString& s)
{
    return static_cast<LPCWSTR>(s);
}

struct VersionCase
{
    const wchar_t* own;
    const wchar_t* control;
    const wchar_t* warning; // empty: none
    const char* why;
};
const VersionCase kVersionCases[] = {
    {L"5, 4, 9, 11", L"5.4.9.3", L"", "only the revision differs"},
    {L"5.4.9.11", L"5.4.8.1",
     L"Wrong version of LumoClient.ocx detected! (version v5.4.8.1)\nBrennClient needs a LumoClient.ocx with at least "
     L"version v5.4.9.0.",
     "an older control: its full version and the own one with revision 0"},
    {L"5.4.8.11", L"5.4.9.3",
     L"Wrong version of LumoClient.ocx detected! (version v5.4.9.3)\nBrennClient needs a LumoClient.ocx with at least "
     L"version v5.4.8.0.",
     "a newer control is a mismatch too"},
    {L"5, 4, 10, 1", L"5.4.1.1",
     L"Wrong version of LumoClient.ocx detected! (version v5.4.1.1)\nBrennClient needs a LumoClient.ocx with at least "
     L"version v5.4.10.0.",
     "the parts compare as texts of their own, not as a prefix"},
    {L"5.4.9.b", L"5.4.9.B", L"", "the revision is not compared at all"},
    {L"5.4.X.1", L"5.4.x.2", L"", "letters compare without case"},
};

TEST(LumoClientVersionWarning, ComparesUpToTheRevision)
{
    for (const auto& c : kVersionCases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(Str(LumoClientVersionWarning(c.own, c.control)), c.warning);
    }
}

TEST(FileVersionInfo, ReadsTheProgramsOwnVersion)
{
    CBrennClientApp app; // the texts of the warning come from the program's string table
    CFileVersionInfo info;
    ASSERT_TRUE(info.Load());
    EXPECT_EQ(Str(info.m_strFileVersion), L"5, 4, 9, 3");
    EXPECT_EQ(Str(info.m_strMajorVersion), L"5");
    EXPECT_EQ(Str(info.m_strMinorVersion), L"4");
    EXPECT_EQ(Str(info.m_strVersion), L"5.4.9.3");
    EXPECT_EQ(Str(info.m_strProductName), L"BrennClient");
    EXPECT_EQ(Str(info.m_strCompanyName), L"Quelmoor");
    EXPECT_EQ(Str(info.m_strOriginalFileName), L"BrennClient.exe");
    EXPECT_EQ(Str(info.m_strFileType), L"Application");
    EXPECT_EQ(Str(info.m_strFileOS), L"Win32 API on Windows NT");
    EXPECT_EQ(info.m_nLanguage, 0x0409);
    EXPECT_EQ(info.m_nCodePage, 1200);
    EXPECT_EQ(info.m_dtFileTime.GetStatus(), COleDateTime::valid);
    // The program's own file version is what the warning reads; the control it ships with agrees.
    EXPECT_EQ(Str(LumoClientVersionWarning(info.m_strFileVersion, L"5.4.9.3")), L"");
}

TEST(FileVersionInfo, NamesFileTypesAndSystems)
{
    EXPECT_EQ(Str(CFileVersionInfo::FileTypeText(3, 9)), L"Sound driver");
    EXPECT_EQ(Str(CFileVersionInfo::FileTypeText(3, 10)), L"");
    EXPECT_EQ(Str(CFileVersionInfo::FileTypeText(4, 3)), L"Truetype font");
    EXPECT_EQ(Str(CFileVersionInfo::FileTypeText(6, 0)), L"");
    EXPECT_EQ(Str(CFileVersionInfo::FileOSText(0x10001)), L"16-bit windows running on MS-DOS");
    EXPECT_EQ(Str(CFileVersionInfo::FileOSText(0x40005)), L"");
}
} // namespace

namespace
{
TEST(FileVersionInfo, SplitsTheFixedVersionOfAnyFile)
{
    CFileVersionInfo info;
    ASSERT_TRUE(info.LoadFrom(PathBesideProgram(L"BrennClientFRA.dll").c_str()));
    EXPECT_EQ(Str(info.m_strMajorVersion), L"5");
    EXPECT_EQ(Str(info.m_strMinorVersion), L"4");
    EXPECT_EQ(Str(info.m_strVersion), L"5.4.9.0");
    EXPECT_EQ(Str(info.m_strFileType), L"Dynamic link library");
    EXPECT_EQ(info.m_nLanguage, 0x040C);
    EXPECT_EQ(Str(info.m_strCompanyName), L"") << "a missing entry is an empty text";
}

TEST(FileVersionInfo, FailsWithEmptyTextsWithoutAVersion)
{
    CFileVersionInfo info;
    EXPECT_FALSE(info.LoadFrom(PathBesideProgram(L"LumoClient.manifest").c_str()));
    EXPECT_EQ(Str(info.m_strFileVersion), L"");
    EXPECT_EQ(Str(info.m_strVersion), L"");
}
} // namespace
