// Files: disk files behind handles with the framework's exceptions, memory files over their own or
// borrowed buffers, text files through C runtime streams, and CTime's view of file times.
#include "framework/CFile.h"
#include "framework/CFileException.h"
#include "framework/CMemFile.h"
#include "framework/CStdioFile.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
// A fresh folder under the temporary folder for each test, removed with everything in it.
class TempFolder
{
public:
    TempFolder()
    {
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        wchar_t name[64] = {};
        swprintf(name, 64, L"fw2-%lu-%lu", GetCurrentProcessId(), GetTickCount() + s_counter++);
        m_path = std::wstring(base) + name;
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~TempFolder()
    {
        WIN32_FIND_DATAW data{};
        const HANDLE find = FindFirstFileW((m_path + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE)
        {
            do
            {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(Path(data.cFileName).c_str());
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        RemoveDirectoryW(m_path.c_str());
    }
    std::wstring Path(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    static inline DWORD s_counter = 0;
    std::wstring m_path;
};

std::string ReadAllBytes(const std::wstring& path)
{
    std::string bytes;
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

void WriteAllBytes(const std::wstring& path, const std::string& bytes)
{
    CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
}

struct Caught
{
    int cause = -100;
    LONG osError = 0;
    CString fileName;
};

template <typename F> Caught FileExceptionOf(F action)
{
    Caught caught;
    try
    {
        action();
    }
    catch (CFileException* e)
    {
        caught = {e->m_cause, e->m_lOsError, e->m_strFileName};
        e->Delete();
    }
    return caught;
}

TEST(CFile, OpenReportsFailuresThroughItsExceptionObject)
{
    TempFolder folder;
    struct Case
    {
        std::wstring path;
        UINT flags;
        int cause;
        LONG error;
        const char* why;
    };
    const Case cases[] = {
        {folder.Path(L"missing.txt"), CFile::modeRead, CFileException::fileNotFound, ERROR_FILE_NOT_FOUND,
         "a file that does not exist"},
        {folder.Path(L"no-folder\\x.txt"), CFile::modeCreate | CFile::modeWrite, CFileException::badPath,
         ERROR_PATH_NOT_FOUND, "a folder that does not exist"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CFile file;
        CFileException error;
        EXPECT_FALSE(file.Open(c.path.c_str(), c.flags, &error));
        EXPECT_EQ(error.m_cause, c.cause);
        EXPECT_EQ(error.m_lOsError, c.error);
        EXPECT_STREQ(error.m_strFileName.GetString(), c.path.c_str());
        EXPECT_EQ(file.m_hFile, CFile::hFileNull);
        EXPECT_FALSE(file.Open(c.path.c_str(), c.flags)) << "without an exception object too";

        const Caught thrown = FileExceptionOf([&] { CFile opened(c.path.c_str(), c.flags); });
        EXPECT_EQ(thrown.cause, c.cause) << "the opening constructor throws";
        EXPECT_EQ(thrown.osError, c.error);
    }
}

TEST(CFile, SharingModesAreEnforced)
{
    TempFolder folder;
    const std::wstring path = folder.Path(L"shared.bin");
    WriteAllBytes(path, "data");
    CFile exclusive(path.c_str(), CFile::modeRead | CFile::shareExclusive);
    const Caught second = FileExceptionOf([&] { CFile again(path.c_str(), CFile::modeRead | CFile::shareDenyNone); });
    EXPECT_EQ(second.cause, CFileException::sharingViolation);
    EXPECT_EQ(second.osError, ERROR_SHARING_VIOLATION);
    exclusive.Close();
    CFile reader(path.c_str(), CFile::modeRead | CFile::shareDenyWrite);
    CFile otherReader;
    EXPECT_TRUE(otherReader.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone)) << "readers may share";
}

TEST(CFile, ReadWriteSeekAndLength)
{
    TempFolder folder;
    const std::wstring path = folder.Path(L"data.bin");
    CFile file(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
    EXPECT_STREQ(file.GetFilePath().GetString(), path.c_str());
    EXPECT_STREQ(file.GetFileName().GetString(), L"data.bin");
    EXPECT_STREQ(file.GetFileTitle().GetString(), L"data");
    file.Write("hello world", 11);
    EXPECT_EQ(file.GetLength(), 11u);
    EXPECT_EQ(file.GetPosition(), 11u);
    EXPECT_EQ(file.Seek(-5, CFile::end), 6u);
    char buffer[16] = {};
    EXPECT_EQ(file.Read(buffer, 16), 5u) << "fewer bytes at the end";
    EXPECT_STREQ(buffer, "world");
    EXPECT_EQ(file.Read(buffer, 16), 0u);
    file.SetLength(5);
    EXPECT_EQ(file.GetLength(), 5u);
    EXPECT_EQ(file.GetPosition(), 5u);
    file.SeekToBegin();
    EXPECT_EQ(file.SeekToEnd(), 5u);
    file.Flush();
    file.Close();
    EXPECT_EQ(file.m_hFile, CFile::hFileNull);
    EXPECT_EQ(ReadAllBytes(path), "hello");

    CFile keep(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite);
    EXPECT_EQ(keep.GetLength(), 5u) << "modeNoTruncate keeps the content";
    keep.Close();
    CFile truncate(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ(truncate.GetLength(), 0u) << "modeCreate alone truncates";
}

TEST(CFile, OperationFailuresRaiseTheWindowsError)
{
    TempFolder folder;
    const std::wstring path = folder.Path(L"write-only.bin");
    CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    char buffer[4];
    const Caught read = FileExceptionOf([&] { file.Read(buffer, 4); });
    EXPECT_EQ(read.cause, CFileException::accessDenied) << "reading a write-only file";
    EXPECT_EQ(read.osError, ERROR_ACCESS_DENIED);
    EXPECT_STREQ(read.fileName.GetString(), path.c_str());

    const Caught seek = FileExceptionOf([&] { file.Seek(-10, CFile::begin); });
    EXPECT_EQ(seek.osError, ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(seek.cause, CFileException::badSeek);

    const Caught removed = FileExceptionOf([&] { CFile::Remove(folder.Path(L"nothing.bin").c_str()); });
    EXPECT_EQ(removed.cause, CFileException::fileNotFound);
    EXPECT_EQ(removed.osError, ERROR_FILE_NOT_FOUND);
}

TEST(CFile, RenameRemoveAndStatus)
{
    TempFolder folder;
    const std::wstring first = folder.Path(L"first.txt"), second = folder.Path(L"second.txt");
    WriteAllBytes(first, "12345");
    CFile::Rename(first.c_str(), second.c_str());
    EXPECT_EQ(ReadAllBytes(second), "12345");
    EXPECT_EQ(ReadAllBytes(first), "<missing>");
    const Caught renameMissing = FileExceptionOf([&] { CFile::Rename(first.c_str(), second.c_str()); });
    EXPECT_EQ(renameMissing.cause, CFileException::fileNotFound);

    CFileStatus status;
    ASSERT_TRUE(CFile::GetStatus(second.c_str(), status));
    EXPECT_EQ(status.m_size, 5u);
    EXPECT_STREQ(status.m_szFullName, second.c_str());
    EXPECT_EQ(status.m_attribute & CFile::directory, 0);
    EXPECT_LT(std::llabs(static_cast<long long>((CTime::GetCurrentTime() - status.m_mtime).GetTotalSeconds())), 600)
        << "written just now";
    const CTime written = status.m_mtime;
    EXPECT_FALSE(CFile::GetStatus(first.c_str(), status)) << "a missing file has no status";
    EXPECT_EQ(status.m_size, 0u) << "and the status is cleared";

    CFile open(second.c_str(), CFile::modeRead);
    CFileStatus byHandle;
    ASSERT_TRUE(open.GetStatus(byHandle));
    EXPECT_EQ(byHandle.m_size, 5u);
    EXPECT_EQ(byHandle.m_mtime, written);
    open.Close();

    CFile::Remove(second.c_str());
    EXPECT_EQ(ReadAllBytes(second), "<missing>");
}

TEST(CFile, DuplicateIsAnIndependentHandleOnTheSameFile)
{
    TempFolder folder;
    const std::wstring path = folder.Path(L"dup.bin");
    CFile file(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
    file.Write("abc", 3);
    CFile* copy = file.Duplicate();
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->m_hFile, file.m_hFile);
    EXPECT_STREQ(copy->GetFilePath().GetString(), path.c_str());
    copy->Write("def", 3); // duplicated handles share the position
    delete copy;           // closes only the duplicate
    EXPECT_EQ(file.GetLength(), 6u);
    EXPECT_EQ(file.GetPosition(), 6u);
    CFile none;
    EXPECT_EQ(none.Duplicate(), nullptr);
}

TEST(CFile, AbortAndDestructorKeepTheLastError)
{
    TempFolder folder;
    const std::wstring path = folder.Path(L"a.bin");
    {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        SetLastError(ERROR_DISK_FULL);
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL)) << "the destructor closed without disturbing it";
    CFile file(path.c_str(), CFile::modeRead);
    SetLastError(ERROR_BUSY);
    file.Abort();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_EQ(file.m_hFile, CFile::hFileNull);
    file.Abort(); // twice is harmless
    file.Close(); // and so is closing a closed file
}

TEST(CFile, ABorrowedHandleIsNotClosed)
{
    TempFolder folder;
    const HANDLE handle =
        CreateFileW(folder.Path(L"borrowed.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    {
        CFile borrowed(handle);
        borrowed.Write("x", 1);
    }
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(handle, "y", 1, &written, nullptr)) << "still open after the wrapper is gone";
    CloseHandle(handle);
}

TEST(CMemFile, OwnBufferGrowsAndDetachHandsItOn)
{
    CMemFile file(16);
    std::string data(3000, 'q');
    file.Write(data.data(), static_cast<UINT>(data.size()));
    EXPECT_EQ(file.GetLength(), 3000u);
    EXPECT_EQ(file.Seek(10, CFile::end), 3010u) << "seeking past the end is allowed";
    file.Write("!", 1);
    EXPECT_EQ(file.GetLength(), 3011u);
    file.Seek(3000, CFile::begin);
    char gap[11] = {};
    EXPECT_EQ(file.Read(gap, 11), 11u);
    EXPECT_EQ(std::string(gap, 10), std::string(10, '\0')) << "the gap reads as zeros";
    EXPECT_EQ(gap[10], '!');
    file.SetLength(5);
    EXPECT_EQ(file.GetLength(), 5u);
    EXPECT_EQ(file.GetPosition(), 5u) << "the position is kept inside the file";

    BYTE* buffer = file.Detach();
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(std::memcmp(buffer, "qqqqq", 5), 0);
    EXPECT_EQ(file.GetLength(), 0u);
    std::free(buffer); // the caller owns a detached buffer

    const Caught seek = FileExceptionOf([&] { file.Seek(-1, CFile::begin); });
    EXPECT_EQ(seek.cause, CFileException::badSeek);
}

TEST(CMemFile, AttachedBytesAreNeitherCopiedNorFreed)
{
    std::vector<BYTE> foreign = {'a', 'b', 'c', 'd'};
    {
        CMemFile file;
        file.Attach(foreign.data(), 4);
        EXPECT_EQ(file.GetLength(), 4u) << "with no growth the buffer is the whole file";
        char read[4] = {};
        EXPECT_EQ(file.Read(read, 4), 4u);
        EXPECT_EQ(std::memcmp(read, "abcd", 4), 0);
        file.SeekToBegin();
        file.Write("X", 1);
        EXPECT_EQ(foreign[0], 'X') << "written in place, not into a copy";
        file.Seek(4, CFile::begin);
        bool outOfMemory = false;
        try
        {
            file.Write("Y", 1);
        }
        catch (CMemoryException* e)
        {
            outOfMemory = true;
            e->Delete();
        }
        EXPECT_TRUE(outOfMemory) << "a fixed buffer cannot grow";
        EXPECT_EQ(file.Detach(), foreign.data()) << "Detach gives the caller's own pointer back";
        file.Attach(foreign.data(), 4);
    } // destroyed while attached: the vector's memory must not be freed here
    EXPECT_EQ(foreign, (std::vector<BYTE>{'X', 'b', 'c', 'd'}));

    CMemFile constructed(foreign.data(), 4);
    EXPECT_EQ(constructed.GetLength(), 4u);
}

TEST(CMemFile, AGrowableAttachedBufferMovesOutInsteadOfReallocatingIt)
{
    std::vector<BYTE> foreign(4, 'x');
    CMemFile file(foreign.data(), 4, 16);
    EXPECT_EQ(file.GetLength(), 0u) << "with growth the buffer starts as free room";
    file.Write("12345678", 8);
    EXPECT_EQ(file.GetLength(), 8u);
    EXPECT_EQ(foreign, (std::vector<BYTE>(4, 'x'))) << "the caller's bytes are left alone";
    BYTE* own = file.Detach();
    ASSERT_NE(own, foreign.data());
    EXPECT_EQ(std::memcmp(own, "12345678", 8), 0);
    std::free(own);
}

TEST(CMemFile, UnsupportedOperations)
{
    CMemFile file;
    bool notSupported = false;
    try
    {
        file.Duplicate();
    }
    catch (CNotSupportedException* e)
    {
        notSupported = true;
        e->Delete();
    }
    EXPECT_TRUE(notSupported);
}

TEST(CStdioFile, TextModeLinesAndLineEnds)
{
    TempFolder folder;
    const std::wstring path = folder.Path(L"lines.txt");
    {
        CStdioFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeText);
        ASSERT_NE(file.m_pStream, nullptr);
        file.WriteString(L"first\n");
        file.WriteString(L"\n");
        file.WriteString(L"caf\x00E9 last");
    }
    EXPECT_EQ(ReadAllBytes(path).substr(0, 9), std::string("first\r\n\r\n")) << "text mode writes CR LF";

    CStdioFile file(path.c_str(), CFile::modeRead | CFile::typeText);
    CString line;
    struct Expect
    {
        BOOL ok;
        const wchar_t* text;
    };
    const Expect expected[] = {{TRUE, L"first"}, {TRUE, L""}, {TRUE, L"caf\x00E9 last"}, {FALSE, L""}};
    for (const auto& e : expected)
    {
        EXPECT_EQ(file.ReadString(line), e.ok);
        EXPECT_STREQ(line.GetString(), e.text);
    }
}

TEST(CStdioFile, BinaryModeKeepsBytesAndSeeks)
{
    TempFolder folder;
    const std::wstring path = folder.Path(L"binary.txt");
    {
        CStdioFile file;
        ASSERT_TRUE(file.Open(path.c_str(), 0x9001)); // create, write, binary
        file.WriteString(L"a\r\nb\n");
        EXPECT_EQ(file.GetPosition(), 5u);
        file.Write("cd", 2);
        EXPECT_EQ(file.GetLength(), 7u);
        file.Close();
        EXPECT_EQ(file.m_pStream, nullptr);
    }
    EXPECT_EQ(ReadAllBytes(path), "a\r\nb\ncd");

    CStdioFile file(path.c_str(), CFile::modeRead | CFile::typeBinary);
    CString line;
    EXPECT_TRUE(file.ReadString(line));
    EXPECT_STREQ(line.GetString(), L"a\r") << "binary mode leaves the CR";
    EXPECT_EQ(file.Seek(-2, CFile::end), 5u);
    wchar_t buffer[8];
    EXPECT_NE(file.ReadString(buffer, 8), nullptr);
    EXPECT_STREQ(buffer, L"cd");
    EXPECT_EQ(file.ReadString(buffer, 8), nullptr) << "null at the end";
    const Caught seek = FileExceptionOf([&] { file.Seek(-100, CFile::begin); });
    EXPECT_EQ(seek.cause, CFileException::badSeek);

    CStdioFile missing;
    CFileException error;
    EXPECT_FALSE(missing.Open(folder.Path(L"missing.txt").c_str(), CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
}

TEST(CTime, FileTimesAndArithmetic)
{
    // 2021-01-22 10:00:00 UTC as a file time.
    const ULONGLONG ticks = (1611309600ULL + 11644473600ULL) * 10000000ULL;
    const CTime time(FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)});
    EXPECT_EQ(time.GetTime(), 1611309600);
    tm utc{};
    ASSERT_NE(time.GetGmtTm(&utc), nullptr);
    EXPECT_EQ(utc.tm_hour, 10);
    EXPECT_STREQ(time.FormatGmt(L"%Y-%m-%d %H:%M:%S").GetString(), L"2021-01-22 10:00:00");
    tm local{};
    ASSERT_NE(time.GetLocalTm(&local), nullptr);
    EXPECT_EQ(CTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec)
                  .GetTime(),
              time.GetTime())
        << "local fields give the same instant back";

    const CTimeSpan span(1, 2, 3, 4);
    EXPECT_EQ(span.GetTotalSeconds(), 93784);
    EXPECT_EQ(span.GetDays(), 1);
    EXPECT_EQ(span.GetHours(), 2);
    EXPECT_EQ(span.GetMinutes(), 3);
    EXPECT_EQ(span.GetSeconds(), 4);
    EXPECT_EQ((time + span) - time, span);
    EXPECT_TRUE(time < time + span);
}
} // namespace
