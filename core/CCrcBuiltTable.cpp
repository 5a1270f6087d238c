#include "core/CCrcBuiltTable.h"
#include "core/CrcEngine.h"

namespace
{
// Without a table the file and text operations report ERROR_CRC with checksum 0.
DWORD NoTable(DWORD& dwCrc32)
{
    dwCrc32 = 0;
    return ERROR_CRC;
}
} // namespace

CCrcBuiltTable::~CCrcBuiltTable()
{
    Free();
}

void CCrcBuiltTable::Init()
{
    Free();
    m_pTable = new uint32_t[CrcEngine::kSlices][256];
    CrcEngine::BuildTables(m_pTable);
}

void CCrcBuiltTable::Free()
{
    delete[] m_pTable;
    m_pTable = nullptr;
}

DWORD CCrcBuiltTable::ComputeBuffer(const void* pBuffer, UINT nCount)
{
    if (!pBuffer || nCount == 0) return 0;
    if (!m_pTable) Init(); // callers that forgot Init get the checksum, not a crash
    return ~CrcEngine::Update(m_pTable, CrcEngine::kStart, static_cast<const BYTE*>(pBuffer), nCount);
}

DWORD CCrcBuiltTable::ComputeText(LPCWSTR szText, DWORD& dwCrc32) const
{
    if (!m_pTable) return NoTable(dwCrc32);
    return CrcEngine::Text(m_pTable, szText, dwCrc32);
}

DWORD CCrcBuiltTable::ComputeFileRead(LPCWSTR szFilename, DWORD& dwCrc32) const
{
    if (!m_pTable) return NoTable(dwCrc32);
    return CrcEngine::FileRead(m_pTable, szFilename, dwCrc32);
}

DWORD CCrcBuiltTable::ComputeFileGuarded(LPCWSTR szFilename, DWORD& dwCrc32) const
{
    if (!m_pTable) return NoTable(dwCrc32);
    return CrcEngine::FileGuarded(m_pTable, szFilename, dwCrc32);
}

DWORD CCrcBuiltTable::ComputeFileMapped(LPCWSTR szFilename, DWORD& dwCrc32) const
{
    if (!m_pTable) return NoTable(dwCrc32);
    return CrcEngine::FileMapped(m_pTable, szFilename, dwCrc32);
}

DWORD CCrcBuiltTable::ComputeFileReserved(LPCWSTR /*szFilename*/, DWORD& /*dwCrc32*/) const
{
    return ERROR_NOT_SUPPORTED;
}
