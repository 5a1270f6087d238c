#pragma once
#include "framework/Platform.h"
#include <cstdint>

// The CRC-32 of CCrcFixedTable over a table this object builds at run time (Init).
// File and text operations without a table give ERROR_CRC and checksum 0; ComputeBuffer
// builds the table on first use instead.
class CCrcBuiltTable
{
public:
    CCrcBuiltTable() = default;
    CCrcBuiltTable(const CCrcBuiltTable&) = delete; // the table is owned once
    CCrcBuiltTable& operator=(const CCrcBuiltTable&) = delete;
    virtual ~CCrcBuiltTable();

    void Init(); // frees an existing table, then builds a new one
    void Free();

    DWORD ComputeBuffer(const void* pBuffer, UINT nCount);
    DWORD ComputeText(LPCWSTR szText, DWORD& dwCrc32) const;
    DWORD ComputeFileRead(LPCWSTR szFilename, DWORD& dwCrc32) const;
    DWORD ComputeFileGuarded(LPCWSTR szFilename, DWORD& dwCrc32) const;
    DWORD ComputeFileMapped(LPCWSTR szFilename, DWORD& dwCrc32) const;
    DWORD ComputeFileReserved(LPCWSTR szFilename, DWORD& dwCrc32) const; // always ERROR_NOT_SUPPORTED

private:
    uint32_t (*m_pTable)[256] = nullptr; // all slices of CrcEngine::Tables, slice 0 the standard table
};
