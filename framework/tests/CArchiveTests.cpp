// Archives: the exact bytes the original programs wrote and read (little-endian numbers, the string
// length prefix with its escalation and wide marker, element counts, dates), pinned byte by byte.
#include "framework/CArchive.h"
#include "framework/CArchiveException.h"
#include "framework/CArray.h"
#include "framework/CFile.h"
#include "framework/CFileException.h"
#include "framework/CMemFile.h"
#include "framework/testing/ArchiveBytes.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<BYTE>;

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes WideBody(const std::wstring& text)
{
    Bytes bytes;
    for (wchar_t ch : text)
    {
        bytes.push_back(static_cast<BYTE>(ch & 0xFF));
        bytes.push_back(static_cast<BYTE>(ch >> 8));
    }
    return bytes;
}

std::wstring TextOfLength(size_t n)
{
    std::wstring text(n, L'a');
    for (size_t i = 0; i < n; ++i)
        text[i] = static_cast<wchar_t>(L'a' + i % 26);
    if (n > 1) text[1] = L'\x20AC'; // the euro sign: the wide form keeps it
    return text;
}

struct StringCase
{
    size_t length;
    Bytes widePrefix;
    Bytes narrowPrefix;
    const char* why;
};
const StringCase kStringCases[] = {
    {0, {0xFF, 0xFE, 0xFF, 0x00}, {0x00}, "empty"},
    {1, {0xFF, 0xFE, 0xFF, 0x01}, {0x01}, "one character"},
    {254, {0xFF, 0xFE, 0xFF, 0xFE}, {0xFE}, "the longest one-byte length"},
    {255, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00}, {0xFF, 0xFF, 0x00}, "255 escalates to a word"},
    {300, {0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01}, {0xFF, 0x2C, 0x01}, "300 characters"},
    {65533, {0xFF, 0xFE, 0xFF, 0xFF, 0xFD, 0xFF}, {0xFF, 0xFD, 0xFF}, "the longest word length"},
    {65534,
     {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00},
     {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00},
     "0xFFFE is the wide marker, so 65534 escalates to a double word"},
    {65535,
     {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00},
     {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00},
     "65535"},
    {70000,
     {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00},
     {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00},
     "70000"},
};

TEST(CArchive, WideStringsHaveTheMarkerAndTheEscalatingLength)
{
    for (const auto& c : kStringCases)
    {
        SCOPED_TRACE(c.why);
        const std::wstring text = TextOfLength(c.length);
        const Bytes bytes = StoredBytes([&](CArchive& ar) { ar << CString(text); });
        ASSERT_EQ(bytes.size(), c.widePrefix.size() + 2 * c.length);
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + c.widePrefix.size()), c.widePrefix);
        EXPECT_EQ(Bytes(bytes.begin() + c.widePrefix.size(), bytes.end()), WideBody(text)) << "UTF-16LE, no terminator";

        CMemFile file(const_cast<BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
        CArchive ar(&file, CArchive::load);
        CString back;
        ar >> back;
        EXPECT_TRUE(back.Str() == text) << "reads back";
        EXPECT_TRUE(ar.IsBufferEmpty());
    }
}

TEST(CArchive, NarrowStringsHaveTheEscalatingLengthOnly)
{
    for (const auto& c : kStringCases)
    {
        SCOPED_TRACE(c.why);
        const std::string text(c.length, 'x');
        const Bytes bytes =
            StoredBytes([&](CArchive& ar) { ar << CStringA(text.c_str(), static_cast<int>(text.size())); });
        ASSERT_EQ(bytes.size(), c.narrowPrefix.size() + c.length);
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + c.narrowPrefix.size()), c.narrowPrefix);

        CMemFile file(const_cast<BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
        CArchive ar(&file, CArchive::load);
        CStringA back;
        ar >> back;
        EXPECT_TRUE(back.Str() == text) << "reads back";
    }
}

TEST(CArchive, TextPointersAreStoredAsStrings)
{
    const Bytes bytes = StoredBytes([](CArchive& ar) { ar << L"ab" << "cd"; });
    EXPECT_EQ(bytes, Concat({{0xFF, 0xFE, 0xFF, 0x02}, WideBody(L"ab"), {0x02, 'c', 'd'}}))
        << "not as a bool, which a pointer would otherwise turn into";
}

TEST(CArchive, StringsLoadFromTheOtherWidthToo)
{
    // Older programs stored narrow strings; a wide string read from them is converted, and back.
    const Bytes narrow = {0x03, 'a', 'b', 'c'};
    CMemFile narrowFile(const_cast<BYTE*>(narrow.data()), static_cast<UINT>(narrow.size()));
    CArchive narrowAr(&narrowFile, CArchive::load);
    CString wide;
    narrowAr >> wide;
    EXPECT_STREQ(wide.GetString(), L"abc");

    const Bytes wideBytes = Concat({{0xFF, 0xFE, 0xFF, 0x02}, WideBody(L"xy")});
    CMemFile wideFile(const_cast<BYTE*>(wideBytes.data()), static_cast<UINT>(wideBytes.size()));
    CArchive wideAr(&wideFile, CArchive::load);
    CStringA narrowBack;
    wideAr >> narrowBack;
    EXPECT_STREQ(narrowBack.GetString(), "xy");
}

struct CountCase
{
    DWORD_PTR count;
    Bytes bytes;
    const char* why;
};
const CountCase kCountCases[] = {
    {0, {0x00, 0x00}, "zero"},
    {0x1234, {0x34, 0x12}, "a word"},
    {0xFFFE, {0xFE, 0xFF}, "the largest word count"},
    {0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}, "0xFFFF escalates"},
    {0x12345678, {0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12}, "a double word"},
    {0xFFFFFFFE, {0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF}, "the largest double-word count"},
    {0x100000000ULL,
     {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00},
     "beyond 32 bits"},
};

TEST(CArchive, CountsEscalateFromWordToDoubleWordTo64Bits)
{
    for (const auto& c : kCountCases)
    {
        SCOPED_TRACE(c.why);
        const Bytes bytes = StoredBytes([&](CArchive& ar) { ar.WriteCount(c.count); });
        EXPECT_EQ(bytes, c.bytes);
        CMemFile file(const_cast<BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
        CArchive ar(&file, CArchive::load);
        EXPECT_EQ(ar.ReadCount(), c.count);
    }
}

TEST(CArchive, NumbersAreLittleEndianAtTheirSizes)
{
    const Bytes bytes = StoredBytes([](CArchive& ar) {
        ar << static_cast<BYTE>(0xAB) << static_cast<WORD>(0x1234) << static_cast<short>(-2) << static_cast<LONG>(-1)
           << 0x01020304 << static_cast<DWORD>(0xA1B2C3D4) << static_cast<LONGLONG>(0x0102030405060708LL) << 1.0 << 0.5f
           << true << 'c' << L'\x20AC';
    });
    const Bytes expected = {
        0xAB,                                           // BYTE
        0x34, 0x12,                                     // WORD
        0xFE, 0xFF,                                     // short
        0xFF, 0xFF, 0xFF, 0xFF,                         // LONG
        0x04, 0x03, 0x02, 0x01,                         // int
        0xD4, 0xC3, 0xB2, 0xA1,                         // DWORD
        0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01, // LONGLONG
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F, // double 1.0
        0x00, 0x00, 0x00, 0x3F,                         // float 0.5
        0x01,                                           // bool
        'c',                                            // char
        0xAC, 0x20,                                     // wchar_t
    };
    EXPECT_EQ(bytes, expected);

    CMemFile file(const_cast<BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    BYTE by = 0;
    WORD w = 0;
    short s = 0;
    LONG l = 0;
    int i = 0;
    DWORD dw = 0;
    LONGLONG ll = 0;
    double d = 0;
    float f = 0;
    bool b = false;
    char ch = 0;
    wchar_t wch = 0;
    ar >> by >> w >> s >> l >> i >> dw >> ll >> d >> f >> b >> ch >> wch;
    EXPECT_EQ(by, 0xAB);
    EXPECT_EQ(w, 0x1234);
    EXPECT_EQ(s, -2);
    EXPECT_EQ(l, -1);
    EXPECT_EQ(i, 0x01020304);
    EXPECT_EQ(dw, 0xA1B2C3D4);
    EXPECT_EQ(ll, 0x0102030405060708LL);
    EXPECT_EQ(d, 1.0);
    EXPECT_EQ(f, 0.5f);
    EXPECT_TRUE(b);
    EXPECT_EQ(ch, 'c');
    EXPECT_EQ(wch, L'\x20AC');
}

TEST(CArchive, DatesAreStatusThenValue)
{
    COleDateTime nullDate;
    nullDate.SetStatus(COleDateTime::null);
    const Bytes bytes = StoredBytes(
        [&](CArchive& ar) { ar << COleDateTime(1.5) << nullDate << COleDateTimeSpan(-0.25) << CTime(0x123456789LL); });
    const Bytes expected = {
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF8, 0x3F, // valid, 1.5
        0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // null, 0.0
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xD0, 0xBF, // valid span, -0.25
        0x89, 0x67, 0x45, 0x23, 0x01, 0x00, 0x00, 0x00,                         // 64-bit seconds
    };
    EXPECT_EQ(bytes, expected);

    CMemFile file(const_cast<BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    COleDateTime a, b;
    COleDateTimeSpan span;
    CTime time;
    ar >> a >> b >> span >> time;
    EXPECT_EQ(a.m_dt, 1.5);
    EXPECT_EQ(a.GetStatus(), COleDateTime::valid);
    EXPECT_EQ(b.GetStatus(), COleDateTime::null);
    EXPECT_EQ(span.m_span, -0.25);
    EXPECT_EQ(time.GetTime(), 0x123456789LL);
}

TEST(CArchive, ByteArraysAreTheirCountThenTheirBytes)
{
    CByteArray category;
    category.Add(0x81);
    category.Add(0x02);
    const Bytes bytes = StoredBytes([&](CArchive& ar) { category.Serialize(ar); });
    EXPECT_EQ(bytes, (Bytes{0x02, 0x00, 0x81, 0x02}));

    CMemFile file(const_cast<BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    CByteArray back;
    back.Add(9); // loading replaces what was there
    back.Serialize(ar);
    ASSERT_EQ(back.GetSize(), 2);
    EXPECT_EQ(back[0], 0x81);
    EXPECT_EQ(back[1], 0x02);

    CByteArray large;
    large.SetSize(70000);
    const Bytes largeBytes = StoredBytes([&](CArchive& ar) { large.Serialize(ar); });
    EXPECT_EQ(Bytes(largeBytes.begin(), largeBytes.begin() + 6), (Bytes{0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));
    EXPECT_EQ(largeBytes.size(), 6u + 70000u);
}

TEST(CArchive, ShortDataAndWrongDirectionRaiseArchiveExceptions)
{
    const Bytes threeBytes = {1, 2, 3};
    CMemFile file(const_cast<BYTE*>(threeBytes.data()), 3);
    CArchive loading(&file, CArchive::load);
    EXPECT_EQ(ArchiveExceptionCause([&] {
                  LONG l = 0;
                  loading >> l;
              }),
              CArchiveException::endOfFile)
        << "four bytes wanted, three there";
    EXPECT_EQ(ArchiveExceptionCause([&] { loading << static_cast<LONG>(1); }), CArchiveException::readOnly);

    CMemFile out;
    CArchive storing(&out, CArchive::store);
    EXPECT_EQ(ArchiveExceptionCause([&] {
                  LONG l = 0;
                  storing >> l;
              }),
              CArchiveException::writeOnly);

    // A corrupt length of four thousand million characters ends at the end of the data.
    const Bytes corrupt = {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 'a', 0};
    CMemFile corruptFile(const_cast<BYTE*>(corrupt.data()), static_cast<UINT>(corrupt.size()));
    CArchive corruptAr(&corruptFile, CArchive::load);
    EXPECT_EQ(ArchiveExceptionCause([&] {
                  CString text;
                  corruptAr >> text;
              }),
              CArchiveException::endOfFile);

    // So does a byte array whose count promises more than the data holds.
    const Bytes shortArray = {0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x01, 0x02};
    CMemFile arrayFile(const_cast<BYTE*>(shortArray.data()), static_cast<UINT>(shortArray.size()));
    CArchive arrayAr(&arrayFile, CArchive::load);
    CByteArray bytes;
    EXPECT_EQ(ArchiveExceptionCause([&] { bytes.Serialize(arrayAr); }), CArchiveException::endOfFile);
}

TEST(CArchive, ReadReturnsWhatThereIsButExtractionNeedsEverything)
{
    const Bytes bytes = {1, 2, 3};
    CMemFile file(const_cast<BYTE*>(bytes.data()), 3);
    CArchive ar(&file, CArchive::load);
    BYTE buffer[8] = {};
    EXPECT_EQ(ar.Read(buffer, 8), 3u);
    EXPECT_EQ(buffer[2], 3);
    EXPECT_EQ(ar.Read(buffer, 8), 0u);
}

TEST(CArchive, ClosingALoadingArchiveLeavesTheFileJustAfterWhatWasConsumed)
{
    // A payload with archived data followed by other bytes the caller reads itself.
    const Bytes bytes = {0x02, 0x00, 0xAA, 0xBB, 0xCC, 0xDD};
    CMemFile file(const_cast<BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    WORD count = 0;
    ar >> count;
    EXPECT_EQ(count, 2);
    ar.Close();
    EXPECT_EQ(file.GetPosition(), 2u) << "the bytes read ahead into the buffer were given back";
    BYTE rest[4] = {};
    EXPECT_EQ(file.Read(rest, 4), 4u);
    EXPECT_EQ(rest[0], 0xAA);
}

TEST(CArchive, LargeDataCrossesTheBufferAndTheDestructorFlushes)
{
    std::wstring longText(5000, L'z');
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store, 64);
        ar << static_cast<LONG>(7) << CString(longText.c_str()) << static_cast<LONG>(8);
    } // no Close: the destructor writes what is buffered
    EXPECT_EQ(file.GetLength(), 4u + 6u + 2u * 5000u + 4u);
    file.SeekToBegin();
    CArchive ar(&file, CArchive::load, 64);
    LONG a = 0, b = 0;
    CString text;
    ar >> a >> text >> b;
    EXPECT_EQ(a, 7);
    EXPECT_EQ(text.GetLength(), 5000);
    EXPECT_EQ(b, 8);

    CMemFile aborted;
    {
        CArchive abortAr(&aborted, CArchive::store);
        abortAr << static_cast<LONG>(1);
        abortAr.Abort();
    }
    EXPECT_EQ(aborted.GetLength(), 0u) << "an aborted archive writes nothing";
    CMemFile notFlushed;
    {
        CArchive noFlush(&notFlushed, CArchive::store | CArchive::bNoFlushOnDelete);
        noFlush << static_cast<LONG>(1);
    }
    EXPECT_EQ(notFlushed.GetLength(), 0u) << "bNoFlushOnDelete leaves the buffer unwritten";
}

TEST(CArchive, ACallHistoryRecordReadsBackFromItsWireForm)
{
    // A count, then records of numbers, a wide string and dates, as the server sends them.
    Bytes wire = Concat({
        {0x01, 0x00, 0x00, 0x00},                                                 // count 1
        {0x2A, 0x00, 0x00, 0x00},                                                 // call id 42
        Concat({{0xFF, 0xFE, 0xFF, 0x03}, WideBody(L"555")}),                     // telephone number
        {0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, // null date
        {0x05, 0x00},                                                             // a 16-bit result
    });
    CMemFile file(wire.data(), static_cast<UINT>(wire.size()));
    CArchive ar(&file, CArchive::load);
    LONG count = 0, id = 0;
    CString number;
    COleDateTime start;
    short result = 0;
    ar >> count >> id >> number >> start >> result;
    EXPECT_EQ(count, 1);
    EXPECT_EQ(id, 42);
    EXPECT_STREQ(number.GetString(), L"555");
    EXPECT_EQ(start.GetStatus(), COleDateTime::null);
    EXPECT_EQ(result, 5);
    EXPECT_EQ(ArchiveExceptionCause([&] { ar >> result; }), CArchiveException::endOfFile) << "a short archive";
}
TEST(CArchive, ADiskFileWrittenThroughAnArchiveReadsBack)
{
    wchar_t folder[MAX_PATH] = {}, path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    ASSERT_NE(GetTempFileNameW(folder, L"arc", 0, path), 0u);
    std::string payload(6000, 'p'); // more than one buffer
    {
        CFile file(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
        CArchive ar(&file, CArchive::store, 4096);
        ar << static_cast<LONG>(12) << static_cast<LONG>(34) << static_cast<LONG>(1) << CString(L"a = \"b\" ");
        ar << static_cast<LONG>(payload.size());
        ar.Write(payload.data(), static_cast<UINT>(payload.size()));
        ar.Close();
        file.Close();
    }
    {
        CFile file(path, CFile::modeRead | CFile::shareDenyWrite);
        EXPECT_EQ(file.GetLength(), 12u + 4u + 2u * 8u + 4u + 6000u);
        CArchive ar(&file, CArchive::load, 4096);
        LONG task = 0, call = 0, version = 0, length = 0;
        CString fields;
        ar >> task >> call >> version >> fields >> length;
        EXPECT_EQ(task, 12);
        EXPECT_EQ(call, 34);
        EXPECT_STREQ(fields.GetString(), L"a = \"b\" ");
        ASSERT_EQ(length, 6000);
        std::string back(static_cast<size_t>(length), '\0');
        EXPECT_EQ(ar.Read(back.data(), static_cast<UINT>(length)), 6000u);
        EXPECT_EQ(back, payload);
    }
    DeleteFileW(path);
}
} // namespace
