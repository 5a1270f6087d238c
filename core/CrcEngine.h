#pragma once
#include "framework/Platform.h"
#include <cstddef>
#include <cstdint>

// The CRC-32 of IEEE 802.3 (zlib's and ZIP's), shared by CCrcFixedTable and CCrcBuiltTable.
// Both classes keep the standard 256-entry table first, followed by the tables that let the
// loop consume sixteen bytes per step; all of them derive from the one polynomial, so the
// result is the byte-at-a-time result, only faster.
namespace CrcEngine
{
constexpr uint32_t kPolynomial = 0xEDB88320u;
constexpr uint32_t kStart = 0xFFFFFFFFu;
constexpr int kSlices = 16;
using Tables = uint32_t[kSlices][256];
using TablesPtr = const uint32_t (*)[256]; // kSlices rows

// Fills all slices; slice 0 is the standard table. constexpr so that the fixed table is
// constant data that no start-up code has to fill.
constexpr void BuildTables(uint32_t (*tables)[256])
{
    for (uint32_t i = 0; i < 256; ++i)
    {
        uint32_t v = i;
        for (int bit = 0; bit < 8; ++bit)
            v = (v & 1) ? (v >> 1) ^ kPolynomial : v >> 1;
        tables[0][i] = v;
    }
    // Slice k advances a byte that still has k zero bytes to pass through.
    for (int k = 1; k < kSlices; ++k)
        for (int i = 0; i < 256; ++i)
            tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
}

// Advances a running value (not inverted) over the bytes.
uint32_t Update(TablesPtr tables, uint32_t running, const BYTE* pBytes, size_t nCount);

// The file variants, written once for both classes. Each sets dwCrc32 to the running start
// value, advances it over what it read and inverts it, also when it fails.
DWORD FileRead(TablesPtr tables, LPCWSTR szPath, DWORD& dwCrc32);
DWORD FileGuarded(TablesPtr tables, LPCWSTR szPath, DWORD& dwCrc32);
DWORD FileMapped(TablesPtr tables, LPCWSTR szPath, DWORD& dwCrc32);
DWORD Text(TablesPtr tables, LPCWSTR szText, DWORD& dwCrc32);
} // namespace CrcEngine
