#include "core/CSocketSendBuffer.h"
#include <utility>

// Constructed from the range: copied once, not zero-filled first.
CSocketSendBuffer::CSocketSendBuffer(const BYTE* pBytes, int nCount)
    : m_bytes(pBytes, pBytes + (nCount > 0 ? nCount : 0))
{
}

CSocketSendBuffer::CSocketSendBuffer(std::vector<BYTE>&& bytes, int nAlreadySent)
    : m_bytes(std::move(bytes)), m_nSent(nAlreadySent)
{
}
