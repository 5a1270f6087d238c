// Message and mail records: their keys, text round trips, attachments behind the line, comparison
// and hostile counts and sizes.
#include "core/CMailMessage.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStdArray.h"
#include "core/CTimeTools.h"
#include "framework/CArchive.h"
#include "framework/CArchiveException.h"
#include <cmath>
#include "framework/CFile.h"
#include "framework/CMemFile.h"
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>

namespace
{
std::wstring W(const CString& s)
{
    return s.Str();
}

constexpr wchar_t kSep = 0xA7;

// A memory file holding its own copy of text.
CMemFile* MemoryFileWith(const char* text)
{
    auto* pFile = new CMemFile();
    pFile->Write(text, static_cast<UINT>(std::strlen(text)));
    pFile->SeekToBegin();
    return pFile;
}

std::string ReadAll(CFile& file)
{
    file.SeekToBegin();
    std::string bytes(static_cast<size_t>(file.GetLength()), '\0');
    if (!bytes.empty()) bytes.resize(file.Read(bytes.data(), static_cast<UINT>(bytes.size())));
    return bytes;
}

void Fill(CMessage& message)
{
    message.m_nID = 5;
    message.m_strText = L"hi \"there\"\nbye";
    message.m_dtTime = COleDateTime(2020, 1, 22, 10, 30, 0);
    message.m_nUTCOffset = 3600;
    message.m_nSenderID = 9;
    message.m_bReply = 1;
    message.m_strSubject = L"S";
    message.AddRecipient(3);
    message.AddRecipient(17);
    message.AddAttachment(MemoryFileWith("abc"), L"a.txt");
    message.AddAttachment(MemoryFileWith("de"), L"b.bin");
}

TEST(MessageText, WritesTheKeyTable)
{
    CMessage message;
    Fill(message);
    CString text;
    message.GetText(text, true);
    const std::wstring expected = std::wstring(L"attcnt = \"2\" attfn0 = \"a.txt\" attfn1 = \"b.bin\" attsz0 = \"3\" "
                                               L"attsz1 = \"2\" id = \"5\" off = \"3600\" rcpts = \"3") +
                                  kSep + L"17" + kSep +
                                  L"\" rep = \"1\" sid = \"9\" sub = \"S\" text = \"hi \\\"there\\\"\\nbye\" "
                                  L"time = \"22012020103000\" ";
    EXPECT_EQ(W(text), expected);

    CString withoutAttachments;
    message.GetText(withoutAttachments, false);
    EXPECT_EQ(W(withoutAttachments).find(L"att"), std::wstring::npos);
}

TEST(MessageText, WritesOptionalKeysOnlyWhenSet)
{
    CMessage message;
    CString text;
    message.GetText(text, true);
    EXPECT_EQ(W(text), L"attcnt = \"0\" id = \"-1\" off = \"0\" rep = \"0\" sid = \"-1\" text = \"\" time = \"0\" ")
        << "no subject, no recipients, a null time";
}

TEST(MessageText, RoundTripsWithAndWithoutAttachments)
{
    CMessage message;
    Fill(message);
    CString text;
    message.GetText(text, true);
    CMessage back;
    back.SetText(text, true);
    EXPECT_TRUE(back.IsEqual(message));
    EXPECT_TRUE(message.IsEqual(back));
    ASSERT_EQ(back.m_arrAttachments.GetSize(), 2);
    EXPECT_EQ(W(back.m_arrAttachments[1]->m_strName), L"b.bin");
    EXPECT_EQ(back.m_arrAttachments[1]->m_nSize, 2);
    EXPECT_EQ(back.m_arrAttachments[1]->m_pFile, nullptr) << "the bytes come with the payload";
    EXPECT_EQ(back.m_lstRecipients.GetCount(), 2);

    CMessage noAttachments;
    noAttachments.SetText(text, false);
    EXPECT_EQ(noAttachments.m_arrAttachments.GetSize(), 0);
    CString plain;
    message.GetText(plain, false);
    CMessage lacking;
    lacking.SetText(plain, true);
    EXPECT_EQ(lacking.m_arrAttachments.GetSize(), 0) << "no attcnt: no attachments even when asked";
}

TEST(MessageText, MissingKeysKeepNumbersAndEmptyTexts)
{
    CMessage message;
    message.m_nID = 4;
    message.m_nSenderID = 8;
    message.m_nUTCOffset = 60;
    message.m_strText = L"old";
    message.m_strSubject = L"old";
    message.AddRecipient(1);
    message.SetText(L"id = \"x\" rcpts = \"2\u00A7x\u00A7\u00A7"
                    L"5\u00A7\" ",
                    true);
    EXPECT_EQ(message.m_nID, 4) << "not a number: kept";
    EXPECT_EQ(message.m_nSenderID, 8);
    EXPECT_EQ(message.m_nUTCOffset, 60);
    EXPECT_EQ(W(message.m_strText), L"");
    EXPECT_EQ(W(message.m_strSubject), L"");
    EXPECT_EQ(message.m_dtTime.GetStatus(), COleDateTime::null);
    ASSERT_EQ(message.m_lstRecipients.GetCount(), 2) << "pieces that are numbers, the old list cleared";
    EXPECT_EQ(message.m_lstRecipients.GetHead(), 2);
    EXPECT_EQ(message.m_lstRecipients.GetTail(), 5);
}

TEST(MessageEquality, ComparesTimesWithinHalfASecondAndRecipientsAsASubset)
{
    CMessage a;
    Fill(a);
    CMessage b(a, true);
    EXPECT_TRUE(a.IsEqual(b));
    b.m_dtTime = COleDateTime(a.m_dtTime.m_dt + 0.4 / 86400);
    EXPECT_TRUE(a.IsEqual(b)) << "0.4 s apart";
    b.m_dtTime = COleDateTime(a.m_dtTime.m_dt + 0.6 / 86400);
    EXPECT_FALSE(a.IsEqual(b)) << "0.6 s apart";
    b.m_dtTime = a.m_dtTime;
    b.RemoveRecipient(17);
    EXPECT_TRUE(a.IsEqual(b)) << "the other's recipients are a subset";
    EXPECT_FALSE(b.IsEqual(a));
    b.AddRecipient(17);
    b.m_strSubject = L"s";
    EXPECT_FALSE(a.IsEqual(b)) << "subjects compare with case";
    b.m_strSubject = a.m_strSubject;
    b.m_dtTime.SetStatus(COleDateTime::invalid);
    EXPECT_FALSE(a.IsEqual(b)) << "time status differs";
}

TEST(MessageEquality, ComparesAttachments)
{
    CMessage a;
    Fill(a);
    CMessage b(a, false);
    EXPECT_TRUE(a.IsEqual(b)) << "the bytes are not compared";
    b.m_arrAttachments[0]->m_nSize = 4;
    EXPECT_FALSE(a.IsEqual(b));
    CMessage c(a, false);
    c.AddAttachment(new CMessage::CMessageAttachment);
    EXPECT_FALSE(a.IsEqual(c)) << "a different count";
    CMessage d(a, false);
    delete d.m_arrAttachments[1];
    d.m_arrAttachments[1] = nullptr;
    EXPECT_FALSE(a.IsEqual(d)) << "a null attachment";
    EXPECT_FALSE(d.IsEqual(a));
}

TEST(MessageCopy, CopiesAttachmentDataOnlyWhenAsked)
{
    CMessage source;
    Fill(source);
    const CMessage shallow(source, false);
    ASSERT_EQ(shallow.m_arrAttachments.GetSize(), 2);
    EXPECT_EQ(shallow.m_arrAttachments[0]->m_pFile, nullptr);
    const CMessage deep(source, true);
    ASSERT_NE(deep.m_arrAttachments[0]->m_pFile, nullptr);
    EXPECT_NE(deep.m_arrAttachments[0]->m_pFile, source.m_arrAttachments[0]->m_pFile);
    EXPECT_EQ(ReadAll(*deep.m_arrAttachments[0]->m_pFile), "abc");
    EXPECT_EQ(ReadAll(*deep.m_arrAttachments[1]->m_pFile), "de");
    EXPECT_EQ(ReadAll(*source.m_arrAttachments[0]->m_pFile), "abc") << "the source keeps its bytes";
}

TEST(MessagePayload, PlacesMemoryFilesOverTheBytesWithoutCopying)
{
    CMessage sent;
    Fill(sent);
    CString text;
    sent.GetText(text, true);
    CMessage received;
    received.SetText(text, true);
    BYTE payload[] = {'a', 'b', 'c', 'd', 'e', 'z'};
    BYTE* pCursor = payload;
    DWORD nRemaining = sizeof(payload);
    ASSERT_TRUE(received.AttachPayload(pCursor, nRemaining));
    EXPECT_EQ(pCursor, payload + 5);
    EXPECT_EQ(nRemaining, 1u);
    CFile* pFirst = received.m_arrAttachments[0]->m_pFile;
    ASSERT_NE(pFirst, nullptr);
    EXPECT_EQ(ReadAll(*pFirst), "abc");
    EXPECT_EQ(ReadAll(*received.m_arrAttachments[1]->m_pFile), "de");
    payload[0] = 'X';
    EXPECT_EQ(ReadAll(*pFirst), "Xbc") << "the file reads the caller's buffer itself";
    EXPECT_TRUE(received.m_arrAttachments[0]->m_strLocalPath.IsEmpty());
}

TEST(MessagePayload, AShortBufferStopsAtTheFirstAttachmentThatDoesNotFit)
{
    CMessage received;
    received.SetText(L"attcnt = \"2\" attfn0 = \"a\" attsz0 = \"3\" attfn1 = \"b\" attsz1 = \"5\" ", true);
    BYTE payload[6] = {'a', 'b', 'c', 'd', 'e', 'f'};
    BYTE* pCursor = payload;
    DWORD nRemaining = sizeof(payload);
    EXPECT_FALSE(received.AttachPayload(pCursor, nRemaining));
    EXPECT_EQ(pCursor, payload + 3);
    EXPECT_EQ(nRemaining, 3u);
    ASSERT_NE(received.m_arrAttachments[0]->m_pFile, nullptr) << "the one before keeps its file";
    EXPECT_EQ(received.m_arrAttachments[1]->m_pFile, nullptr);
}

TEST(MessageHostile, CountsAreClampedAndNegativeSizesNeverFit)
{
    CMessage huge;
    huge.SetText(L"attcnt = \"2000000000\" attfn0 = \"a\" attsz0 = \"1\" ", true);
    EXPECT_LE(huge.m_arrAttachments.GetSize(), 3) << "no more attachments than the list has entries";
    CMessage negativeCount;
    negativeCount.SetText(L"attcnt = \"-5\" ", true);
    EXPECT_EQ(negativeCount.m_arrAttachments.GetSize(), 0);

    CMessage negative;
    negative.SetText(L"attcnt = \"2\" attsz0 = \"2\" attsz1 = \"-2\" ", true);
    BYTE payload[4] = {1, 2, 3, 4};
    BYTE* pCursor = payload;
    DWORD nRemaining = sizeof(payload);
    EXPECT_FALSE(negative.AttachPayload(pCursor, nRemaining));
    EXPECT_EQ(pCursor, payload + 2) << "the cursor never moves backwards";
    EXPECT_EQ(nRemaining, 2u);
}

TEST(MessageAttachments, FilesOnDiskKeepTheirPathAndAreDeletedOnRequest)
{
    wchar_t folder[MAX_PATH] = {}, path[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    ASSERT_NE(GetTempFileNameW(folder, L"att", 0, path), 0u);
    {
        CFile file(path, CFile::modeWrite);
        file.Write("12345", 5);
    }
    CMessage message;
    message.AddAttachment(new CFile(path, CFile::modeRead), L"");
    ASSERT_EQ(message.m_arrAttachments.GetSize(), 1);
    const CMessage::CMessageAttachment& attachment = *message.m_arrAttachments[0];
    EXPECT_EQ(attachment.m_nSize, 5);
    EXPECT_EQ(W(attachment.m_strLocalPath), std::wstring(path));
    EXPECT_EQ(W(attachment.m_strName), W(CString(path).Mid(CString(path).ReverseFind(L'\\') + 1)))
        << "an empty name takes the file's own";
    message.AddAttachment(MemoryFileWith("x"), L"m");
    EXPECT_TRUE(message.m_arrAttachments[1]->m_strLocalPath.IsEmpty()) << "a memory file has no path";
    message.DeleteAttachments();
    EXPECT_EQ(message.m_arrAttachments.GetSize(), 0);
    EXPECT_EQ(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES) << "the file on disk is gone";
}

TEST(MailMessage, WritesAndReadsTheMailKeys)
{
    CMailMessage mail;
    mail.m_nID = 1;
    mail.m_strFrom = L"me@x";
    mail.m_nTP = 7;
    mail.AddTo(L"a@x");
    mail.AddTo(L"b\u00A7@x");
    mail.AddBcc(L"c@x");
    CPropertyList list;
    mail.Save(list, false);
    EXPECT_EQ(W(list.GetPropertyString(L"emFrom", L"?")), L"me@x");
    EXPECT_EQ(W(list.GetPropertyString(L"emTP", L"?")), L"7");
    EXPECT_EQ(W(list.GetPropertyString(L"emTo", L"?")), std::wstring(L"a@x") + kSep + L"b@x" + kSep)
        << "each address followed by the separator, which is removed from inside";
    EXPECT_EQ(W(list.GetPropertyString(L"emCc", L"?")), L"") << "written even when empty";
    EXPECT_EQ(W(list.GetPropertyString(L"emBcc", L"?")), std::wstring(L"c@x") + kSep);

    CString text;
    mail.GetText(text, true);
    CMailMessage back;
    back.AddCc(L"stale@x");
    back.SetText(text, true);
    EXPECT_TRUE(back.IsEqual(mail));
    EXPECT_EQ(W(back.m_strFrom), L"me@x");
    EXPECT_EQ(back.m_nTP, 7);
    ASSERT_EQ(back.m_arrTo.GetSize(), 2);
    EXPECT_EQ(W(back.m_arrTo[1]), L"b@x");
    EXPECT_EQ(back.m_arrCc.GetSize(), 0) << "an empty emCc empties the list";
    ASSERT_EQ(back.m_arrBcc.GetSize(), 1);

    CMessage& asBase = back;
    CString viaBase;
    asBase.GetText(viaBase, false);
    EXPECT_NE(W(viaBase).find(L"emFrom"), std::wstring::npos) << "the text operations reach the mail keys";
}

TEST(MailMessage, RemovesTheLastMatchingAddress)
{
    CMailMessage mail;
    mail.AddTo(L"a");
    mail.AddTo(L"b");
    mail.AddTo(L"a");
    mail.RemoveTo(L"a");
    ASSERT_EQ(mail.m_arrTo.GetSize(), 2);
    EXPECT_EQ(W(mail.m_arrTo[0]), L"a");
    EXPECT_EQ(W(mail.m_arrTo[1]), L"b");
    mail.RemoveTo(L"B");
    EXPECT_EQ(mail.m_arrTo.GetSize(), 2) << "addresses compare with case";
    CStringArray more;
    more.Add(L"c");
    more.Add(L"d");
    mail.AddCc(more);
    EXPECT_EQ(mail.m_arrCc.GetSize(), 2);
    const CMailMessage copy(mail, false);
    EXPECT_EQ(copy.m_arrCc.GetSize(), 2);
    EXPECT_EQ(copy.m_arrTo.GetSize(), 2);
}
TEST(MessageTime, SetTimeNowTakesServerUtcAndTheLocalOffset)
{
    CMessage message;
    const COleDateTime before = CTimeTools::GetCurrentTimeUTC();
    message.SetTimeNow();
    const COleDateTime after = CTimeTools::GetCurrentTimeUTC();
    ASSERT_EQ(message.m_dtTime.GetStatus(), COleDateTime::valid);
    EXPECT_GE(message.m_dtTime.m_dt, before.m_dt);
    EXPECT_LE(message.m_dtTime.m_dt, after.m_dt);
    EXPECT_LE(std::abs(message.m_nUTCOffset - CTimeTools::GetCurrentUTCOffsetLocal()), 1L);
}

TEST(StdArray, SerialisesTheCountAndTheRawValues)
{
    CStdArray<long> values;
    EXPECT_EQ(values.Add(7), 0);
    EXPECT_EQ(values.Add(-1), 1);
    values.SetSize(3);
    EXPECT_EQ(values[2], 0) << "new elements are zeroed";
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        values.Serialize(ar);
    }
    EXPECT_EQ(file.GetLength(), 4u + 3 * sizeof(long));
    file.SeekToBegin();
    CStdArray<long> back;
    back.Add(99);
    {
        CArchive ar(&file, CArchive::load);
        back.Serialize(ar);
    }
    ASSERT_EQ(back.GetSize(), 3);
    EXPECT_EQ(back[0], 7);
    EXPECT_EQ(back[1], -1);
    EXPECT_EQ(back[2], 0);

    // A count far beyond the bytes that follow ends in the archive's error, not in a huge allocation.
    CMemFile damaged;
    const DWORD hostile[] = {0xFFFFFFF0u, 1, 2};
    damaged.Write(hostile, sizeof(hostile));
    damaged.SeekToBegin();
    bool bThrown = false;
    try
    {
        CArchive ar(&damaged, CArchive::load);
        back.Serialize(ar);
    }
    catch (CArchiveException* e)
    {
        bThrown = true;
        e->Delete();
    }
    EXPECT_TRUE(bThrown);
}
} // namespace
