#pragma once
// Reading and writing ZIP archives (single disk, no ZIP64, no encryption; stored or Deflate
// entries) in files, behind open handles or in memory, through numbered result codes.
// A handle is either a reader (from ZipOpen) or a writer (from ZipCreate); each side keeps the
// result of its last operation for ZipFormatResult with code ZR_RECENT.
#include "framework/CHandleOwner.h"
#include "framework/Platform.h"

struct ZipHandleData;
using ZipHandle = ZipHandleData*;

using ZRESULT = DWORD;

// Where an archive, an extraction target or an added entry lives (the "kind" arguments).
constexpr DWORD ZIP_HANDLE = 1;   // an open handle: duplicated when an archive, borrowed otherwise
constexpr DWORD ZIP_FILENAME = 2; // a file name (wide text)
constexpr DWORD ZIP_MEMORY = 3;   // a memory block and its length
constexpr DWORD ZIP_FOLDER = 4;   // ZipAdd only: an empty folder entry

constexpr ZRESULT ZR_OK = 0x00000000;
constexpr ZRESULT ZR_RECENT = 0x00000001; // ZipFormatResult: the last result of that side
constexpr ZRESULT ZR_NODUPH = 0x00000100;
constexpr ZRESULT ZR_NOFILE = 0x00000200;
constexpr ZRESULT ZR_NOALLOC = 0x00000300;
constexpr ZRESULT ZR_WRITE = 0x00000400;
constexpr ZRESULT ZR_NOTFOUND = 0x00000500;
constexpr ZRESULT ZR_MORE = 0x00000600;
constexpr ZRESULT ZR_CORRUPT = 0x00000700;
constexpr ZRESULT ZR_READ = 0x00000800;
constexpr ZRESULT ZR_ARGS = 0x00010000;
constexpr ZRESULT ZR_NOTMMAP = 0x00020000;
constexpr ZRESULT ZR_MEMSIZE = 0x00030000;
constexpr ZRESULT ZR_FAILED = 0x00040000;
constexpr ZRESULT ZR_ENDED = 0x00050000;
constexpr ZRESULT ZR_MISSIZE = 0x00060000;
constexpr ZRESULT ZR_PARTIALUNZ = 0x00070000;
constexpr ZRESULT ZR_ZMODE = 0x00080000;
constexpr ZRESULT ZR_NOTINITED = 0x01000000;
constexpr ZRESULT ZR_SEEK = 0x02000000;
constexpr ZRESULT ZR_NOCHANGE = 0x04000000;
constexpr ZRESULT ZR_FLATE = 0x05000000;
// A failed ZipOpen leaves one of these (outside the table of texts) as the reading side's result.
constexpr ZRESULT ZR_OPEN_INCONSISTENT = static_cast<ZRESULT>(-103);
constexpr ZRESULT ZR_OPEN_FAILED = static_cast<ZRESULT>(-1);

constexpr int kZipMaxName = 260; // name buffer of a description, terminator included

// One entry of an archive; the narrow form carries the stored (ANSI code page) name.
struct ZipEntryA
{
    int index;
    char name[kZipMaxName];
    DWORD attr;
    FILETIME atime, ctime, mtime;
    LONG comp_size, unc_size;
};
struct ZipEntry
{
    int index;
    WCHAR name[kZipMaxName];
    DWORD attr;
    FILETIME atime, ctime, mtime;
    LONG comp_size, unc_size;
};

// ---- Reading ----
// pSource: LPCWSTR file name, HANDLE, or a memory block of nLength bytes that must outlive the handle.
ZipHandle ZipOpen(const void* pSource, DWORD nLength, DWORD nKind);
// nIndex -1 puts the number of entries in pEntry->index.
ZRESULT ZipGetItem(ZipHandle hZip, int nIndex, ZipEntryA* pEntry);
ZRESULT ZipGetItem(ZipHandle hZip, int nIndex, ZipEntry* pEntry);
ZRESULT ZipFindItem(ZipHandle hZip, LPCWSTR szName, bool bIgnoreCase, int* pIndex, ZipEntryA* pEntry);
ZRESULT ZipFindItem(ZipHandle hZip, LPCWSTR szName, bool bIgnoreCase, int* pIndex, ZipEntry* pEntry);
// pTarget: HANDLE, LPCWSTR file name or a buffer of nLength bytes. To memory, ZR_MORE means
// bytes were delivered (call again with the same index for more) and ZR_OK that none were left.
ZRESULT ZipExtractItem(ZipHandle hZip, int nIndex, void* pTarget, DWORD nLength, DWORD nKind);
ZRESULT ZipCloseReader(ZipHandle hZip);
BOOL ZipIsReader(ZipHandle hZip);

// ---- Writing ----
// pTarget: HANDLE, LPCWSTR file name, or a memory block of nSize bytes (null: the writer takes
// one from the paging file). Memory archives outgrow their block into paging-file memory.
ZipHandle ZipCreate(void* pTarget, DWORD nSize, DWORD nKind);
// pSource: HANDLE, LPCWSTR file name, memory block, or null for ZIP_FOLDER; nLevel 1 to 8.
ZRESULT ZipAdd(ZipHandle hZip, LPCWSTR szName, const void* pSource, DWORD nLength, DWORD nKind, int nLevel);
BOOL ZipAddFolder(ZipHandle hZip, LPCWSTR szFolder, LPCWSTR szSubPath);
// The bytes belong to the handle and live until ZipCloseWriter.
ZRESULT ZipGetMemory(ZipHandle hZip, void** ppData, DWORD* pLength);
ZRESULT ZipCloseWriter(ZipHandle hZip);
BOOL ZipIsWriter(ZipHandle hZip);

// ---- Both ----
enum class ZipSide
{
    Reading,
    Writing
}; // whose last result ZR_RECENT stands for
// The length of the full text; copies what fits, terminated, when pszBuffer and nSize allow.
int ZipFormatResult(ZRESULT code, LPWSTR pszBuffer, unsigned int nSize, ZipSide side = ZipSide::Reading);

// An open archive, reader or writer, closed by its own side.
struct CZipHandleTraits
{
    using HandleType = ZipHandle;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept
    {
        if (ZipIsReader(h))
            ZipCloseReader(h);
        else
            ZipCloseWriter(h);
    }
};
using CZipHandle = CHandleOwner<CZipHandleTraits>;
