#pragma once
// What the codec tests share: the earlier picture a failed read must keep, and the lists of
// written files that codec_fixtures.py checks on the host after the test (Pillow pixels, the
// host's own tools).
#include "framework/CHandleOwner.h"
#include "screens/tests/ImageTestSupport.h"
#include <mutex>
#include <sstream>
#include <string>

namespace ImageTest
{
// An earlier picture, to see whether a failed read keeps it.
inline void MakeEarlier(CImageCP& image)
{
    image.Create(3, 3, 8);
    image.SetErrorText("earlier text");
}

// One file of a table of reads: what Open must give, or the refusal and its text.
struct CodecCase
{
    const wchar_t* file;
    bool ok;
    int w, h, bits;
    Pattern pattern;
    int n;
    const char* error;
    const char* why;
};

// Reads each file over an earlier picture with guarded blocks: a refusal keeps the earlier
// picture and, when it names a reason, has allocated nothing; a read gives the pattern.
template <size_t N> void ReadCases(const CodecCase (&cases)[N], int nFileType)
{
    for (const CodecCase& c : cases)
    {
        SCOPED_TRACE(c.why);
        CGuardedBlocks blocks;
        CImageCP image;
        MakeEarlier(image);
        const int nBefore = blocks.Allocations();
        const ULONGLONG nStart = GetTickCount64();
        const BOOL bOk = image.Open(MadePath(c.file).c_str(), nFileType);
        EXPECT_LT(GetTickCount64() - nStart, 1000u);
        EXPECT_EQ(!!bOk, c.ok);
        EXPECT_STREQ(image.GetErrorText(), c.error);
        if (!c.ok)
        {
            EXPECT_EQ(image.GetWidth(), 3) << "the earlier picture stays";
            if (*c.error)
            {
                EXPECT_EQ(blocks.Allocations() - nBefore, 0) << "refused before anything was allocated";
            }
            continue;
        }
        EXPECT_EQ(image.GetWidth(), c.w);
        EXPECT_EQ(image.GetHeight(), c.h);
        EXPECT_EQ(image.GetBitCount(), c.bits);
        if (c.pattern != Pattern::None)
        {
            EXPECT_EQ(FirstDifference(image, c.pattern, c.n), "");
        }
    }
}

inline Bytes ReadWritten(const wchar_t* name)
{
    Bytes bytes;
    EXPECT_TRUE(ZipTest::ReadWholeFile(WrittenPath(name), bytes)) << "not written";
    return bytes;
}

// manifest.txt: name, pattern ("pal", "rgb", "gray"), width, height, colours; checks.txt: check, name.
// Both are rewritten whole after every line, so whatever tests ran leave complete lists.
class CWrittenManifest
{
public:
    void Add(const std::wstring& name, const char* kind, int w, int h, int n)
    {
        std::lock_guard lock(m_mutex);
        m_manifest << Narrow(name) << ' ' << kind << ' ' << w << ' ' << h << ' ' << n << '\n';
        Save(L"manifest.txt", m_manifest.str());
    }
    void Check(const char* check, const std::wstring& name)
    {
        std::lock_guard lock(m_mutex);
        m_checks << check << ' ' << Narrow(name) << '\n';
        Save(L"checks.txt", m_checks.str());
    }

private:
    static std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }
    static void Save(const wchar_t* name, const std::string& text)
    {
        EXPECT_TRUE(ZipTest::WriteWholeFile(WrittenPath(name), text.data(), text.size()));
    }
    std::mutex m_mutex;
    std::ostringstream m_manifest;
    std::ostringstream m_checks;
};
inline CWrittenManifest& Manifest()
{
    static CWrittenManifest manifest;
    return manifest;
}
} // namespace ImageTest
