#pragma once
#include "framework/CObject.h"
#include <memory>

// Bytes that the network has not taken yet, waiting in a link's send queue: an owned copy and
// how much of it has gone out.
class CSocketSendBuffer : public CObject
{
public:
    CSocketSendBuffer(const BYTE* pBytes, int nCount);
    CSocketSendBuffer(const CSocketSendBuffer&) = delete;
    CSocketSendBuffer& operator=(const CSocketSendBuffer&) = delete;

    const BYTE* GetRest() const { return m_pBytes.get() + m_nSent; }
    int GetRestCount() const { return m_nCount - m_nSent; }
    void MarkSent(int nCount) { m_nSent += nCount; }

private:
    int m_nCount;
    std::unique_ptr<BYTE[]> m_pBytes;
    int m_nSent = 0;
};
