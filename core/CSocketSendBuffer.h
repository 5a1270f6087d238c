#pragma once
#include "framework/CObject.h"
#include <memory>
#include <vector>

// Bytes that the network has not taken yet, waiting in a link's send queue, and how much of them
// has gone out. Either a copy of bytes the sender keeps, or the sender's own bytes handed over.
class CSocketSendBuffer : public CObject
{
public:
    CSocketSendBuffer(const BYTE* pBytes, int nCount);
    // Take the bytes over without copying them; the first nAlreadySent of them have gone out.
    CSocketSendBuffer(std::vector<BYTE>&& bytes, int nAlreadySent);
    CSocketSendBuffer(std::unique_ptr<BYTE[]>&& pBytes, int nCount, int nAlreadySent);
    CSocketSendBuffer(const CSocketSendBuffer&) = delete;
    CSocketSendBuffer& operator=(const CSocketSendBuffer&) = delete;

    const BYTE* GetRest() const { return m_pBytes + m_nSent; }
    int GetRestCount() const { return m_nCount - m_nSent; }
    void MarkSent(int nCount) { m_nSent += nCount; }

private:
    std::vector<BYTE> m_vector; // one of the two owns the bytes
    std::unique_ptr<BYTE[]> m_pBlock;
    const BYTE* m_pBytes = nullptr;
    int m_nCount = 0;
    int m_nSent = 0;
};
