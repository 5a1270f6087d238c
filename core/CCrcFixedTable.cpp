#include "core/CCrcFixedTable.h"
#include "core/CrcEngine.h"
#include <zlib.h>

namespace
{
struct FixedTables
{
    CrcEngine::Tables t;
};

constexpr FixedTables MakeTables()
{
    FixedTables tables{};
    CrcEngine::BuildTables(tables.t);
    return tables;
}

constexpr FixedTables kTables = MakeTables();
static_assert(kTables.t[0][1] == 0x77073096u && kTables.t[0][255] == 0x2D02EF8Du, "the standard CRC-32 table");
} // namespace

DWORD CCrcFixedTable::ComputeBuffer(const void* pBuffer, UINT nCount)
{
    if (!pBuffer || nCount == 0) return 0;
    // The same checksum as the table's; zlib's braided loop runs it about twice as fast, and the
    // large payloads of the links are checked here.
    return static_cast<DWORD>(crc32(0L, static_cast<const Bytef*>(pBuffer), nCount));
}

DWORD CCrcFixedTable::ComputeText(LPCWSTR szText, DWORD& dwCrc32)
{
    return CrcEngine::Text(kTables.t, szText, dwCrc32);
}

DWORD CCrcFixedTable::ComputeFileRead(LPCWSTR szFilename, DWORD& dwCrc32)
{
    return CrcEngine::FileRead(kTables.t, szFilename, dwCrc32);
}

DWORD CCrcFixedTable::ComputeFileGuarded(LPCWSTR szFilename, DWORD& dwCrc32)
{
    return CrcEngine::FileGuarded(kTables.t, szFilename, dwCrc32);
}

DWORD CCrcFixedTable::ComputeFileMapped(LPCWSTR szFilename, DWORD& dwCrc32)
{
    return CrcEngine::FileMapped(kTables.t, szFilename, dwCrc32);
}

DWORD CCrcFixedTable::ComputeFileReserved(LPCWSTR /*szFilename*/, DWORD& /*dwCrc32*/)
{
    return ERROR_NOT_SUPPORTED;
}
