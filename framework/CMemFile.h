#pragma once
#include "framework/CFile.h"

// A file held in memory. Its own buffer comes from malloc and grows in steps of nGrowBytes; Detach
// hands it to the caller, who frees it with free(). A buffer given to Attach (or the constructor)
// is used in place: it is neither copied nor freed. With nGrowBytes 0 such a buffer is the whole
// file and cannot grow (writing past its end raises CMemoryException*); with nGrowBytes > 0 it
// starts empty, and when it must grow the file moves to a buffer of its own, leaving the caller's
// bytes alone.
class CMemFile : public CFile
{
    DECLARE_DYNAMIC(CMemFile)

public:
    explicit CMemFile(UINT nGrowBytes = 1024) noexcept;
    CMemFile(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes = 0) noexcept;
    ~CMemFile() override;

    void Attach(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes = 0) noexcept;
    BYTE* Detach() noexcept; // the buffer (null when none); the file is empty afterwards

    UINT Read(void* lpBuf, UINT nCount) override;
    void Write(const void* lpBuf, UINT nCount) override;
    ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override;
    ULONGLONG GetPosition() const override { return m_nPosition; }
    ULONGLONG GetLength() const override { return m_nFileSize; }
    void SetLength(ULONGLONG dwNewLen) override;
    void LockRange(ULONGLONG dwPos, ULONGLONG dwCount) override;   // not supported
    void UnlockRange(ULONGLONG dwPos, ULONGLONG dwCount) override; // not supported
    void Flush() override {}
    void Close() override;
    void Abort() override { Close(); }
    CFile* Duplicate() const override; // not supported

protected:
    void GrowFile(SIZE_T dwNewLen);
    void FreeBuffer() noexcept;

    UINT m_nGrowBytes;
    SIZE_T m_nPosition = 0;
    SIZE_T m_nBufferSize = 0;
    SIZE_T m_nFileSize = 0;
    BYTE* m_lpBuffer = nullptr;
    BOOL m_bAutoDelete = TRUE; // the buffer is ours to free
};
