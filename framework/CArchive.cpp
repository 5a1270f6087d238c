#include "framework/CArchive.h"
#include "framework/CArchiveException.h"
#include "framework/CArray.h"
#include "framework/CFile.h"
#include <algorithm>
#include <cstring>

namespace
{
constexpr size_t kMinBufferSize = 16;
// Strings and byte arrays are read in pieces of this many elements, so a corrupt length ends at the
// end of the data instead of asking for gigabytes first.
constexpr UINT_PTR kReadPiece = 65536;

template <typename XCHAR> void ReadCharacters(CArchive& ar, UINT_PTR length, std::basic_string<XCHAR>& text)
{
    text.clear();
    while (length > 0)
    {
        const UINT_PTR piece = std::min(length, kReadPiece);
        const size_t old = text.size();
        text.resize(old + piece);
        ar.EnsureRead(text.data() + old, static_cast<UINT>(piece * sizeof(XCHAR)));
        length -= piece;
    }
}
} // namespace

CArchive::CArchive(CFile* pFile, UINT nMode, int nBufSize, void* /*lpBuf*/)
    : m_pFile(pFile), m_nMode(nMode),
      m_buffer(std::max(kMinBufferSize, static_cast<size_t>(nBufSize > 0 ? nBufSize : 0)))
{
    if (!pFile) AfxThrowInvalidArgException();
}

CArchive::~CArchive()
{
    if (!m_pFile || (m_nMode & bNoFlushOnDelete)) return;
    try
    {
        Close();
    }
    catch (CException* e) // nothing may leave a destructor; whoever needs the error calls Close
    {
        e->Delete();
    }
    catch (...)
    {
    }
}

UINT CArchive::GetObjectSchema() noexcept
{
    const UINT schema = m_nObjectSchema;
    m_nObjectSchema = static_cast<UINT>(-1);
    return schema;
}

void CArchive::ThrowArchiveError(int cause) const
{
    const CString name = m_pFile ? m_pFile->GetFilePath() : CString();
    AfxThrowArchiveException(cause, name.GetString());
}

void CArchive::CheckStoring() const
{
    if (!m_pFile) ThrowArchiveError(CArchiveException::genericException);
    if (IsLoading()) ThrowArchiveError(CArchiveException::readOnly);
}

void CArchive::CheckLoading() const
{
    if (!m_pFile) ThrowArchiveError(CArchiveException::genericException);
    if (IsStoring()) ThrowArchiveError(CArchiveException::writeOnly);
}

UINT CArchive::Read(void* lpBuf, UINT nMax)
{
    CheckLoading();
    auto* out = static_cast<BYTE*>(lpBuf);
    UINT done = 0;
    while (done < nMax)
    {
        if (m_nCur == m_nMax)
        {
            const UINT wanted = nMax - done;
            if (wanted >= m_buffer.size()) // a large block goes straight from the file
            {
                const UINT read = m_pFile->Read(out + done, wanted);
                if (read == 0) break;
                done += read;
                continue;
            }
            m_nCur = 0;
            m_nMax = m_pFile->Read(m_buffer.data(), static_cast<UINT>(m_buffer.size()));
            if (m_nMax == 0) break;
        }
        const size_t count = std::min<size_t>(m_nMax - m_nCur, nMax - done);
        std::memcpy(out + done, m_buffer.data() + m_nCur, count);
        m_nCur += count;
        done += static_cast<UINT>(count);
    }
    return done;
}

void CArchive::EnsureRead(void* lpBuf, UINT nCount)
{
    if (Read(lpBuf, nCount) != nCount) ThrowArchiveError(CArchiveException::endOfFile);
}

void CArchive::Write(const void* lpBuf, UINT nCount)
{
    CheckStoring();
    if (nCount == 0) return;
    if (m_nMax + nCount <= m_buffer.size())
    {
        std::memcpy(m_buffer.data() + m_nMax, lpBuf, nCount);
        m_nMax += nCount;
        return;
    }
    WriteBuffer();
    if (nCount >= m_buffer.size())
        m_pFile->Write(lpBuf, nCount);
    else
    {
        std::memcpy(m_buffer.data(), lpBuf, nCount);
        m_nMax = nCount;
    }
}

void CArchive::WriteBuffer()
{
    if (m_nMax == 0) return;
    const UINT count = static_cast<UINT>(m_nMax);
    m_nMax = 0; // a failed write is not retried by a later flush
    m_pFile->Write(m_buffer.data(), count);
}

void CArchive::Flush()
{
    if (!m_pFile) return;
    if (IsStoring())
    {
        WriteBuffer();
        return;
    }
    const size_t unread = m_nMax - m_nCur;
    m_nCur = m_nMax = 0;
    if (unread) m_pFile->Seek(-static_cast<LONGLONG>(unread), 1 /* CFile::current */);
}

void CArchive::Close()
{
    Flush();
    m_pFile = nullptr;
}

void CArchive::Abort()
{
    m_pFile = nullptr;
    m_nCur = m_nMax = 0;
}

void CArchive::WriteCount(DWORD_PTR dwCount)
{
    if (dwCount < 0xFFFF)
    {
        *this << static_cast<WORD>(dwCount);
        return;
    }
    *this << static_cast<WORD>(0xFFFF);
    if (dwCount < 0xFFFFFFFF)
    {
        *this << static_cast<DWORD>(dwCount);
        return;
    }
    *this << static_cast<DWORD>(0xFFFFFFFF);
    *this << static_cast<ULONGLONG>(dwCount);
}

DWORD_PTR CArchive::ReadCount()
{
    WORD wCount = 0;
    *this >> wCount;
    if (wCount != 0xFFFF) return wCount;
    DWORD dwCount = 0;
    *this >> dwCount;
    if (dwCount != 0xFFFFFFFF) return dwCount;
    ULONGLONG qwCount = 0;
    *this >> qwCount;
    return static_cast<DWORD_PTR>(qwCount);
}

void CArchive::WriteStringLength(CArchive& ar, UINT_PTR nLength, bool bUnicode)
{
    if (bUnicode)
    {
        ar << static_cast<BYTE>(0xFF);
        ar << static_cast<WORD>(0xFFFE);
    }
    if (nLength < 0xFF)
    {
        ar << static_cast<BYTE>(nLength);
        return;
    }
    ar << static_cast<BYTE>(0xFF);
    if (nLength < 0xFFFE)
    {
        ar << static_cast<WORD>(nLength);
        return;
    }
    ar << static_cast<WORD>(0xFFFF);
    if (nLength < 0xFFFFFFFF)
    {
        ar << static_cast<DWORD>(nLength);
        return;
    }
    ar << static_cast<DWORD>(0xFFFFFFFF);
    ar << static_cast<ULONGLONG>(nLength);
}

UINT_PTR CArchive::ReadStringLength(CArchive& ar, int& nCharSize)
{
    nCharSize = 1;
    BYTE bLength = 0;
    ar >> bLength;
    if (bLength < 0xFF) return bLength;
    WORD wLength = 0;
    ar >> wLength;
    if (wLength == 0xFFFE)
    {
        // The wide-string marker; the length follows in its own prefix.
        nCharSize = 2;
        ar >> bLength;
        if (bLength < 0xFF) return bLength;
        ar >> wLength;
    }
    if (wLength < 0xFFFF) return wLength;
    DWORD dwLength = 0;
    ar >> dwLength;
    if (dwLength < 0xFFFFFFFF) return dwLength;
    ULONGLONG qwLength = 0;
    ar >> qwLength;
    return static_cast<UINT_PTR>(qwLength);
}

CArchive& CArchive::operator>>(bool& b)
{
    BYTE by = 0;
    *this >> by;
    b = by != 0;
    return *this;
}

CArchive& operator<<(CArchive& ar, const CString& str)
{
    CArchive::WriteStringLength(ar, static_cast<UINT_PTR>(str.GetLength()), true);
    ar.Write(str.GetString(), static_cast<UINT>(str.GetLength()) * sizeof(wchar_t));
    return ar;
}

CArchive& operator<<(CArchive& ar, const CStringA& str)
{
    CArchive::WriteStringLength(ar, static_cast<UINT_PTR>(str.GetLength()), false);
    ar.Write(str.GetString(), static_cast<UINT>(str.GetLength()));
    return ar;
}

CArchive& operator<<(CArchive& ar, LPCWSTR psz)
{
    return ar << CString(psz);
}

CArchive& operator<<(CArchive& ar, LPCSTR psz)
{
    return ar << CStringA(psz);
}

CArchive& operator>>(CArchive& ar, CString& str)
{
    int charSize = 1;
    const UINT_PTR length = CArchive::ReadStringLength(ar, charSize);
    if (charSize == 2)
    {
        std::wstring text;
        ReadCharacters(ar, length, text);
        str = CString(text);
    }
    else
    {
        std::string bytes;
        ReadCharacters(ar, length, bytes);
        str = CString(CStringA(bytes));
    }
    return ar;
}

CArchive& operator>>(CArchive& ar, CStringA& str)
{
    int charSize = 1;
    const UINT_PTR length = CArchive::ReadStringLength(ar, charSize);
    if (charSize == 2)
    {
        std::wstring text;
        ReadCharacters(ar, length, text);
        str = CStringA(CString(text));
    }
    else
    {
        std::string bytes;
        ReadCharacters(ar, length, bytes);
        str = CStringA(bytes);
    }
    return ar;
}

CArchive& operator<<(CArchive& ar, const COleDateTime& dateSrc)
{
    ar << static_cast<LONG>(dateSrc.m_status);
    return ar << dateSrc.m_dt;
}

CArchive& operator>>(CArchive& ar, COleDateTime& dateSrc)
{
    LONG status = 0;
    ar >> status;
    ar >> dateSrc.m_dt;
    dateSrc.m_status = static_cast<COleDateTime::DateTimeStatus>(status);
    return ar;
}

CArchive& operator<<(CArchive& ar, const COleDateTimeSpan& spanSrc)
{
    ar << static_cast<LONG>(spanSrc.m_status);
    return ar << spanSrc.m_span;
}

CArchive& operator>>(CArchive& ar, COleDateTimeSpan& spanSrc)
{
    LONG status = 0;
    ar >> status;
    ar >> spanSrc.m_span;
    spanSrc.m_status = static_cast<COleDateTimeSpan::DateTimeSpanStatus>(status);
    return ar;
}

CArchive& operator<<(CArchive& ar, CTime time)
{
    return ar << static_cast<LONGLONG>(time.GetTime());
}

CArchive& operator>>(CArchive& ar, CTime& time)
{
    LONGLONG value = 0;
    ar >> value;
    time = CTime(static_cast<__time64_t>(value));
    return ar;
}

CArchive& operator<<(CArchive& ar, CTimeSpan span)
{
    return ar << static_cast<LONGLONG>(span.GetTimeSpan());
}

CArchive& operator>>(CArchive& ar, CTimeSpan& span)
{
    LONGLONG value = 0;
    ar >> value;
    span = CTimeSpan(static_cast<__time64_t>(value));
    return ar;
}

void CByteArray::Serialize(CArchive& ar)
{
    if (ar.IsStoring())
    {
        const INT_PTR size = GetSize();
        ar.WriteCount(static_cast<DWORD_PTR>(size));
        if (size) ar.Write(GetData(), static_cast<UINT>(size));
        return;
    }
    // Grown piece by piece, so a corrupt count ends at the end of the data instead of allocating it.
    const DWORD_PTR count = ar.ReadCount();
    RemoveAll();
    DWORD_PTR done = 0;
    while (done < count)
    {
        const DWORD_PTR piece = std::min<DWORD_PTR>(count - done, kReadPiece);
        SetSize(static_cast<INT_PTR>(done + piece));
        ar.EnsureRead(GetData() + done, static_cast<UINT>(piece));
        done += piece;
    }
}
