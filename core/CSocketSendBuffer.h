#pragma once
#include "framework/CObject.h"
#include <vector>

// Bytes that the network has not taken yet, waiting in a link's send queue, and how much of them
// has gone out. Either a copy of bytes the sender keeps, or the sender's own bytes handed over.
class CSocketSendBuffer : public CObject
{
public:
    CSocketSendBuffer(const BYTE* pBytes, int nCount);
    // Takes the bytes over without copying them; the first nAlreadySent of them have gone out.
    CSocketSendBuffer(std::vector<BYTE>&& bytes, int nAlreadySent);
    CSocketSendBuffer(const CSocketSendBuffer&) = delete;
    CSocketSendBuffer& operator=(const CSocketSendBuffer&) = delete;

    const BYTE* GetRest() const { return m_bytes.data() + m_nSent; }
    int GetRestCount() const { return static_cast<int>(m_bytes.size()) - m_nSent; }
    void MarkSent(int nCount) { m_nSent += nCount; }

private:
    std::vector<BYTE> m_bytes;
    int m_nSent = 0;
};
