#include "framework/CMemFile.h"
#include "framework/CFileException.h"
#include <cstdlib>
#include <cstring>

IMPLEMENT_DYNAMIC(CMemFile, CFile)

CMemFile::CMemFile(UINT nGrowBytes) noexcept : m_nGrowBytes(nGrowBytes) {}

CMemFile::CMemFile(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes) noexcept : m_nGrowBytes(0)
{
    Attach(lpBuffer, nBufferSize, nGrowBytes);
}

CMemFile::~CMemFile()
{
    FreeBuffer();
}

void CMemFile::FreeBuffer() noexcept
{
    if (m_lpBuffer && m_bAutoDelete) std::free(m_lpBuffer);
    m_lpBuffer = nullptr;
    m_nBufferSize = m_nFileSize = m_nPosition = 0;
}

void CMemFile::Attach(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes) noexcept
{
    FreeBuffer();
    m_lpBuffer = lpBuffer;
    m_nBufferSize = lpBuffer ? nBufferSize : 0;
    m_nFileSize = nGrowBytes == 0 ? m_nBufferSize : 0;
    m_nGrowBytes = nGrowBytes;
    m_bAutoDelete = FALSE;
}

BYTE* CMemFile::Detach() noexcept
{
    BYTE* buffer = m_lpBuffer;
    m_lpBuffer = nullptr;
    m_nBufferSize = m_nFileSize = m_nPosition = 0;
    m_bAutoDelete = TRUE;
    return buffer;
}

void CMemFile::GrowFile(SIZE_T dwNewLen)
{
    if (dwNewLen <= m_nBufferSize) return;
    if (m_nGrowBytes == 0) AfxThrowMemoryException(); // a fixed buffer cannot grow
    SIZE_T newSize = m_nBufferSize;
    while (newSize < dwNewLen)
        newSize += m_nGrowBytes;
    BYTE* grown = nullptr;
    if (m_bAutoDelete)
        grown = static_cast<BYTE*>(std::realloc(m_lpBuffer, newSize));
    else
    {
        // The caller's bytes stay where and as they are; from now on the file lives in its own buffer.
        grown = static_cast<BYTE*>(std::malloc(newSize));
        if (grown && m_nFileSize) std::memcpy(grown, m_lpBuffer, m_nFileSize);
    }
    if (!grown) AfxThrowMemoryException();
    m_lpBuffer = grown;
    m_nBufferSize = newSize;
    m_bAutoDelete = TRUE;
}

UINT CMemFile::Read(void* lpBuf, UINT nCount)
{
    if (nCount == 0 || m_nPosition >= m_nFileSize) return 0;
    const SIZE_T available = m_nFileSize - m_nPosition;
    const UINT count = available < nCount ? static_cast<UINT>(available) : nCount;
    std::memcpy(lpBuf, m_lpBuffer + m_nPosition, count);
    m_nPosition += count;
    return count;
}

void CMemFile::Write(const void* lpBuf, UINT nCount)
{
    if (nCount == 0) return;
    const SIZE_T newEnd = m_nPosition + nCount;
    GrowFile(newEnd);
    if (m_nPosition > m_nFileSize) // after a seek past the end the gap reads as zeros
        std::memset(m_lpBuffer + m_nFileSize, 0, m_nPosition - m_nFileSize);
    std::memcpy(m_lpBuffer + m_nPosition, lpBuf, nCount);
    m_nPosition = newEnd;
    if (m_nPosition > m_nFileSize) m_nFileSize = m_nPosition;
}

ULONGLONG CMemFile::Seek(LONGLONG lOff, UINT nFrom)
{
    LONGLONG newPosition = 0;
    switch (nFrom)
    {
    case begin:
        newPosition = lOff;
        break;
    case current:
        newPosition = static_cast<LONGLONG>(m_nPosition) + lOff;
        break;
    case end:
        newPosition = static_cast<LONGLONG>(m_nFileSize) + lOff;
        break;
    default:
        AfxThrowFileException(CFileException::badSeek, -1, m_strFileName.GetString());
    }
    if (newPosition < 0) AfxThrowFileException(CFileException::badSeek, -1, m_strFileName.GetString());
    m_nPosition = static_cast<SIZE_T>(newPosition);
    return m_nPosition;
}

void CMemFile::SetLength(ULONGLONG dwNewLen)
{
    const SIZE_T newLength = static_cast<SIZE_T>(dwNewLen);
    GrowFile(newLength);
    if (newLength > m_nFileSize) std::memset(m_lpBuffer + m_nFileSize, 0, newLength - m_nFileSize);
    if (m_nPosition > newLength) m_nPosition = newLength;
    m_nFileSize = newLength;
}

void CMemFile::LockRange(ULONGLONG, ULONGLONG)
{
    AfxThrowNotSupportedException();
}

void CMemFile::UnlockRange(ULONGLONG, ULONGLONG)
{
    AfxThrowNotSupportedException();
}

void CMemFile::Close()
{
    FreeBuffer();
    m_bAutoDelete = TRUE;
}

CFile* CMemFile::Duplicate() const
{
    AfxThrowNotSupportedException();
}
