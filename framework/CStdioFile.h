#pragma once
#include "framework/CFile.h"
#include <cstdio>

// A file read and written through a C runtime stream (m_pStream), for text. Without typeBinary the
// stream is in text mode: CR LF on disk is LF in memory. Lines are text in the ANSI code page.
// Stream errors raise CFileException* with the runtime's system error.
class CStdioFile : public CFile
{
    DECLARE_DYNAMIC(CStdioFile)

public:
    CStdioFile() noexcept = default;
    explicit CStdioFile(FILE* pOpenStream) noexcept; // borrows the stream: Close is the caller's call
    CStdioFile(LPCWSTR lpszFileName, UINT nOpenFlags);
    ~CStdioFile() override;

    BOOL Open(LPCWSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr) override;
    virtual void WriteString(LPCWSTR lpsz);            // as it is: no line end is added
    virtual LPWSTR ReadString(LPWSTR lpsz, UINT nMax); // up to nMax - 1 characters, the LF kept; null at the end
    virtual BOOL ReadString(CString& rString);         // the next line without its LF; FALSE at the end

    UINT Read(void* lpBuf, UINT nCount) override;
    void Write(const void* lpBuf, UINT nCount) override;
    ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override;
    ULONGLONG GetPosition() const override;
    ULONGLONG GetLength() const override;
    void Flush() override;
    void Close() override;
    void Abort() override;
    CFile* Duplicate() const override;                             // not supported
    void LockRange(ULONGLONG dwPos, ULONGLONG dwCount) override;   // not supported
    void UnlockRange(ULONGLONG dwPos, ULONGLONG dwCount) override; // not supported

    FILE* m_pStream = nullptr;

protected:
    [[noreturn]] void ThrowStreamError(int cause) const;
};
