// CLumoClientSocket: the listener, the line dialect with its request ids, registration's close
// and the log. The requests are in CLumoClientSocketCommands.cpp and CLumoClientSocketPayloads.cpp.
#include "sessions/CLumoClientSocket.h"
#include "sessions/CAppPortRelays.h"
#include "sessions/CSessionCore.h"
#include "sessions/ListenOnFreePort.h"
#include "sessions/ILumoAppHost.h"
#include "core/CStaticTools.h"
#include <algorithm>
#include <vector>

CSocketCommandMap CLumoClientSocket::s_mapLumoClient;
CCriticalSection CLumoClientSocket::s_csLumoClient;

namespace
{
bool IsBuiltInWord(const CString& strWord)
{
    return strWord == L"CNPROP" || strWord == L"CURTIM" || strWord == L"TTSYNC" || strWord == L"HEARTB";
}

// The field count a payload request must have after its request id; 0 for other words.
int PayloadFieldCount(const CString& strWord)
{
    if (strWord == L"SNDINT") return 4;
    if (strWord == L"SNDMAI") return 3;
    if (strWord == L"SNDMSG") return 2;
    return 0;
}
} // namespace

CLumoClientSocket::CLumoClientSocket(CSessionCore& core, ILumoAppHost& app)
    : CAsyncSocketEx(false, false), m_core(core), m_app(app)
{
}

CLumoClientSocket::~CLumoClientSocket()
{
    // Whatever way the link went, no register may keep it: its id must be free for the next program.
    if (!m_bListener && m_core.FindApplication(m_nApplicationId) == this)
        m_core.RemoveApplication(m_nApplicationId, this);
    CloseConnections();
    if (m_pListener) m_pListener->m_accepted.erase(this);
}

// ---- the listener ----

BOOL CLumoClientSocket::StartListening(UINT nPort, UINT nFurtherPorts)
{
    m_bDeleteOnClose = false; // the application object owns the listener
    m_bListener = true;
    m_nListeningPort = ListenOnFreePort(nPort, nFurtherPorts, [this](UINT nTry) -> UINT {
        CString strAddress;
        UINT nTaken = 0;
        if (Create(nTry, SOCK_STREAM, FD_ACCEPT | FD_CLOSE, L"127.0.0.1") && Listen(5) &&
            GetSockName(strAddress, nTaken))
            return nTaken;
        const int nError = WSAGetLastError();
        Close();
        WSASetLastError(nError);
        return 0;
    });
    return m_nListeningPort != 0;
}

void CLumoClientSocket::OnAccept(int nErrorCode)
{
    if (nErrorCode != 0) return;
    if (m_accepted.size() >= kMaxConnections)
    {
        // Taken from the queue without the handshake, which would hold the desktop up to a second
        // for each, and closed: the program sees its connection end, the others go on.
        CAsyncSocket refused;
        if (CAsyncSocket::Accept(refused)) refused.Close();
        return;
    }
    auto pLink = std::make_unique<CLumoClientSocket>(m_core, m_app);
    // Ours until the handshake is through: a link that closes during it is deleted here, never twice.
    pLink->m_bDeleteOnClose = false;
    if (!Accept(*pLink) || pLink->m_hSocket == INVALID_SOCKET) return;
    pLink->m_bDeleteOnClose = true;
    pLink->m_pListener = this;
    CLumoClientSocket* pAccepted = pLink.release();
    m_accepted.insert(pAccepted);
    pAccepted->SendCommand(L"STARTS 0 -1 %s\r", EscapeParameter(m_app.GetVersionString()).GetString());
}

void CLumoClientSocket::CloseConnections()
{
    const std::vector<CLumoClientSocket*> open(m_accepted.begin(), m_accepted.end());
    for (CLumoClientSocket* pLink : open)
    {
        pLink->m_pListener = nullptr;
        m_accepted.erase(pLink);
        pLink->Disconnect(); // leaves its register and deletes itself
    }
}

// ---- a connection ----

void CLumoClientSocket::OnClose(int nErrorCode)
{
    m_bLoggedIn = false;
    m_bSkipping = false;
    m_bPeerClosed = true;
    // Also for a socket that never registered: a refused second program leaves the holder's entry alone.
    if (!m_bListener) m_core.RemoveApplication(m_nApplicationId, this);
    CAsyncSocketEx::OnClose(nErrorCode); // may delete this object
}

CSocketCommandMap* CLumoClientSocket::GetCommandMap()
{
    return &s_mapLumoClient;
}

void CLumoClientSocket::InitCommandMap()
{
    InitDerivedCommandMap<CAsyncSocketEx>(this, s_mapLumoClient, s_csLumoClient, s_csCommandMap, AddCommands);
}

BOOL CLumoClientSocket::ProcessCommand(int nLineLength, const CString& strWord, const CString& strParameters,
                                       BOOL& bContinue)
{
    if (IsBuiltInWord(strWord)) return CAsyncSocketEx::ProcessCommand(nLineLength, strWord, strParameters, bContinue);
    CString strRequestId;
    CString strFields;
    SplitCommandLine(strParameters, strRequestId, strFields);
    m_nRequestId = CStaticTools::ToLong(strRequestId.GetString());
    if (const int nCount = PayloadFieldCount(strWord); nCount > 0)
    {
        CStringArray arrFields;
        CStaticTools::LireChaineSeparateurString(strFields, L' ', arrFields);
        if (m_bSkipping || arrFields.GetSize() != nCount)
            return SkipMisframedPayload(nLineLength, strWord, strFields, bContinue);
    }
    return CAsyncSocketEx::ProcessCommand(nLineLength, strWord, strFields, bContinue);
}

BOOL CLumoClientSocket::ReadPayloadLength(const CString& strField, const CString& strWord, DWORD& nLength)
{
    CString strTrimmed = strField;
    strTrimmed.Trim(L" \t");
    // Tested as text: read as an unsigned number it would announce 4 GB.
    if (strTrimmed == L"-1")
    {
        nLength = 0;
        return TRUE;
    }
    __int64 nValue = 0;
    if (CStaticTools::EstInt64(strField.GetString(), nValue) && nValue >= 0 && nValue <= 0xFFFFFFFFLL)
    {
        nLength = static_cast<DWORD>(nValue);
        return TRUE;
    }
    CloseForUnreadableLength(strWord, strField);
    return FALSE;
}

void CLumoClientSocket::CloseForUnreadableLength(const CString& strWord, const CString& strField)
{
    CString strLine;
    strLine.Format(L"Closing the connection of application <%ld>: %s announces a payload of no readable length <%s>",
                   m_nApplicationId, strWord.GetString(), strField.Left(32).GetString());
    WriteLogLine(strLine);
    m_bSkipping = false;
    DiscardReceived(); // nothing after the line can be read as lines any more
    Disconnect();      // deletes this object once the running pass has ended
}

BYTE* CLumoClientSocket::PayloadIfArrived(int nLineLength, DWORD nLength, BOOL& bIncomplete)
{
    if (static_cast<DWORD>(GetCountAfterLine(nLineLength)) >= nLength)
        return GetReceivedData() + nLineLength + GetCharSize();
    bIncomplete = TRUE;
    return nullptr;
}

BOOL CLumoClientSocket::SkipMisframedPayload(int nLineLength, const CString& strWord, const CString& strParameters,
                                             BOOL& bContinue)
{
    if (!m_bSkipping)
    {
        CStringArray arrFields;
        CStaticTools::LireChaineSeparateurString(strParameters, L' ', arrFields);
        DWORD nLength = 0;
        if (!ReadPayloadLength(arrFields.GetSize() ? arrFields[0] : CString(), strWord, nLength))
        {
            bContinue = FALSE;
            return FALSE;
        }
        CString strLine;
        strLine.Format(L"Dropping %s of application <%ld> and its %lu bytes: %d fields where %d belong",
                       strWord.GetString(), m_nApplicationId, static_cast<unsigned long>(nLength),
                       static_cast<int>(arrFields.GetSize()), PayloadFieldCount(strWord));
        WriteLogLine(strLine);
        m_bSkipping = true;
        m_nSkipRemaining = nLength;
    }
    // Dropped as they come, so that a long payload never has to be held whole.
    const DWORD nHere = std::min<DWORD>(static_cast<DWORD>(GetCountAfterLine(nLineLength)), m_nSkipRemaining);
    ConsumeAfterLine(nLineLength, static_cast<int>(nHere));
    m_nSkipRemaining -= nHere;
    if (m_nSkipRemaining > 0)
    {
        bContinue = FALSE; // the line stays in front and comes here again with more bytes
        return TRUE;
    }
    m_bSkipping = false;
    ConsumeReceived(nLineLength);
    return FALSE;
}

std::shared_ptr<CJexSocket> CLumoClientSocket::GetJex() const
{
    IJexConnection* pConnection = Served<IJexConnection>(__func__);
    return pConnection ? pConnection->GetJexSocket() : nullptr;
}

const CHostRoles& CLumoClientSocket::Roles() const
{
    return m_core.Roles();
}

// ---- the log ----

BOOL CLumoClientSocket::WriteLogLine(const CString& strText)
{
    return CAppPortRelays::WriteLogLine(m_app.GetLogFileLocation(), strText);
}
