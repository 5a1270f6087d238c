#pragma once
// The writing side behind ZipCreate: entries go out one after the other to a file, a handle
// (a pipe too: then each entry is followed by a data descriptor) or memory that grows into
// paging-file blocks; the central directory is written once, when the archive is finished.
#include "core/ZipArchive.h"
#include "core/ZipLayout.h"
#include "framework/CHandleOwner.h"
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CZipWriter
{
public:
    CZipWriter();
    ~CZipWriter();
    CZipWriter(const CZipWriter&) = delete; // owns the output and its mapping
    CZipWriter& operator=(const CZipWriter&) = delete;

    ZRESULT Create(void* pTarget, DWORD nSize, DWORD nKind);
    ZRESULT Add(LPCWSTR szName, const void* pSource, DWORD nLength, DWORD nKind, int nLevel);
    BOOL AddFolder(const std::wstring& folder, const std::wstring& subPath);
    ZRESULT GetMemory(void** ppData, DWORD* pLength);
    ZRESULT Finish(); // once; later calls give the first call's result

private:
    struct Entry
    {
        std::string name;
        uint16_t flags = 0, method = 0, dosTime = 0, dosDate = 0, internalAttr = 0;
        uint32_t crc = 0, compSize = 0, uncSize = 0, externalAttr = 0, localOffset = 0;
        uint32_t mtime = 0, atime = 0, ctime = 0; // Unix seconds
    };
    struct Source;
    class CPagingBlock;

    ZRESULT Write(const void* pData, DWORD nCount);
    ZRESULT WriteAt(uint64_t nPos, const void* pData, DWORD nCount);
    ZRESULT GrowMemory(uint64_t nNeeded);
    ZRESULT OpenSource(Source& source, const void* pSource, DWORD nLength, DWORD nKind, Entry& entry);
    ZRESULT CopyStored(Source& source, Entry& entry);
    ZRESULT CopyDeflated(Source& source, Entry& entry, int nLevel);
    std::vector<BYTE> LocalHeader(const Entry& entry) const;
    static BYTE* PutSharedFields(BYTE* p, const Entry& entry);

    // The output: a file handle, or memory (the caller's block or a paging-file block of ours)
    CFileHandle m_file;
    bool m_bMemory = false;
    bool m_bSeekable = false;
    BYTE* m_pMemory = nullptr;
    uint64_t m_nMemorySize = 0;
    std::vector<std::unique_ptr<CPagingBlock>> m_blocks; // the last one holds the archive
    uint64_t m_nBase = 0;                                // where the archive starts in a handle's file
    uint64_t m_nPos = 0;                                 // bytes of archive written
    bool m_bCreated = false;
    bool m_bWriteFailed = false;
    bool m_bFinished = false;
    ZRESULT m_finishResult = ZR_OK;
    std::vector<Entry> m_entries;
};
