#pragma once
// The reading side behind ZipOpen: one open archive (file, duplicated handle or borrowed memory),
// its central directory walked in place, and at most one entry open at a time.
#include "core/ZipArchive.h"
#include "core/ZipLayout.h"
#include "framework/CHandleOwner.h"
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CZipReader
{
public:
    CZipReader();
    ~CZipReader();
    CZipReader(const CZipReader&) = delete;  // the open entry holds a zlib stream
    CZipReader& operator=(const CZipReader&) = delete;

    ZRESULT Open(const void* pSource, DWORD nLength, DWORD nKind);
    ZRESULT GetItem(int nIndex, ZipEntryA& entry);
    ZRESULT FindItem(const std::string& name, bool bIgnoreCase, int& nIndex, ZipEntryA& entry);
    ZRESULT Extract(int nIndex, void* pTarget, DWORD nLength, DWORD nKind);
    ZRESULT Close();

private:
    struct CentralHeader
    {
        uint16_t flags = 0, method = 0, dosTime = 0, dosDate = 0;
        uint32_t crc = 0, compSize = 0, uncSize = 0, externalAttr = 0, localOffset = 0;
        std::string name;  // whole stored name
        uint64_t next = 0; // position of the following central header
    };
    enum class ReadState { More, Complete, Corrupt, ReadError };
    struct EntryStream;

    bool ReadAt(uint64_t nPos, void* pData, DWORD nCount);
    bool ReadCentralAt(uint64_t nPos, CentralHeader& header);
    ZRESULT MoveTo(int nIndex, CentralHeader& header);
    ZRESULT CheckLocal(const CentralHeader& header, std::vector<BYTE>* pExtra, uint64_t& nDataPos);
    ZRESULT Describe(int nIndex, const CentralHeader& header, ZipEntryA& entry);
    ZRESULT OpenEntry(int nIndex);
    void CloseEntry();
    DWORD ReadEntry(BYTE* pOut, DWORD nCount, ReadState& state);
    ZRESULT ExtractToHandle(HANDLE hTarget);
    void CreateFoldersUnderRoot(const std::wstring& relativeFolder) const;

    // The source: a handle read from m_nStart on, or memory
    CFileHandle m_file;
    const BYTE* m_pMemory = nullptr;
    uint64_t m_nStart = 0;
    uint64_t m_nLength = 0;
    bool m_bOpen = false;

    uint64_t m_nPrefix = 0;  // bytes before the archive proper, added to every stored offset
    uint64_t m_nFirstCentral = 0;
    int m_nCount = 0;
    int m_nCurrent = 0;      // the central header at m_nCurrentPos is entry m_nCurrent
    uint64_t m_nCurrentPos = 0;

    std::unique_ptr<EntryStream> m_pEntry;
    int m_nOpenForMemory = -1;
    int m_nLastIndex = -1;
    ZipEntryA m_lastEntry{};
    std::wstring m_root;
};
