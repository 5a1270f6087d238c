#include "clientctl/CSyncSocketExSocket.h"
#include "clientctl/CSyncSocketExThread.h"
#include "clientctl/ClientCtlMessages.h"
#include "core/CStaticTools.h"
#include <algorithm>
#include <cstring>

namespace
{
// The next blank-separated token of strText from nAt on; nAt moves past it and its blank.
CString NextToken(const CString& strText, int& nAt)
{
    const int nBlank = strText.Find(L' ', nAt);
    const int nEnd = nBlank < 0 ? strText.GetLength() : nBlank;
    CString strToken = strText.Mid(nAt, nEnd - nAt);
    nAt = nBlank < 0 ? strText.GetLength() : nBlank + 1;
    return strToken;
}
} // namespace

CSyncSocketExSocket::CSyncSocketExSocket(CSyncSocketExThread& thread) : CAsyncSocketEx(false, false), m_thread(thread)
{
    m_bDeleteOnClose = false; // the thread deletes its socket
}

void CSyncSocketExSocket::OnClose(int nErrorCode)
{
    m_thread.PostSocketClosed(nErrorCode);
    CAsyncSocketEx::OnClose(nErrorCode);
}

void CSyncSocketExSocket::OnConnect(int nErrorCode)
{
    // A refused or failed attempt brings no greeting: wake its waiter now rather than after 10 s.
    if (nErrorCode != 0) m_thread.FailRequest(0);
    CAsyncSocketEx::OnConnect(nErrorCode);
}

void CSyncSocketExSocket::OnTimeSync(const CString& strClock)
{
    m_thread.PostServerTime(strClock); // the owner applies the clock on its own thread
}

bool CSyncSocketExSocket::ParsePayloadLength(const CString& strField, unsigned long long& nLength)
{
    nLength = 0;
    const int nDigits = strField.GetLength();
    if (nDigits == 0) return true;
    for (int i = 0; i < nDigits; ++i)
        if (strField[i] < L'0' || strField[i] > L'9') return true; // "-1" and words: no payload
    for (int i = 0; i < nDigits; ++i)
    {
        nLength = nLength * 10 + static_cast<unsigned long long>(strField[i] - L'0');
        if (nLength > kMaxPayload) return false;
    }
    return true;
}

BOOL CSyncSocketExSocket::ProcessCommand(int nLineLength, const CString& strWord, const CString& strParameters,
                                         BOOL& bContinue)
{
    if (CSocketCommandMap* pBuiltIn = CAsyncSocketEx::GetCommandMap())
    {
        CSocketCommand* pCommand = nullptr;
        if (pBuiltIn->Lookup(strWord.GetString(), pCommand))
            return CAsyncSocketEx::ProcessCommand(nLineLength, strWord, strParameters, bContinue);
    }
    int nAt = 0;
    const long nId = CStaticTools::ToInt(NextToken(strParameters, nAt).GetString());
    const CString strLength = NextToken(strParameters, nAt);
    const CString strRest = strParameters.Mid(nAt);
    unsigned long long nLength = 0;
    if (!ParsePayloadLength(strLength, nLength))
    {
        // Waiting for such a payload would stall every later line for good.
        CString strText;
        strText.Format(L"CSyncSocketExSocket::ProcessCommand => %s announces %s bytes; closing the connection.",
                       strWord.Left(16).GetString(), strLength.Left(24).GetString());
        m_thread.PostOwnerError(strText);
        ConsumeReceived(GetReceivedCount()); // out of range: everything buffered goes
        bContinue = FALSE;
        m_thread.PostThreadMessage(WM_SYNCSOCKETEX_DROP, 0, 0);
        return FALSE;
    }
    if (nLength > 0 && !TakePayloadPiece(nLineLength, static_cast<DWORD>(nLength)))
    {
        bContinue = FALSE; // the rest of the payload comes with later reads
        return TRUE;
    }
    ConsumeReceived(nLineLength);
    m_thread.OnAnswer(strWord, nId, strRest, std::move(m_pPayload), static_cast<DWORD>(nLength));
    m_nPayloadFilled = m_nPayloadCapacity = 0;
    return TRUE;
}

bool CSyncSocketExSocket::TakePayloadPiece(int nLineLength, DWORD nLength)
{
    if (!m_pPayload) m_nPayloadFilled = m_nPayloadCapacity = 0;
    const DWORD nMissing = nLength - m_nPayloadFilled;
    const int nTake = static_cast<int>(std::min<DWORD>(nMissing, static_cast<DWORD>(GetCountAfterLine(nLineLength))));
    // The announced length is only the peer's word: the buffer holds what has come, growing with it.
    GrowPayload(static_cast<DWORD>(nTake), nLength);
    if (nTake > 0)
        std::memcpy(m_pPayload.get() + m_nPayloadFilled, GetReceivedData() + nLineLength + GetCharSize(),
                    static_cast<size_t>(nTake));
    m_nPayloadFilled += static_cast<DWORD>(nTake);
    ConsumeAfterLine(nLineLength, nTake);
    if (m_nPayloadFilled == nLength) return true;
    // Room for the next piece behind the line, so that one notification reads on until it is full.
    ReservePayload(nLineLength, std::min<DWORD>(nLength - m_nPayloadFilled, kPayloadPiece));
    return false;
}

void CSyncSocketExSocket::GrowPayload(DWORD nMore, DWORD nLength)
{
    const DWORD nNeeded = m_nPayloadFilled + nMore;
    if (m_pPayload && nNeeded <= m_nPayloadCapacity) return;
    // By half or more each time, so that a payload arriving in small reads is not copied read by read;
    // the last block is exactly the payload's length, which the answer takes over as it is.
    const unsigned long long nWanted = std::max<unsigned long long>(
        {nNeeded, m_nPayloadCapacity + m_nPayloadCapacity / 2ull, kPayloadFirstRoom});
    const DWORD nCapacity = static_cast<DWORD>(std::min<unsigned long long>(nWanted, nLength));
    auto pPayload = std::make_unique_for_overwrite<BYTE[]>(nCapacity);
    if (m_nPayloadFilled > 0) std::memcpy(pPayload.get(), m_pPayload.get(), m_nPayloadFilled);
    m_pPayload = std::move(pPayload);
    m_nPayloadCapacity = nCapacity;
}

void CSyncSocketExSocket::SendLine(const CString& strLine)
{
    SendCommand(L"%s\r", strLine.GetString());
}

void CSyncSocketExSocket::SendLineWithData(const CString& strLine, std::unique_ptr<BYTE[]>&& pData, DWORD nLength)
{
    CSingleLock lock(&m_csSend, TRUE); // nothing may come between the line and its payload
    SendCommand(L"%s\r", strLine.GetString());
    if (pData && nLength > 0) SendRaw(std::move(pData), static_cast<int>(nLength));
}
