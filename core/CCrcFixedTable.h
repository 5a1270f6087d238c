#pragma once
#include "framework/Platform.h"

// CRC-32 of IEEE 802.3 (reflected 0xEDB88320, start 0xFFFFFFFF, result inverted), the checksum
// of every payload the programs exchange, over a table that is constant data.
// File and text operations return a Windows error number (0 on success) and always write the
// checksum of what they read, so a file that cannot be opened gives its error and checksum 0.
class CCrcFixedTable
{
public:
    virtual ~CCrcFixedTable() = default;

    static DWORD ComputeBuffer(const void* pBuffer, UINT nCount); // 0 for 0 bytes
    // Over the low byte of each character up to the terminator; always 0.
    static DWORD ComputeText(LPCWSTR szText, DWORD& dwCrc32);
    // Blocks of 4096 bytes; a read that fails in the middle gives its error.
    static DWORD ComputeFileRead(LPCWSTR szFilename, DWORD& dwCrc32);
    // As ComputeFileRead; an exception while reading gives ERROR_CRC.
    static DWORD ComputeFileGuarded(LPCWSTR szFilename, DWORD& dwCrc32);
    // Through read-only views of at most 10 MiB; ERROR_BAD_LENGTH when the size cannot be read.
    static DWORD ComputeFileMapped(LPCWSTR szFilename, DWORD& dwCrc32);
    // Kept for its callers: always ERROR_NOT_SUPPORTED, and dwCrc32 is left alone.
    static DWORD ComputeFileReserved(LPCWSTR szFilename, DWORD& dwCrc32);
};
