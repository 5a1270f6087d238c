// Where the files of Jex's commands lie: every path stays inside the work folder, whatever name
// Jex sends.
#include "sessions/CJexWorkFolder.h"
#include <gtest/gtest.h>
#include <string>

namespace
{
const CString kFolder = L"C:\\Work\\";

struct ExtensionCase
{
    const wchar_t* name;
    const wchar_t* extension;
    const char* why;
};
const ExtensionCase kExtensionCases[] = {
    {L"report.pdf", L".pdf", "a plain extension is kept"},
    {L"a.b.tar_gz-1", L".tar_gz-1", "the last dot's extension, with underscores and hyphens"},
    {L"noext", L"", "no dot, no extension"},
    {L"name.", L"", "an empty extension is none"},
    {L"x.abcdefghijklmnopq", L"", "seventeen characters are too long"},
    {L"x.abcdefghijklmnop", L".abcdefghijklmnop", "sixteen are not"},
    {L"a.txt:stream", L"", "an alternate stream is no extension"},
    {L"a.\\..\\evil", L"", "a path is no extension"},
    {L"a.exe ", L"", "a blank is no part of an extension"},
};
} // namespace

TEST(JexWorkFolder, AttachmentPathIsAFreshNameInTheFolderWithAPlainExtensionOnly)
{
    const CJexWorkFolder folder(kFolder);
    for (const auto& c : kExtensionCases)
    {
        SCOPED_TRACE(c.why);
        const CString strPath = folder.AttachmentPath(c.name);
        const CString strExtension = c.extension;
        ASSERT_EQ(std::wstring(strPath.Left(kFolder.GetLength()).GetString()), kFolder.GetString());
        EXPECT_EQ(std::wstring(strPath.Right(strExtension.GetLength()).GetString()), c.extension);
        const CString strFresh =
            strPath.Mid(kFolder.GetLength(), strPath.GetLength() - kFolder.GetLength() - strExtension.GetLength());
        EXPECT_GE(strFresh.GetLength(), 32) << "a GUID names the file, got " << CStringA(strPath).GetString();
        EXPECT_LT(strFresh.FindOneOf(L"\\/:."), 0) << CStringA(strPath).GetString();
    }
    EXPECT_NE(folder.AttachmentPath(L"a.txt"), folder.AttachmentPath(L"a.txt")) << "two attachments, two files";
}

TEST(JexWorkFolder, UpdateProgramLiesInTheFolder)
{
    EXPECT_EQ(std::wstring(CJexWorkFolder(kFolder).UpdateProgramPath().GetString()), L"C:\\Work\\Stovik.exe");
}

TEST(JexWorkFolder, RecordingPathFollowsTheKindAndRefusesNamesThatLeaveTheFolder)
{
    struct Case
    {
        int kind;
        const wchar_t* folder;
        const wchar_t* name;
        const wchar_t* path;
        const char* why;
    };
    const Case cases[] = {
        {0, L"12", L"r.wav", L"C:\\Work\\Task12\\r.wav", "a task's recording lies in its task folder"},
        {1, L"12", L"r.wav", L"C:\\Work\\StereoRecordings\\r.wav", "a stereo recording ignores the folder field"},
        {2, L"12", L"r.wav", L"", "other kinds name no file"},
        {-1, L"12", L"r.wav", L"", "nor do negative ones"},
        {0, L"12", L"", L"", "an empty name is no file"},
        {0, L"..", L"r.wav", L"", "a folder that climbs out"},
        {0, L"1", L"..\\r.wav", L"", "a name that climbs out"},
        {0, L"1", L"sub\\r.wav", L"", "a name with a backslash"},
        {0, L"1", L"sub/r.wav", L"", "a name with a slash"},
        {1, L"x", L"D:r.wav", L"", "a name on another drive"},
        {1, L"a/b", L"r.wav", L"", "the folder field is checked for stereo recordings too"},
    };
    const CJexWorkFolder folder(kFolder);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(std::wstring(folder.RecordingPath(c.kind, c.folder, c.name).GetString()), std::wstring(c.path));
        EXPECT_EQ(CJexWorkFolder::IsRecordingKind(c.kind), c.kind == 0 || c.kind == 1);
    }
}
