#pragma once
#include "framework/CObject.h"
#include "framework/CString.h"
#include "framework/CTime.h"

class CFileException;

// What GetStatus tells about a file.
struct CFileStatus
{
    CTime m_ctime; // creation
    CTime m_mtime; // last write
    CTime m_atime; // last access
    ULONGLONG m_size = 0;
    BYTE m_attribute = 0; // CFile::Attribute bits
    WCHAR m_szFullName[MAX_PATH] = {};
};

// A file on disk behind a Windows handle (INVALID_HANDLE_VALUE when none). Failures raise
// CFileException* with the Windows error and the file's name, except Open, which reports them through
// its optional CFileException and returns FALSE.
class CFile : public CObject
{
    DECLARE_DYNAMIC(CFile)

public:
    enum OpenFlags : UINT
    {
        modeRead = 0x00000,
        modeWrite = 0x00001,
        modeReadWrite = 0x00002,
        shareCompat = 0x00000,
        shareExclusive = 0x00010,
        shareDenyWrite = 0x00020,
        shareDenyRead = 0x00030,
        shareDenyNone = 0x00040,
        modeNoInherit = 0x00080,
        typeUnicode = 0x00400, // for derived text files only
        modeCreate = 0x01000,
        modeNoTruncate = 0x02000,
        typeText = 0x04000,   // for derived text files only
        typeBinary = 0x08000, // for derived text files only
        osNoBuffer = 0x10000,
        osWriteThrough = 0x20000,
        osRandomAccess = 0x40000,
        osSequentialScan = 0x80000,
    };
    enum Attribute : BYTE
    {
        normal = 0x00,
        readOnly = 0x01,
        hidden = 0x02,
        system = 0x04,
        volume = 0x08,
        directory = 0x10,
        archive = 0x20,
    };
    enum SeekPosition : UINT
    {
        begin = 0x0,
        current = 0x1,
        end = 0x2,
    };
    static const HANDLE hFileNull;

    CFile() noexcept = default;
    explicit CFile(HANDLE hFile) noexcept;        // borrows the handle: it is not closed by this object
    CFile(LPCWSTR lpszFileName, UINT nOpenFlags); // raises CFileException* when it cannot open
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile() override; // closes an owned handle, ignoring errors

    operator HANDLE() const noexcept { return m_hFile; }

    virtual BOOL Open(LPCWSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr);
    virtual UINT Read(void* lpBuf, UINT nCount);        // bytes read; 0 at the end
    virtual void Write(const void* lpBuf, UINT nCount); // all bytes or an exception
    virtual ULONGLONG Seek(LONGLONG lOff, UINT nFrom);  // the new position
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    void SeekToBegin() { Seek(0, begin); }
    virtual ULONGLONG GetPosition() const;
    virtual ULONGLONG GetLength() const;
    virtual void SetLength(ULONGLONG dwNewLen); // leaves the position at the new end
    virtual void LockRange(ULONGLONG dwPos, ULONGLONG dwCount);
    virtual void UnlockRange(ULONGLONG dwPos, ULONGLONG dwCount);
    virtual void Flush();
    virtual void Close();             // raises when the system reports an error closing
    virtual void Abort();             // closes and ignores every error
    virtual CFile* Duplicate() const; // a new CFile over a duplicated handle; null without a file

    virtual CString GetFileName() const;  // the name without its folder
    virtual CString GetFileTitle() const; // the name without folder and extension
    virtual CString GetFilePath() const;  // the full path as opened
    virtual void SetFilePath(LPCWSTR lpszNewName);

    BOOL GetStatus(CFileStatus& rStatus) const; // FALSE when the system cannot tell
    static BOOL GetStatus(LPCWSTR lpszFileName, CFileStatus& rStatus);
    static void Rename(LPCWSTR lpszOldName, LPCWSTR lpszNewName);
    static void Remove(LPCWSTR lpszFileName);

    HANDLE m_hFile = INVALID_HANDLE_VALUE;

protected:
    [[noreturn]] void ThrowLastError() const;

    BOOL m_bCloseOnDelete = FALSE;
    CString m_strFileName;
};
