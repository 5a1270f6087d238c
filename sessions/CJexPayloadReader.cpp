#include "sessions/CJexPayloadReader.h"
#include "core/CAsyncSocketEx.h"
#include "core/CStaticTools.h"
#include <cstring>
#include <cwchar>

const BYTE* CJexPayloadReader::WaitForPayload(int nLineLength, const CString& strLength, DWORD& nLength,
                                              BOOL& bIncomplete)
{
    // Read whole: "1\0" + "0" is no length of 1. Taken for one, it would leave the rest of the payload
    // to be read as lines, or put a UTF-16 link one byte out of step for good.
    unsigned long nParsed = 0;
    if (strLength.IsEmpty() || std::wcslen(strLength.GetString()) != static_cast<size_t>(strLength.GetLength()) ||
        !CStaticTools::EstULong(strLength.GetString(), nParsed))
    {
        m_link.ConsumeReceived(nLineLength);
        m_link.OnCommandException(CString(), strLength, L"payload length is no number");
        return nullptr;
    }
    nLength = static_cast<DWORD>(nParsed);
    // Closing the link for it would cost the agent's session for one line; no Jex sends a payload
    // that large, so it is dropped as one more protocol error and the link reads on.
    if (!m_link.IsPayloadCountable(nLineLength, nLength))
    {
        m_link.ConsumeReceived(nLineLength);
        m_link.OnCommandException(CString(), strLength, L"payload longer than the link can hold");
        return nullptr;
    }
    if (static_cast<DWORD>(m_link.GetCountAfterLine(nLineLength)) >= nLength)
        return m_link.GetReceivedData() + nLineLength + m_link.GetCharSize();
    // Room grows as the bytes come.
    m_link.ReservePayload(nLineLength, nLength);
    bIncomplete = TRUE;
    return nullptr;
}

void CJexPayloadReader::Consume(int nLineLength, DWORD nLength)
{
    m_link.ConsumeReceived(nLineLength + static_cast<int>(nLength));
}

std::unique_ptr<BYTE[]> CJexPayloadReader::CopyPayload(const BYTE* pPayload, DWORD nLength)
{
    auto pCopy = std::make_unique<BYTE[]>(static_cast<size_t>(nLength) + 2);
    if (nLength) std::memcpy(pCopy.get(), pPayload, nLength);
    pCopy[nLength] = pCopy[nLength + 1] = 0;
    return pCopy;
}

bool CJexPayloadReader::CrcMatches(const BYTE* pBytes, DWORD nLength, DWORD nCrc)
{
    return CStaticTools::GetChecksumForMemory(pBytes, nLength) == nCrc;
}
