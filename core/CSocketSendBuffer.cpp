#include "core/CSocketSendBuffer.h"
#include <cstring>
#include <utility>

// Copied once, not zero-filled first.
CSocketSendBuffer::CSocketSendBuffer(const BYTE* pBytes, int nCount)
    : m_pBlock(new BYTE[nCount > 0 ? static_cast<size_t>(nCount) : 1]), m_nCount(nCount > 0 ? nCount : 0)
{
    if (m_nCount > 0) std::memcpy(m_pBlock.get(), pBytes, static_cast<size_t>(m_nCount));
    m_pBytes = m_pBlock.get();
}

CSocketSendBuffer::CSocketSendBuffer(std::vector<BYTE>&& bytes, int nAlreadySent)
    : m_vector(std::move(bytes)), m_pBytes(m_vector.data()), m_nCount(static_cast<int>(m_vector.size())),
      m_nSent(nAlreadySent)
{
}

CSocketSendBuffer::CSocketSendBuffer(std::unique_ptr<BYTE[]>&& pBytes, int nCount, int nAlreadySent)
    : m_pBlock(std::move(pBytes)), m_pBytes(m_pBlock.get()), m_nCount(m_pBlock && nCount > 0 ? nCount : 0),
      m_nSent(nAlreadySent)
{
}
