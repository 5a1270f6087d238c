#include "core/CAsyncSocketEx.h"
#include "core/CLinkCipher.h"
#include "core/CLinkCompressor.h"
#include "core/CSocketSendBuffer.h"
#include "core/CStaticTools.h"
#include "framework/CException.h"
#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <cwctype>
#include <exception>
#include <mstcpip.h>
#include <string>
#include <vector>

namespace
{

constexpr int kReceiveBufferStep = 32768;
constexpr int kWorkBufferStart = 1024;
constexpr int kInflateInputStep = 1024;
// One network read inflates to at most about 1032 times its size: a capped input keeps what a single
// read can add to the buffer at about 66 MiB, however the peer packs its stream.
constexpr int kInflateInputLimit = 65536;
// Room below INT_MAX, so that offsets plus a line end still fit the 32-bit counts.
constexpr int kMaxBuffered = INT_MAX - kReceiveBufferStep;
constexpr int kReadsPerPayloadPass = 64;
constexpr wchar_t kEscapedBlank = 0x0C;
constexpr wchar_t kEscapedReturn = 0x07;
constexpr wchar_t kEmptyField = 0x08;

// Texts from the wire go into diagnostics only when they are readable.
bool IsReadableText(const CString& str)
{
    const wchar_t* p = str.GetString();
    for (int i = 0; i < str.GetLength(); ++i)
    {
        const wchar_t ch = p[i];
        if (ch == kEscapedReturn || ch == kEmptyField || ch == kEscapedBlank || ch == 0x20AC) continue;
        if (!std::iswprint(ch) && !std::iswspace(ch)) return false;
    }
    return true;
}

CString Readable(const CString& str)
{
    return IsReadableText(str) ? str : CString(L"<invalid string>");
}

CString FromUtf8(const char* psz)
{
    CString str;
    if (!psz || !*psz) return str;
    const int nLength = MultiByteToWideChar(CP_UTF8, 0, psz, -1, nullptr, 0);
    if (nLength <= 1) return str;
    wchar_t* p = str.GetBufferSetLength(nLength - 1);
    MultiByteToWideChar(CP_UTF8, 0, psz, -1, p, nLength);
    str.ReleaseBuffer(nLength - 1);
    return str;
}

// Copies UTF-16LE bytes into a text, reusing its buffer.
void CopyWide(CString& str, const BYTE* pBytes, int nChars)
{
    wchar_t* p = str.GetBufferSetLength(nChars);
    std::memcpy(p, pBytes, static_cast<size_t>(nChars) * 2);
    str.ReleaseBuffer(nChars);
}

void Unescape(CString& strField)
{
    if (strField.GetLength() == 1 && strField[0] == kEmptyField)
    {
        strField.Empty();
        return;
    }
    if (!std::wcspbrk(strField.GetString(), L"\x0C\x07")) return; // most fields carry no escape
    strField.Replace(kEscapedBlank, L' ');
    strField.Replace(kEscapedReturn, L'\r');
}

} // namespace

CSocketCommandMap CAsyncSocketEx::s_mapCommands;
CCriticalSection CAsyncSocketEx::s_csCommandMap;

// Marks a receive pass as running and, on every way out, compacts the buffer once and lets the next
// notification run a pass of its own.
class CAsyncSocketEx::CPassScope
{
public:
    explicit CPassScope(CAsyncSocketEx& socket) : m_socket(socket) { m_socket.m_bPassRunning = true; }
    ~CPassScope()
    {
        m_socket.m_bPassRunning = false;
        m_socket.CompactReceiveBuffer();
    }
    CPassScope(const CPassScope&) = delete;
    CPassScope& operator=(const CPassScope&) = delete;

private:
    CAsyncSocketEx& m_socket;
};

// Counts a handler as running for the deferred deletion, whatever way it leaves.
class CAsyncSocketEx::CCommandScope
{
public:
    explicit CCommandScope(std::atomic<long>& nCount) : m_nCount(nCount) { ++m_nCount; }
    ~CCommandScope() { --m_nCount; }
    CCommandScope(const CCommandScope&) = delete;
    CCommandScope& operator=(const CCommandScope&) = delete;

private:
    std::atomic<long>& m_nCount;
};

CAsyncSocketEx::CAsyncSocketEx(bool bEncryptionDefault, bool bCompressionDefault)
    : m_bEncryptionDefault(bEncryptionDefault), m_bCompressionDefault(bCompressionDefault),
      m_bEncryption(bEncryptionDefault), m_bCompression(bCompressionDefault),
      m_pReceiveBuffer(new BYTE[kReceiveBufferStep]), m_nReceiveCapacity(kReceiveBufferStep),
      m_pSendWork(new BYTE[kWorkBufferStart]), m_nSendWorkCapacity(kWorkBufferStart), m_inflateInput(kInflateInputStep),
      m_pCipher(new CLinkCipher), m_pCompressor(new CLinkCompressor)
{
    ResetConnection();
    // Failures leave the layers without keys or streams: a link that switches them on then drops
    // what it would send and closes on what it receives, rather than passing plain bytes.
    InitEncryption(s_szLinkPassPhrase);
    InitCompression(-1); // zlib's default level
}

CAsyncSocketEx::~CAsyncSocketEx()
{
    ClearSendQueue();
}

// The handshake rebuilds the layers on the owner thread while a sender on another thread may be inside
// them: the send lock keeps keys and streams from being replaced under it.
BOOL CAsyncSocketEx::InitEncryption(const char* pszPassPhrase)
{
    CSingleLock lock(&m_csSend, TRUE);
    return m_pCipher->Init(pszPassPhrase);
}

BOOL CAsyncSocketEx::InitCompression(int nLevel)
{
    CSingleLock lock(&m_csSend, TRUE);
    return m_pCompressor->Init(nLevel);
}

BOOL CAsyncSocketEx::Create(UINT nSocketPort, int nSocketType, long lEvent, LPCWSTR lpszSocketAddress)
{
    InitCommandMap();
    ClearSendQueue();
    ResetConnection();
    if (!CAsyncSocket::Create(nSocketPort, nSocketType, lEvent, lpszSocketAddress)) return FALSE;
    // Keep-alive only finds dead peers sooner; a stack that refuses it still gives a working link, and the
    // creation's last error must not be disturbed by it.
    const int nLastError = WSAGetLastError();
    tcp_keepalive keepAlive = {1, 60000, 1000};
    DWORD nReturned = 0;
    WSAIoctl(m_hSocket, SIO_KEEPALIVE_VALS, &keepAlive, sizeof keepAlive, nullptr, 0, &nReturned, nullptr, nullptr);
    WSASetLastError(nLastError);
    return TRUE;
}

CSocketCommandMap* CAsyncSocketEx::GetCommandMap()
{
    return &s_mapCommands;
}

void CAsyncSocketEx::InitCommandMap()
{
    CSingleLock lock(&s_csCommandMap, TRUE);
    if (s_mapCommands.IsEmpty()) AddBuiltInCommands(s_mapCommands);
}

void CAsyncSocketEx::ResetConnection()
{
    m_nReceived = 0;
    m_nReceiveOffset = 0;
    m_nLineSearchFrom = 0;
    m_bSession = false;
    if (m_bDetectEncoding)
    {
        m_bEncodingDetected = false;
        m_bWide = true;
        m_nCharSize = 2;
    }
    m_bEncryption = m_bEncryptionDefault;
    m_bCompression = m_bCompressionDefault;
    m_bAcceptingSide = false;
    m_nHandshakeState = 0;
    ForgetPayload();
    m_nReserveTarget = 0;
    m_bStreamBroken = false;
    m_nBrokenError = 0;
    m_strBrokenReason.Empty();
}

int CAsyncSocketEx::ReadFromNetwork(void* pTarget, int nCount, int nFlags)
{
    return CAsyncSocket::Receive(pTarget, nCount, nFlags);
}

int CAsyncSocketEx::Receive(void* /*lpBuf*/, int /*nBufLen*/, int nFlags)
{
    if (m_bCompression) return ReceiveCompressed(nFlags);
    if (IsPayloadPending())
    {
        // The payload's room grows only as its bytes fill it; a read that fills it reads on.
        int nTotal = 0;
        for (int nReads = 0; IsPayloadPending() && nReads < kReadsPerPayloadPass; ++nReads)
        {
            if (m_nPayloadReceived == m_nPayloadCapacity && !GrowPayload()) return 0;
            const int nRoom = m_nPayloadCapacity - m_nPayloadReceived;
            const int nRead = ReadIntoBuffer(m_pPayload.get() + m_nPayloadReceived, nRoom, nFlags, true);
            if (m_bStreamBroken) return 0;
            if (nRead < 1) return nTotal > 0 ? nTotal : nRead;
            nTotal += nRead;
            if (nRead < nRoom) break; // the network has nothing more now
        }
        return nTotal;
    }
    CompactReceiveBuffer();
    // The buffer grows only when it is full and more is waiting: a read that just filled it says
    // nothing about what follows, and the pass after it may well make room.
    if (m_nReceived == m_nReceiveCapacity)
    {
        const DWORD nPending = PendingNetworkBytes();
        if (!GrowReceiveBuffer(static_cast<int>(std::min<DWORD>(nPending, static_cast<DWORD>(kMaxBuffered))))) return 0;
    }
    int nTotal = ReadIntoBuffer(m_pReceiveBuffer.get() + m_nReceived, m_nReceiveCapacity - m_nReceived, nFlags, false);
    // A handler waits for a payload it has room for: what else has arrived meanwhile is taken now, not
    // one notification (and one pass) per network read. Bounded, so the thread's messages go on.
    for (int nReads = 1; nTotal > 0 && m_bLastCommandIncomplete && nReads < kReadsPerPayloadPass; ++nReads)
    {
        // A full buffer grows here only towards what the handler announced, and only because its
        // bytes came: the next read may find the rest.
        if (m_nReceived == m_nReceiveCapacity &&
            (!IsReserveShort() || !GrowReceiveBuffer(static_cast<int>(std::min<DWORD>(
                                      PendingNetworkBytes(), static_cast<DWORD>(kMaxBuffered))))))
            break;
        const int nRead =
            ReadIntoBuffer(m_pReceiveBuffer.get() + m_nReceived, m_nReceiveCapacity - m_nReceived, nFlags, false);
        if (m_bStreamBroken) return 0;
        if (nRead < 1) break; // nothing more now; a close comes with its own notification
        nTotal += nRead;
    }
    return nTotal;
}

DWORD CAsyncSocketEx::PendingNetworkBytes()
{
    DWORD nPending = 0;
    if (m_hSocket == INVALID_SOCKET || !IOCtl(FIONREAD, &nPending)) nPending = 0;
    return nPending;
}

int CAsyncSocketEx::ReadIntoBuffer(BYTE* pTarget, int nRoom, int nFlags, bool bIntoPayload)
{
    const int nRead = ReadFromNetwork(pTarget, nRoom, nFlags);
    if (nRead < 1) return nRead == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK ? -1 : 0;
    if (!DecryptReceived(pTarget, nRead)) return 0;
    if (bIntoPayload)
    {
        m_nPayloadReceived += nRead;
        return nRead;
    }
    m_nReceived += nRead;
    return nRead;
}

bool CAsyncSocketEx::DecryptReceived(BYTE* pBytes, int nCount)
{
    if (!m_bEncryption || m_pCipher->Decrypt(pBytes, static_cast<DWORD>(nCount))) return true;
    // The key stream is out of step with the peer's from here on: nothing more can be read.
    BreakStream(WSAECONNABORTED, nullptr);
    return false;
}

// Compression on. While a handler waits for a payload it has room for, one notification reads on,
// as the plain path does.
int CAsyncSocketEx::ReceiveCompressed(int nFlags)
{
    int nTotal = ReceiveCompressedOnce(nFlags);
    for (int nReads = 1;
         nTotal > 0 && m_bLastCommandIncomplete && m_nReceived < m_nReceiveCapacity && nReads < kReadsPerPayloadPass;
         ++nReads)
    {
        const int nInflated = ReceiveCompressedOnce(nFlags);
        if (m_bStreamBroken) return 0;
        if (nInflated < 1) break;
        nTotal += nInflated;
    }
    return nTotal;
}

// One network read into the inflate input, then inflated into the pending payload and the receive
// buffer until the input is used up.
int CAsyncSocketEx::ReceiveCompressedOnce(int nFlags)
{
    const int nCapacity = static_cast<int>(m_inflateInput.size());
    const int nRead = ReadFromNetwork(m_inflateInput.data(), nCapacity, nFlags);
    if (nRead < 1) return nRead == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK ? -1 : 0;
    if (!DecryptReceived(m_inflateInput.data(), nRead)) return 0;
    m_pCompressor->SetInflateInput(m_inflateInput.data(), nRead);
    int nTotal = 0;
    for (;;)
    {
        const bool bIntoPayload = IsPayloadPending();
        BYTE* pTarget = nullptr;
        int nRoom = 0;
        if (bIntoPayload)
        {
            if (m_nPayloadReceived == m_nPayloadCapacity && !GrowPayload()) return 0;
            pTarget = m_pPayload.get() + m_nPayloadReceived;
            nRoom = m_nPayloadCapacity - m_nPayloadReceived;
        }
        else
        {
            CompactReceiveBuffer();
            if (m_nReceived == m_nReceiveCapacity &&
                !GrowReceiveBuffer(std::max(kReceiveBufferStep, static_cast<int>(m_inflateInput.size()))))
                return 0;
            pTarget = m_pReceiveBuffer.get() + m_nReceived;
            nRoom = m_nReceiveCapacity - m_nReceived;
        }
        int nOut = 0;
        if (!m_pCompressor->Inflate(pTarget, nRoom, nOut))
        {
            BreakStream(WSAECONNABORTED, nullptr);
            return 0;
        }
        if (bIntoPayload)
            m_nPayloadReceived += nOut;
        else
            m_nReceived += nOut;
        nTotal += nOut;
        if (nOut < nRoom) break; // the call left room: the input is used up
    }
    if (m_pCompressor->HasInflateInput())
    {
        BreakStream(WSAECONNABORTED, nullptr); // room was left but input not taken: the peer's stream ended
        return 0;
    }
    if (nRead == nCapacity && nCapacity < kInflateInputLimit)
    {
        const DWORD nPending = PendingNetworkBytes();
        const size_t nGrown = static_cast<size_t>(nCapacity) + kInflateInputStep +
                              (nPending > static_cast<DWORD>(kReceiveBufferStep) ? nPending : 0);
        m_inflateInput.resize(std::min<size_t>(nGrown, kInflateInputLimit));
    }
    // Bytes that inflate to nothing yet (a block cut by the network) are no closed link: the
    // callers take 0 for "closed" and -1 for "nothing yet".
    return nTotal > 0 ? nTotal : -1;
}

void CAsyncSocketEx::BreakStream(int nError, LPCWSTR pszReason)
{
    m_bStreamBroken = true;
    m_nBrokenError = nError;
    m_strBrokenReason = pszReason ? pszReason : L"";
}

// A corrupt inflate stream or a cipher failure: what follows cannot be read, so the link closes as
// if the peer had closed it. A link closed for holding too much also gives its memory back at once:
// an owned link may wait long for its next Create.
void CAsyncSocketEx::CloseBrokenLink()
{
    const int nError = m_nBrokenError != 0 ? m_nBrokenError : WSAECONNABORTED;
    const CString strReason = m_strBrokenReason;
    m_bStreamBroken = false;
    m_nBrokenError = 0;
    m_strBrokenReason.Empty();
    if (!strReason.IsEmpty())
    {
        OnCommandException(CString(), CString(), strReason);
        DiscardReceived();
        if (m_nReceiveCapacity > kReceiveBufferStep)
        {
            m_pReceiveBuffer.reset(); // first, so the two blocks never coexist
            m_pReceiveBuffer = AllocateReceiveBuffer(kReceiveBufferStep);
            m_nReceiveCapacity = kReceiveBufferStep;
        }
    }
    Close();
    OnClose(nError); // may delete this object
}

std::unique_ptr<BYTE[]> CAsyncSocketEx::AllocateReceiveBuffer(int nCapacity)
{
    return std::unique_ptr<BYTE[]>(new BYTE[nCapacity > 0 ? nCapacity : 1]);
}

// The old block goes as soon as its bytes are over: two large blocks live only for the copy.
void CAsyncSocketEx::ReplaceReceiveBuffer(int nCapacity)
{
    std::unique_ptr<BYTE[]> pBuffer = AllocateReceiveBuffer(nCapacity);
    if (m_nReceived > 0) std::memcpy(pBuffer.get(), GetReceivedData(), static_cast<size_t>(m_nReceived));
    m_pReceiveBuffer = std::move(pBuffer);
    m_nReceiveCapacity = nCapacity;
    m_nReceiveOffset = 0;
}

// Called with a full buffer. FALSE when the bytes may not grow further; the stream is then broken.
bool CAsyncSocketEx::GrowReceiveBuffer(int nBy)
{
    CompactReceiveBuffer();
    // At least by half the capacity: a 20 MB payload arriving 32 KB at a time would otherwise copy
    // the whole buffer hundreds of times.
    long long nWanted =
        static_cast<long long>(m_nReceiveCapacity) + std::max({nBy, kReceiveBufferStep, m_nReceiveCapacity / 2});
    int nLineLength = 0;
    if (!m_bLastCommandIncomplete && !FindLineEnd(nLineLength))
    {
        // No handler owns these bytes and no line ends among them: they are all one unfinished line.
        const int nLineLimit = kMaxLineBytes + m_nCharSize;
        if (m_nReceived >= nLineLimit)
        {
            CString strReason;
            strReason.Format(L"line longer than %d bytes", kMaxLineBytes);
            BreakStream(WSAEMSGSIZE, strReason);
            return false;
        }
        nWanted = std::min<long long>(nWanted, nLineLimit);
    }
    // A waiting handler announced its total: the last block is exactly that, not half as much again.
    if (IsReserveShort()) nWanted = std::min<long long>(nWanted, m_nReserveTarget);
    if (m_nReceiveCapacity >= kMaxBuffered)
    {
        BreakStream(WSAEMSGSIZE, L"more bytes than the link can count");
        return false;
    }
    try
    {
        ReplaceReceiveBuffer(static_cast<int>(std::min<long long>(nWanted, kMaxBuffered)));
    }
    catch (const std::bad_alloc&)
    {
        BreakStream(WSAENOBUFS, L"out of memory for the received bytes");
        return false;
    }
    return true;
}

// Called with a full payload block. By half or more, as the receive buffer grows, and never beyond the
// expected length; FALSE (the stream broken) when memory runs out.
bool CAsyncSocketEx::GrowPayload()
{
    const long long nWanted = static_cast<long long>(m_nPayloadCapacity) +
                              std::max({static_cast<long long>(PendingNetworkBytes()),
                                        static_cast<long long>(kReceiveBufferStep),
                                        static_cast<long long>(m_nPayloadCapacity / 2)});
    const int nCapacity = static_cast<int>(std::min<long long>(nWanted, m_nPayloadExpected));
    try
    {
        std::unique_ptr<BYTE[]> pPayload = AllocateReceiveBuffer(nCapacity);
        if (m_nPayloadReceived > 0)
            std::memcpy(pPayload.get(), m_pPayload.get(), static_cast<size_t>(m_nPayloadReceived));
        m_pPayload = std::move(pPayload);
        m_nPayloadCapacity = nCapacity;
    }
    catch (const std::bad_alloc&)
    {
        BreakStream(WSAENOBUFS, L"out of memory for the received bytes");
        return false;
    }
    return true;
}

void CAsyncSocketEx::ForgetPayload()
{
    m_pPayload.reset();
    m_nPayloadCapacity = 0;
    m_nPayloadExpected = 0;
    m_nPayloadReceived = 0;
}

bool CAsyncSocketEx::IsPayloadCountable(int nLineLength, long long nPayloadLength) const
{
    return nLineLength >= 0 && nPayloadLength >= 0 &&
           static_cast<long long>(nLineLength) + m_nCharSize + nPayloadLength <= kMaxBuffered;
}

BOOL CAsyncSocketEx::ReservePayload(int nLineLength, long long nPayloadLength)
{
    const long long nTotal = static_cast<long long>(nLineLength) + m_nCharSize + nPayloadLength;
    if (!IsPayloadCountable(nLineLength, nPayloadLength))
    {
        BreakStream(WSAEMSGSIZE, L"payload longer than the link can count");
        return FALSE;
    }
    m_nReserveTarget = static_cast<int>(nTotal);
    // The announced length is only the peer's word: a lie must cost no more than the bytes it sent.
    const long long nFirst = std::min<long long>(nTotal, static_cast<long long>(m_nReceived) + kPayloadFirstStep);
    if (nFirst <= m_nReceiveCapacity) return TRUE; // the next reads find room once the front is compacted
    try
    {
        CompactReceiveBuffer();
        ReplaceReceiveBuffer(static_cast<int>(nFirst));
    }
    catch (const std::bad_alloc&)
    {
        BreakStream(WSAENOBUFS, L"out of memory for the received bytes");
        return FALSE;
    }
    return TRUE;
}

int CAsyncSocketEx::GetCountAfterLine(int nLineLength) const
{
    return std::max(m_nReceived - nLineLength - m_nCharSize, 0);
}

// The line is short and the stream long: the line moves up behind the bytes taken, not the other way.
void CAsyncSocketEx::ConsumeAfterLine(int nLineLength, int nCount)
{
    const int nHead = nLineLength + m_nCharSize;
    if (nLineLength < 0 || nHead > m_nReceived) return;
    nCount = std::min(std::max(nCount, 0), m_nReceived - nHead);
    if (nCount == 0) return;
    BYTE* pFront = GetReceivedData();
    std::memmove(pFront + nCount, pFront, static_cast<size_t>(nHead));
    m_nReceiveOffset += nCount;
    m_nReceived -= nCount;
    m_nLineSearchFrom = 0;
}

void CAsyncSocketEx::CompactReceiveBuffer()
{
    if (m_nReceiveOffset == 0) return;
    if (m_nReceived > 0) std::memmove(m_pReceiveBuffer.get(), GetReceivedData(), static_cast<size_t>(m_nReceived));
    m_nReceiveOffset = 0;
}

void CAsyncSocketEx::DiscardReceived()
{
    m_nReceived = 0;
    m_nReceiveOffset = 0;
    m_nLineSearchFrom = 0;
    ++m_nConsumeCount;
}

void CAsyncSocketEx::ConsumeReceived(int nLineLength)
{
    const long long nTotal = static_cast<long long>(nLineLength) + m_nCharSize;
    if (nTotal < 0 || nTotal >= m_nReceived)
    {
        DiscardReceived();
        return;
    }
    m_nReceiveOffset += static_cast<int>(nTotal);
    m_nReceived -= static_cast<int>(nTotal);
    m_nLineSearchFrom = 0;
    ++m_nConsumeCount;
}

void CAsyncSocketEx::DetectEncoding()
{
    // Decided on the second byte, so it waits until two bytes are here: a first read of one byte must not
    // settle the link on whatever lies beyond it.
    if (!m_bDetectEncoding || m_bEncodingDetected || m_nReceived < 2) return;
    m_bEncodingDetected = true;
    m_bWide = GetReceivedData()[1] == 0;
    m_nCharSize = m_bWide ? 2 : 1;
}

bool CAsyncSocketEx::FindLineEnd(int& nLineLength)
{
    const BYTE* pData = GetReceivedData();
    int nFrom = m_nLineSearchFrom;
    for (;;)
    {
        const void* pFound =
            nFrom < m_nReceived ? std::memchr(pData + nFrom, 0x0D, static_cast<size_t>(m_nReceived - nFrom)) : nullptr;
        if (!pFound)
        {
            m_nLineSearchFrom = m_bWide ? (m_nReceived & ~1) : m_nReceived;
            return false;
        }
        const int nAt = static_cast<int>(static_cast<const BYTE*>(pFound) - pData);
        if (!m_bWide)
        {
            nLineLength = nAt;
            return true;
        }
        // UTF-16LE: only whole characters count, so the 0x0D must start an even pair; an odd one is the high
        // byte of some other character (U+0Dxx).
        if (nAt & 1)
        {
            nFrom = nAt + 1;
            continue;
        }
        if (nAt + 1 >= m_nReceived)
        {
            m_nLineSearchFrom = nAt; // half a character: wait for the next read
            return false;
        }
        if (pData[nAt + 1] == 0)
        {
            nLineLength = nAt;
            return true;
        }
        nFrom = nAt + 2;
    }
}

void CAsyncSocketEx::ReadLine(int nLineLength, CString& strWord, CString& strParameters) const
{
    const BYTE* pData = GetReceivedData();
    if (!m_bWide)
    {
        CString strLine;
        if (nLineLength > 0)
        {
            const char* pText = reinterpret_cast<const char*>(pData);
            const int nChars = MultiByteToWideChar(CP_THREAD_ACP, 0, pText, nLineLength, nullptr, 0);
            wchar_t* p = strLine.GetBufferSetLength(nChars);
            MultiByteToWideChar(CP_THREAD_ACP, 0, pText, nLineLength, p, nChars);
            strLine.ReleaseBuffer(nChars);
        }
        SplitCommandLine(strLine, strWord, strParameters);
        return;
    }
    // UTF-16LE straight from the buffer into word and parameters (the hot path of every link). Bytes, not
    // wchar_t reads: after an odd-sized payload the line starts at an odd address.
    const int nChars = nLineLength / 2;
    int nBlank = 0;
    while (nBlank < nChars && !(pData[2 * nBlank] == ' ' && pData[2 * nBlank + 1] == 0))
        ++nBlank;
    if (nBlank == 0 || nBlank == nChars)
    {
        CopyWide(strWord, pData, nChars);
        strParameters.Empty();
        return;
    }
    CopyWide(strWord, pData, nBlank);
    CopyWide(strParameters, pData + 2 * (nBlank + 1), nChars - nBlank - 1);
}

void CAsyncSocketEx::OnReceive(int nErrorCode)
{
    // Nothing leaves a notification. The pass may have deleted this object on its way out, so nothing of
    // it is touched after it: the report names the socket by the handle it had.
    const SOCKET hSocket = m_hSocket;
    try
    {
        ProcessReceive(nErrorCode);
    }
    catch (CException* pException)
    {
        AfxReportSocketException(pException, hSocket, FD_READ);
    }
    catch (...)
    {
        AfxReportSocketException(nullptr, hSocket, FD_READ);
    }
}

int CAsyncSocketEx::ProcessReceive(int nErrorCode)
{
    if (m_bPassRunning)
    {
        // A handler of the running pass pumps messages and this notification arrived meanwhile: only read,
        // and let the running pass dispatch what came, so no line runs twice.
        const int nRead = Receive(nullptr, 0, 0);
        if (m_bStreamBroken)
        {
            CloseBrokenLink(); // a handler runs: the deletion waits for the end of the pass
            return 0;
        }
        if (nRead > 0)
        {
            m_nBytesReceived += static_cast<DWORD>(nRead);
            m_bMoreData = true;
        }
        return nRead;
    }
    const int nRead = Receive(nullptr, 0, 0);
    if (m_bStreamBroken)
    {
        CloseBrokenLink();
        return 0; // this object may be gone
    }
    if (nRead < 1) return nRead;
    m_nBytesReceived += static_cast<DWORD>(nRead);

    // Declared first, so it runs last: a close during a handler deletes this object only here.
    struct CDeferredDeletion
    {
        CAsyncSocketEx& socket;
        ~CDeferredDeletion() { socket.DeleteIfPending(); }
    } deletion{*this};

    bool bCompleted = false;
    {
        CPassScope pass(*this);
        bCompleted = DispatchBufferedLines();
    }
    if (m_bStreamBroken)
    {
        // A handler asked for more than the link can hold. Counted as running, so that the close only
        // marks this object and the deletion above happens on the way out.
        CCommandScope running(m_nCommandsInProgress);
        CloseBrokenLink();
        return 0;
    }
    if (!bCompleted) return 0; // a handler cancelled the pass; its input stays for the next one
    CAsyncSocket::OnReceive(nErrorCode);
    return nRead;
}

bool CAsyncSocketEx::DispatchBufferedLines()
{
    do
    {
        m_bMoreData = false;
        DetectEncoding();
        if ((m_bDetectEncoding && !m_bEncodingDetected) || IsPayloadPending()) continue;
        int nLineLength = 0;
        CString strWord;
        CString strParameters;
        while (FindLineEnd(nLineLength))
        {
            ReadLine(nLineLength, strWord, strParameters);
            BOOL bContinue = TRUE;
            const uint64_t nConsumeCountBefore = m_nConsumeCount;
            m_nDispatchMode = -1;
            try
            {
                CCommandScope running(m_nCommandsInProgress);
                ProcessCommand(nLineLength, strWord, strParameters, bContinue);
            }
            catch (CUserException* pException)
            {
                pException->Delete();
                return false;
            }
            catch (CException* pException)
            {
                wchar_t szError[257] = {};
                pException->GetErrorMessage(szError, 257);
                pException->Delete();
                bContinue = OnDispatchFailed(strWord, strParameters, szError, nConsumeCountBefore);
            }
            catch (const std::exception& e)
            {
                bContinue = OnDispatchFailed(strWord, strParameters, FromUtf8(e.what()), nConsumeCountBefore);
            }
            catch (...)
            {
                bContinue = OnDispatchFailed(strWord, strParameters, CString(), nConsumeCountBefore);
            }
            if (!bContinue || m_bStreamBroken) break;
        }
    } while (m_bMoreData && !m_bStreamBroken);
    return true;
}

// After a handler or the dispatcher threw. A line that was consumed before its handler ran (modes 0, 2, 4)
// leaves the rest of the buffer in order: go on with the next line. A handler that owns a payload leaves no
// known boundary, so everything buffered goes. The link stays open.
bool CAsyncSocketEx::OnDispatchFailed(const CString& strWord, const CString& strParameters, const CString& strError,
                                      uint64_t nConsumeCountBefore)
{
    const bool bLineGone = m_nConsumeCount != nConsumeCountBefore;
    const int nMode = m_nDispatchMode;
    OnCommandException(strWord, strParameters, strError);
    if (bLineGone && (nMode == CSocketCommand::modeFields || nMode == CSocketCommand::modeText ||
                      nMode == CSocketCommand::modeCallback))
        return true;
    DiscardReceived();
    ForgetPayload();
    return false;
}

void CAsyncSocketEx::DeleteIfPending()
{
    if (m_bDeleteOnClose && m_bDeletePending && m_nCommandsInProgress <= 0 && m_nAcceptsInProgress <= 0)
    {
        m_bDeletePending = false;
        delete this;
    }
}

BOOL CAsyncSocketEx::ProcessCommand(int nLineLength, const CString& strWord, const CString& strParameters,
                                    BOOL& bContinue)
{
    m_bLastCommandIncomplete = false;
    m_nReserveTarget = 0; // a waiting handler announces its total again on each call
    CSocketCommandMap* pMap = GetCommandMap();
    CSocketCommand* pCommand = nullptr;
    if (!pMap || !pMap->Lookup(strWord.GetString(), pCommand) || !pCommand)
    {
        ConsumeReceived(nLineLength);
        OnUnknownCommand(strWord.Left(16), strParameters.Left(128));
        return FALSE;
    }
    m_nDispatchMode = pCommand->m_nMode;
    if (pCommand->m_bNeedsSession && !m_bSession)
    {
        ConsumeReceived(nLineLength);
        OnCommandNotAllowed(strWord, strParameters);
        return FALSE;
    }
    switch (pCommand->m_nMode)
    {
    case CSocketCommand::modeText:
        ConsumeReceived(nLineLength);
        if (auto* ppfn = std::get_if<SOCKET_COMMAND_TEXT>(&pCommand->m_pfnHandler)) (this->*(*ppfn))(strParameters);
        return TRUE;
    case CSocketCommand::modeTextPayload: {
        auto* ppfn = std::get_if<SOCKET_COMMAND_TEXT_PAYLOAD>(&pCommand->m_pfnHandler);
        if (!ppfn) return DropLine(nLineLength);
        BOOL bIncomplete = FALSE;
        (this->*(*ppfn))(strParameters, nLineLength, bIncomplete);
        bContinue = !bIncomplete;
        m_bLastCommandIncomplete = bIncomplete != FALSE;
        return TRUE;
    }
    case CSocketCommand::modeFields:
    case CSocketCommand::modeFieldsPayload:
    case CSocketCommand::modeCallback:
    case CSocketCommand::modeCallbackPayload:
    case CSocketCommand::modeBinary:
        break;
    default:
        return DropLine(nLineLength);
    }

    // The fields of one line after the other go into the same array, whose texts keep their buffers: no
    // allocation per line once a link runs. A dispatch inside a handler gets its own.
    CStringArray arrOwnFields;
    const bool bReuse = !m_bFieldsInUse;
    CStringArray& arrFields = bReuse ? m_arrFields : arrOwnFields;
    struct CInUse
    {
        bool& bInUse;
        bool bSet;
        ~CInUse()
        {
            if (bSet) bInUse = false;
        }
    } inUse{m_bFieldsInUse, bReuse};
    m_bFieldsInUse = true;
    CStaticTools::LireChaineSeparateurString(strParameters, L' ', arrFields);
    const int nFields = static_cast<int>(arrFields.GetSize());
    const std::vector<int>& arrCounts = pCommand->m_arrCounts;
    if (pCommand->m_nCountCheck == CSocketCommand::checkAtLeast && !arrCounts.empty() && nFields < arrCounts[0])
    {
        OnWrongParameterCount(strWord, strParameters, arrCounts[0], nFields);
        ConsumeReceived(nLineLength);
        return FALSE;
    }
    if (pCommand->m_nCountCheck == CSocketCommand::checkOneOf)
    {
        if (std::find(arrCounts.begin(), arrCounts.end(), nFields) == arrCounts.end())
        {
            OnWrongParameterCount(strWord, strParameters, arrCounts.size() == 1 ? arrCounts[0] : -1, nFields);
            ConsumeReceived(nLineLength);
            return FALSE;
        }
    }
    for (INT_PTR i = 0; i < arrFields.GetSize(); ++i)
        Unescape(arrFields[i]);

    switch (pCommand->m_nMode)
    {
    case CSocketCommand::modeFields:
        ConsumeReceived(nLineLength);
        if (auto* ppfn = std::get_if<SOCKET_COMMAND_FIELDS>(&pCommand->m_pfnHandler)) (this->*(*ppfn))(arrFields);
        return TRUE;
    case CSocketCommand::modeFieldsPayload: {
        auto* ppfn = std::get_if<SOCKET_COMMAND_FIELDS_PAYLOAD>(&pCommand->m_pfnHandler);
        if (!ppfn) return DropLine(nLineLength);
        BOOL bIncomplete = FALSE;
        (this->*(*ppfn))(arrFields, nLineLength, bIncomplete);
        bContinue = !bIncomplete;
        m_bLastCommandIncomplete = bIncomplete != FALSE;
        return TRUE;
    }
    case CSocketCommand::modeBinary:
        DispatchBinary(*pCommand, arrFields, nLineLength, bContinue);
        return TRUE;
    default:
        DispatchFields(*pCommand, arrFields, nLineLength, bContinue);
        return TRUE;
    }
}

// Modes 4 and 5: static callbacks that take zero-terminated copies of the fields.
void CAsyncSocketEx::DispatchFields(CSocketCommand& command, const CStringArray& arrFields, int nLineLength,
                                    BOOL& bContinue)
{
    std::vector<std::wstring> copies;
    for (INT_PTR i = 0; i < arrFields.GetSize(); ++i)
        copies.emplace_back(arrFields[i].GetString());
    std::vector<wchar_t*> pointers;
    for (std::wstring& copy : copies)
        pointers.push_back(copy.data());
    wchar_t** ppFields = pointers.empty() ? nullptr : pointers.data();
    const int nCount = static_cast<int>(pointers.size());
    if (command.m_nMode == CSocketCommand::modeCallback)
    {
        ConsumeReceived(nLineLength);
        if (auto* ppfn = std::get_if<SOCKET_COMMAND_CALLBACK>(&command.m_pfnStatic))
            (*ppfn)(command.m_dwContext, ppFields, nCount);
        return;
    }
    auto* ppfn = std::get_if<SOCKET_COMMAND_CALLBACK_PAYLOAD>(&command.m_pfnStatic);
    if (!ppfn)
    {
        DropLine(nLineLength);
        return;
    }
    DWORD dwIncomplete = 0;
    const int nAfterLine = m_nReceived - m_nCharSize - nLineLength;
    (*ppfn)(command.m_dwContext, ppFields, nCount, nLineLength, nAfterLine, dwIncomplete);
    bContinue = dwIncomplete == 0;
    m_bLastCommandIncomplete = dwIncomplete != 0;
}

// Mode 6: the dispatcher collects the payload itself, straight into its own buffer.
void CAsyncSocketEx::DispatchBinary(CSocketCommand& command, CStringArray& arrFields, int nLineLength, BOOL& bContinue)
{
    if (!m_pPayload)
    {
        const int nField = command.m_nPayloadLengthField;
        if (nField < 0 || nField >= arrFields.GetSize()) AfxThrowInvalidArgException();
        const long nLength = std::max(_wtol(arrFields[nField].GetString()), 0L);
        const int nAfterLine = std::max(m_nReceived - m_nCharSize - nLineLength, 0);
        const int nMove = std::min(nAfterLine, static_cast<int>(nLength));
        // Room for what is here and a bounded step: the length is the peer's word, and the room grows
        // as the bytes come (GrowPayload).
        const int nCapacity = std::min(static_cast<int>(nLength), std::max(nMove, kPayloadFirstStep));
        m_pPayload = AllocateReceiveBuffer(nCapacity);
        m_nPayloadCapacity = nCapacity;
        m_nPayloadExpected = static_cast<int>(nLength);
        m_nPayloadReceived = 0;
        BYTE* pLineEnd = m_pReceiveBuffer.get() + m_nReceiveOffset + nLineLength + m_nCharSize;
        std::memcpy(m_pPayload.get(), pLineEnd, static_cast<size_t>(nMove));
        std::memmove(pLineEnd, pLineEnd + nMove, static_cast<size_t>(nAfterLine - nMove));
        m_nReceived -= nMove;
        m_nPayloadReceived = nMove;
    }
    if (m_nPayloadReceived < m_nPayloadExpected)
    {
        bContinue = FALSE;
        m_bLastCommandIncomplete = true;
        return;
    }
    ConsumeReceived(nLineLength);
    std::unique_ptr<BYTE[]> pPayload = std::move(m_pPayload);
    const int nLength = m_nPayloadExpected;
    ForgetPayload();
    if (auto* ppfn = std::get_if<SOCKET_COMMAND_BINARY>(&command.m_pfnHandler))
        (this->*(*ppfn))(arrFields, pPayload.get(), nLength);
}

// An entry whose handler does not suit its mode (or an unknown mode): its line goes, the link stays.
BOOL CAsyncSocketEx::DropLine(int nLineLength)
{
    ConsumeReceived(nLineLength);
    return FALSE;
}

void CAsyncSocketEx::OnUnknownCommand(const CString& strWord, const CString& strParameters)
{
    CString strText;
    strText.Format(L"ERROR - UNKNOWN COMMAND %s RECEIVED (Parameters: %s).", Readable(strWord).GetString(),
                   Readable(strParameters).GetString());
    TraceReceived(strText);
}

void CAsyncSocketEx::OnCommandNotAllowed(const CString& strWord, const CString& strParameters)
{
    CString strText;
    strText.Format(L"ERROR - COMMAND %s NOT ALLOWED (Parameters: %s).", Readable(strWord).GetString(),
                   Readable(strParameters).GetString());
    TraceReceived(strText);
}

void CAsyncSocketEx::OnWrongParameterCount(const CString& strWord, const CString& strParameters, long nExpected,
                                           int nReceived)
{
    CString strText;
    if (nExpected >= 0)
        strText.Format(L"ERROR - COMMAND %s RECEIVED WITH INCORRECT NR OF PARAMETERS "
                       L"(Expected minimum %ld, Received %d, Parameters: %s).",
                       Readable(strWord).GetString(), nExpected, nReceived, Readable(strParameters).GetString());
    else
        strText.Format(L"ERROR - COMMAND %s RECEIVED WITH INCORRECT NR OF "
                       L"PARAMETERS (Received %d, Parameters: %s).",
                       Readable(strWord).GetString(), nReceived, Readable(strParameters).GetString());
    TraceReceived(strText);
}

void CAsyncSocketEx::OnCommandException(const CString& strWord, const CString& strParameters, const CString& strError)
{
    CString strText;
    strText.Format(L"ERROR - EXCEPTION WHILE PROCESSING COMMAND %s (Parameters: "
                   L"%s). Error: %s",
                   Readable(strWord).GetString(), Readable(strParameters).GetString(), strError.GetString());
    TraceReceived(strText);
}

void CAsyncSocketEx::TraceReceived(const CString& /*strText*/) {}

void CAsyncSocketEx::TraceSent(const CString& /*strText*/) {}

CString CAsyncSocketEx::EscapeParameter(const CString& strText)
{
    if (strText.IsEmpty()) return CString(kEmptyField, 1);
    CString strField = strText;
    strField.Replace(L' ', kEscapedBlank);
    strField.Replace(L'\r', kEscapedReturn);
    return strField;
}

void CAsyncSocketEx::SplitCommandLine(const CString& strLine, CString& strWord, CString& strParameters)
{
    const int nBlank = strLine.Find(L' ');
    if (nBlank <= 0)
    {
        strWord = strLine;
        strParameters.Empty();
        return;
    }
    strWord = strLine.Left(nBlank);
    strParameters = strLine.Mid(nBlank + 1);
}
