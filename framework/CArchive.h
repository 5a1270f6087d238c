#pragma once
#include "framework/COleDateTime.h"
#include "framework/CString.h"
#include "framework/CTime.h"
#include <vector>

class CFile;

// Stores values into a CFile or loads them from it, buffered, in the framework's byte format:
// numbers little-endian at their sizes (int and long 4 bytes, bool 1), strings with a length prefix
// (see WriteStringLength), counts in 2, 6 or 14 bytes (see WriteCount). Short data raise
// CArchiveException* (endOfFile); so do loads from a storing archive (writeOnly) and stores into a
// loading one (readOnly). File errors come through as the file's CFileException*.
class CArchive
{
public:
    enum Mode : UINT
    {
        store = 0,
        load = 1,
        bNoFlushOnDelete = 2, // the destructor does not write what is still buffered
        bNoByteSwap = 4,
    };

    CArchive(CFile* pFile, UINT nMode, int nBufSize = 4096, void* lpBuf = nullptr);
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;
    ~CArchive(); // closes (writing what is buffered) unless closed, aborted or bNoFlushOnDelete

    BOOL IsLoading() const noexcept { return (m_nMode & load) != 0; }
    BOOL IsStoring() const noexcept { return (m_nMode & load) == 0; }
    BOOL IsByteSwapping() const noexcept { return FALSE; }
    BOOL IsBufferEmpty() const noexcept { return m_nCur == m_nMax; }
    CFile* GetFile() const noexcept { return m_pFile; }
    UINT GetObjectSchema() noexcept; // the schema set last, once; then -1
    void SetObjectSchema(UINT nSchema) noexcept { m_nObjectSchema = nSchema; }

    UINT Read(void* lpBuf, UINT nMax);         // bytes read; fewer only at the end of the data
    void EnsureRead(void* lpBuf, UINT nCount); // exactly nCount bytes or endOfFile
    void Write(const void* lpBuf, UINT nCount);
    // Storing: writes the buffer to the file. Loading: gives the file back the bytes read ahead, so
    // the file's position is just after what the archive has consumed.
    void Flush();
    void Close(); // Flush, then detach from the file (which stays open)
    void Abort(); // detach without writing; never raises

    // Counts of elements: below 0xFFFF as a WORD; else 0xFFFF and a DWORD below 0xFFFFFFFF; else
    // 0xFFFFFFFF and a 64-bit count.
    void WriteCount(DWORD_PTR dwCount);
    DWORD_PTR ReadCount();

    // The prefix of a string of nLength characters. Wide strings start with FF FE FF; then the length
    // as one byte below 0xFF; else 0xFF and a WORD below 0xFFFE; else 0xFFFF and a DWORD below
    // 0xFFFFFFFF; else 0xFFFFFFFF and a 64-bit length.
    static void WriteStringLength(CArchive& ar, UINT_PTR nLength, bool bUnicode);
    static UINT_PTR ReadStringLength(CArchive& ar, int& nCharSize); // nCharSize 1 or 2

    CArchive& operator<<(BYTE by) { return WriteValue(by); }
    CArchive& operator<<(WORD w) { return WriteValue(w); }
    CArchive& operator<<(LONG l) { return WriteValue(l); }
    CArchive& operator<<(DWORD dw) { return WriteValue(dw); }
    CArchive& operator<<(float f) { return WriteValue(f); }
    CArchive& operator<<(double d) { return WriteValue(d); }
    CArchive& operator<<(LONGLONG dwdw) { return WriteValue(dwdw); }
    CArchive& operator<<(ULONGLONG dwdw) { return WriteValue(dwdw); }
    CArchive& operator<<(int i) { return WriteValue(i); }
    CArchive& operator<<(unsigned int u) { return WriteValue(u); }
    CArchive& operator<<(short w) { return WriteValue(w); }
    CArchive& operator<<(char ch) { return WriteValue(ch); }
    CArchive& operator<<(signed char ch) { return WriteValue(ch); }
    CArchive& operator<<(wchar_t ch) { return WriteValue(ch); }
    CArchive& operator<<(bool b) { return WriteValue(static_cast<BYTE>(b ? 1 : 0)); }
    // Pointers would otherwise become a bool; texts have their own operators below, objects are
    // stored through their Serialize.
    template <typename T> CArchive& operator<<(T*) = delete;

    CArchive& operator>>(BYTE& by) { return ReadValue(by); }
    CArchive& operator>>(WORD& w) { return ReadValue(w); }
    CArchive& operator>>(LONG& l) { return ReadValue(l); }
    CArchive& operator>>(DWORD& dw) { return ReadValue(dw); }
    CArchive& operator>>(float& f) { return ReadValue(f); }
    CArchive& operator>>(double& d) { return ReadValue(d); }
    CArchive& operator>>(LONGLONG& dwdw) { return ReadValue(dwdw); }
    CArchive& operator>>(ULONGLONG& dwdw) { return ReadValue(dwdw); }
    CArchive& operator>>(int& i) { return ReadValue(i); }
    CArchive& operator>>(unsigned int& u) { return ReadValue(u); }
    CArchive& operator>>(short& w) { return ReadValue(w); }
    CArchive& operator>>(char& ch) { return ReadValue(ch); }
    CArchive& operator>>(signed char& ch) { return ReadValue(ch); }
    CArchive& operator>>(wchar_t& ch) { return ReadValue(ch); }
    CArchive& operator>>(bool& b);

private:
    template <typename T> CArchive& WriteValue(T value)
    {
        Write(&value, sizeof(value)); // x86 is little-endian, the archive's order
        return *this;
    }
    template <typename T> CArchive& ReadValue(T& value)
    {
        EnsureRead(&value, sizeof(value));
        return *this;
    }
    void CheckStoring() const;
    void CheckLoading() const;
    void WriteBuffer();
    [[noreturn]] void ThrowArchiveError(int cause) const;

    CFile* m_pFile;
    UINT m_nMode;
    std::vector<BYTE> m_buffer;
    size_t m_nCur = 0; // next byte to read (loading)
    size_t m_nMax = 0; // end of the valid bytes: read ahead (loading) or waiting to be written (storing)
    UINT m_nObjectSchema = static_cast<UINT>(-1);
};

// Strings: a CString is stored in its wide form, a CStringA in its narrow form. Either loads from
// both forms, converting through the ANSI code page.
CArchive& operator<<(CArchive& ar, const CString& str);
CArchive& operator<<(CArchive& ar, const CStringA& str);
CArchive& operator>>(CArchive& ar, CString& str);
CArchive& operator>>(CArchive& ar, CStringA& str);
CArchive& operator<<(CArchive& ar, LPCWSTR psz); // as a CString
CArchive& operator<<(CArchive& ar, LPCSTR psz);  // as a CStringA

// A date is its status as a 32-bit number and then its value as a double; a span likewise.
CArchive& operator<<(CArchive& ar, const COleDateTime& dateSrc);
CArchive& operator>>(CArchive& ar, COleDateTime& dateSrc);
CArchive& operator<<(CArchive& ar, const COleDateTimeSpan& spanSrc);
CArchive& operator>>(CArchive& ar, COleDateTimeSpan& spanSrc);

// A time is its 64-bit count of seconds; a span likewise.
CArchive& operator<<(CArchive& ar, CTime time);
CArchive& operator>>(CArchive& ar, CTime& time);
CArchive& operator<<(CArchive& ar, CTimeSpan span);
CArchive& operator>>(CArchive& ar, CTimeSpan& span);
