// CAsyncSocketEx, its second half: sending, closing, statistics and descriptions. The receive path
// and the dispatch are in CAsyncSocketEx.cpp.
#include "core/CAsyncSocketEx.h"
#include "core/CLinkCipher.h"
#include "core/CLinkCompressor.h"
#include "core/CSocketSendBuffer.h"
#include "core/CStaticTools.h"
#include "framework/CException.h"
#include <climits>
#include <cstring>

// ---- sending ----

void CAsyncSocketEx::SendCommandFormatted(LPCWSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    SendCommandV(pszFormat, args);
    va_end(args);
}

void CAsyncSocketEx::SendCommandV(LPCWSTR pszFormat, va_list args)
{
    CString strLine;
    strLine.FormatV(pszFormat, args);
    SendString(strLine);
}

void CAsyncSocketEx::SendString(const CString& strText)
{
    if (m_bWide)
    {
        SendRaw(strText.GetString(), strText.GetLength() * 2);
        return;
    }
    const CStringA strBytes(strText); // the thread code page, as the peer reads it
    SendRaw(strBytes.GetString(), strBytes.GetLength());
}

void CAsyncSocketEx::SendRaw(const void* pBytes, int nCount)
{
    if (!pBytes || nCount < 0) return;
    CSingleLock lock(&m_csSend, TRUE); // deflate, RC4 and the wire see the bytes in one order
    m_nBytesSent += static_cast<DWORD>(nCount);
    const BYTE* pOut = static_cast<const BYTE*>(pBytes);
    int nOut = nCount;
    if (m_bCompression)
    {
        BYTE* pDeflated = nullptr;
        if (!m_pCompressor->Deflate(pOut, nCount, pDeflated, nOut)) return;
        if (m_bEncryption && !m_pCipher->Encrypt(pDeflated, static_cast<DWORD>(nOut))) return;
        SendOrQueue(pDeflated, nOut, nullptr);
        return;
    }
    if (!m_bEncryption || nOut == 0)
    {
        SendOrQueue(pOut, nOut, nullptr);
        return;
    }
    // The caller keeps its bytes: the cipher works on a copy in the reused work buffer.
    if (m_nSendWorkCapacity < nOut)
    {
        m_pSendWork.reset();
        m_pSendWork.reset(new BYTE[static_cast<size_t>(nOut)]);
        m_nSendWorkCapacity = nOut;
    }
    std::memcpy(m_pSendWork.get(), pOut, static_cast<size_t>(nOut));
    m_nSendCopiedBytes += static_cast<unsigned>(nOut);
    if (!m_pCipher->Encrypt(m_pSendWork.get(), static_cast<DWORD>(nOut))) return;
    SendOrQueue(m_pSendWork.get(), nOut, [this, nOut](int nTaken) -> std::unique_ptr<CSocketSendBuffer> {
        // Much of a large block has to wait: the work buffer itself waits in the queue instead of a
        // second copy of its rest, and the next send makes a new one. A short rest is copied, so that
        // lines behind a waiting payload do not make a new work buffer each.
        const int nRest = nOut - nTaken;
        if (nRest < kWorkHandOverBytes || nRest < m_nSendWorkCapacity / 2) return nullptr;
        m_nSendWorkCapacity = 0;
        return std::make_unique<CSocketSendBuffer>(std::move(m_pSendWork), nOut, nTaken);
    });
}

void CAsyncSocketEx::SendRaw(std::vector<BYTE>&& bytes)
{
    std::vector<BYTE> owned = std::move(bytes); // empty afterwards, whatever happens below
    if (owned.size() > static_cast<size_t>(INT_MAX)) return;
    const int nCount = static_cast<int>(owned.size());
    SendHandedOver(owned.data(), nCount,
                   [&](int nTaken) { return std::make_unique<CSocketSendBuffer>(std::move(owned), nTaken); });
}

void CAsyncSocketEx::SendRaw(std::unique_ptr<BYTE[]>&& pBytes, int nCount)
{
    std::unique_ptr<BYTE[]> pOwned = std::move(pBytes); // null afterwards, whatever happens below
    if (!pOwned || nCount < 0) return;
    SendHandedOver(pOwned.get(), nCount,
                   [&](int nTaken) { return std::make_unique<CSocketSendBuffer>(std::move(pOwned), nCount, nTaken); });
}

// Bytes the caller has handed over: encrypted where they lie, and the queue takes the block itself.
void CAsyncSocketEx::SendHandedOver(BYTE* pBytes, int nCount, const HandOver& handOver)
{
    CSingleLock lock(&m_csSend, TRUE);
    if (m_bCompression)
    {
        // Deflate's output is new bytes anyway; the handed-over ones are done with.
        SendRaw(pBytes, nCount);
        return;
    }
    m_nBytesSent += static_cast<DWORD>(nCount);
    if (nCount == 0) return;
    if (m_bEncryption && !m_pCipher->Encrypt(pBytes, static_cast<DWORD>(nCount))) return;
    SendOrQueue(pBytes, nCount, handOver);
}

// Under the send lock. Bytes go straight to the network when nothing waits; what the network does
// not take waits in the queue: the block handOver gives, or a copy when it gives none.
void CAsyncSocketEx::SendOrQueue(const BYTE* pOut, int nOut, const HandOver& handOver)
{
    if (nOut <= 0) return;
    const auto queue = [&](int nTaken) {
        std::unique_ptr<CSocketSendBuffer> pWaiting = handOver ? handOver(nTaken) : nullptr;
        if (!pWaiting)
        {
            pWaiting = std::make_unique<CSocketSendBuffer>(pOut + nTaken, nOut - nTaken);
            m_nSendCopiedBytes += static_cast<unsigned>(nOut - nTaken);
        }
        m_sendQueue.push_back(std::move(pWaiting));
    };
    if (!m_sendQueue.empty())
    {
        queue(0); // behind what waits
        FlushSendQueue();
        return;
    }
    const int nSent = Send(pOut, nOut);
    if (nSent == nOut) return;
    const int nTaken = nSent > 0 ? nSent : 0; // an error, would-block included, queues all of it
    queue(nTaken);
    if (nTaken > 0) FlushSendQueue(); // until the network refuses, so that FD_WRITE will follow
}

unsigned long long CAsyncSocketEx::GetSendCopiedBytes()
{
    CSingleLock lock(&m_csSend, TRUE);
    return m_nSendCopiedBytes;
}

void CAsyncSocketEx::FlushSendQueue()
{
    CSingleLock lock(&m_csSend, TRUE);
    while (!m_sendQueue.empty())
    {
        CSocketSendBuffer& buffer = *m_sendQueue.front();
        const int nRest = buffer.GetRestCount();
        const int nSent = nRest > 0 ? Send(buffer.GetRest(), nRest) : 0;
        if (nSent == nRest)
        {
            m_sendQueue.pop_front();
            continue;
        }
        if (nSent <= 0) return; // refused (would block): the network's next FD_WRITE brings OnSend
        // A partial send is no refusal, and Winsock posts FD_WRITE only after one: stopping here
        // would leave the queue waiting for a notification that never comes. Offer the rest.
        buffer.MarkSent(nSent);
    }
}

void CAsyncSocketEx::ClearSendQueue()
{
    CSingleLock lock(&m_csSend, TRUE);
    m_sendQueue.clear();
}

int CAsyncSocketEx::GetQueuedByteCount()
{
    CSingleLock lock(&m_csSend, TRUE);
    int nCount = 0;
    for (const auto& pBuffer : m_sendQueue)
        nCount += pBuffer->GetRestCount();
    return nCount;
}

void CAsyncSocketEx::OnSend(int nErrorCode)
{
    try
    {
        FlushSendQueue();
        CAsyncSocket::OnSend(nErrorCode);
    }
    catch (CException* pException) // nothing leaves a notification; the bytes stay queued
    {
        AfxReportSocketException(pException, m_hSocket, FD_WRITE);
    }
    catch (...)
    {
        AfxReportSocketException(nullptr, m_hSocket, FD_WRITE);
    }
}

// ---- closing ----

void CAsyncSocketEx::WriteCloseTraces(int nErrorCode)
{
    CString strReceived;
    CString strSent;
    if (m_bCompression)
    {
        strReceived.Format(L"SOCKET CLOSED (error %d) - Received (uncompressed): %s, Received (compressed): %s, "
                           L"Compression ratio: %ld:1",
                           nErrorCode, CStaticTools::FormatByteSize(GetBytesReceived(false)).GetString(),
                           CStaticTools::FormatByteSize(GetBytesReceived(true)).GetString(),
                           static_cast<long>(GetReceiveCompressionRatio()));
        strSent.Format(
            L"SOCKET CLOSED (error %d) - Sent (uncompressed): %s, Sent (compressed): %s, Compression ratio: %ld:1",
            nErrorCode, CStaticTools::FormatByteSize(GetBytesSent(false)).GetString(),
            CStaticTools::FormatByteSize(GetBytesSent(true)).GetString(), static_cast<long>(GetSendCompressionRatio()));
    }
    else
    {
        strReceived.Format(L"SOCKET CLOSED (error %d) - Received: %s", nErrorCode,
                           CStaticTools::FormatByteSize(m_nBytesReceived).GetString());
        strSent.Format(L"SOCKET CLOSED (error %d) - Sent: %s", nErrorCode,
                       CStaticTools::FormatByteSize(m_nBytesSent).GetString());
    }
    TraceReceived(strReceived);
    TraceSent(strSent);
}

void CAsyncSocketEx::OnClose(int nErrorCode)
{
    try
    {
        WriteCloseTraces(nErrorCode);
    }
    catch (CException* pException) // a trace must not keep the link from closing
    {
        AfxReportSocketException(pException, m_hSocket, FD_CLOSE);
    }
    catch (...)
    {
        AfxReportSocketException(nullptr, m_hSocket, FD_CLOSE);
    }
    m_bSession = false;
    m_nHandshakeState = 0;
    m_nBytesSent = 0;
    m_nBytesReceived = 0;
    ClearSendQueue();
    {
        CSingleLock lock(&m_csSend, TRUE); // a sender on another thread may be inside the layers
        m_pCipher->Release();
        m_pCompressor->End();
    }
    try
    {
        CAsyncSocket::OnClose(nErrorCode);
    }
    catch (CException* pException)
    {
        AfxReportSocketException(pException, m_hSocket, FD_CLOSE);
    }
    catch (...)
    {
        AfxReportSocketException(nullptr, m_hSocket, FD_CLOSE);
    }
    if (!m_bDeleteOnClose) return;
    if (m_nCommandsInProgress > 0 || m_nAcceptsInProgress > 0)
        m_bDeletePending = true; // the running pass or accept deletes it at its end
    else
        delete this;
}

BOOL CAsyncSocketEx::Disconnect()
{
    if (m_nCloseMessage != 0 && m_nOwnerThread != 0 && GetCurrentThreadId() != m_nOwnerThread &&
        PostThreadMessageW(m_nOwnerThread, m_nCloseMessage, static_cast<WPARAM>(m_hSocket), 0))
        return TRUE;
    Close();
    OnClose(0); // may delete this object
    return FALSE;
}

void CAsyncSocketEx::DisconnectByHandle(SOCKET hSocket)
{
    if (auto* pLink = dynamic_cast<CAsyncSocketEx*>(CAsyncSocket::LookupHandle(hSocket))) pLink->Disconnect();
}

// ---- statistics and descriptions ----

DWORD CAsyncSocketEx::GetBytesSent(bool bCompressed)
{
    if (!m_bCompression) return m_nBytesSent;
    CSingleLock lock(&m_csSend, TRUE);
    return bCompressed ? m_pCompressor->DeflatedOut() : m_pCompressor->DeflatedIn();
}

DWORD CAsyncSocketEx::GetBytesReceived(bool bCompressed)
{
    if (!m_bCompression) return m_nBytesReceived;
    return bCompressed ? m_pCompressor->InflatedIn() : m_pCompressor->InflatedOut();
}

double CAsyncSocketEx::GetSendCompressionRatio()
{
    CSingleLock lock(&m_csSend, TRUE);
    const unsigned long nOut = m_pCompressor->DeflatedOut();
    return nOut ? static_cast<double>(m_pCompressor->DeflatedIn()) / nOut : 0;
}

double CAsyncSocketEx::GetReceiveCompressionRatio()
{
    const unsigned long nIn = m_pCompressor->InflatedIn();
    return nIn ? static_cast<double>(m_pCompressor->InflatedOut()) / nIn : 0;
}

namespace
{

CString FormatAddress(const SOCKADDR_IN& address)
{
    const BYTE* b = reinterpret_cast<const BYTE*>(&address.sin_addr);
    CString str;
    str.Format(L"%u.%u.%u.%u:%hu", b[0], b[1], b[2], b[3], ntohs(address.sin_port));
    return str;
}

} // namespace

CString CAsyncSocketEx::GetLocalAddress()
{
    SOCKADDR_IN address{};
    int nLength = sizeof address;
    if (!GetSockName(reinterpret_cast<SOCKADDR*>(&address), &nLength) || address.sin_family != AF_INET)
        return CString();
    return FormatAddress(address);
}

CString CAsyncSocketEx::GetPeerAddress()
{
    SOCKADDR_IN address{};
    int nLength = sizeof address;
    if (!GetPeerName(reinterpret_cast<SOCKADDR*>(&address), &nLength) || address.sin_family != AF_INET)
        return CString();
    return FormatAddress(address);
}

CString CAsyncSocketEx::GetLinkDescription()
{
    CString str;
    str.Format(L"%s (%s) <-> %s (%s)", m_strLocalName.GetString(), GetLocalAddress().GetString(),
               m_strRemoteName.GetString(), GetPeerAddress().GetString());
    return str;
}

CString CAsyncSocketEx::GetDescription(bool bReverse)
{
    if (m_strLocalName.IsEmpty() || m_strRemoteName.IsEmpty()) return CString();
    CString str;
    str.Format(L"Socket from %s to %s", (bReverse ? m_strRemoteName : m_strLocalName).GetString(),
               (bReverse ? m_strLocalName : m_strRemoteName).GetString());
    return str;
}
