#include "core/CSocketSendBuffer.h"
#include <cstring>

CSocketSendBuffer::CSocketSendBuffer(const BYTE* pBytes, int nCount)
    : m_nCount(nCount), m_pBytes(new BYTE[nCount > 0 ? nCount : 1])
{
    if (nCount > 0) std::memcpy(m_pBytes.get(), pBytes, static_cast<size_t>(nCount));
}
