// CAppSocket, its first half: the connection, the framing of lines, the registration, interview
// data and the log-on. The other words are in CAppSocketWords.cpp.
#include "sessions/CAppSocket.h"
#include "sessions/CAgent.h"
#include "sessions/CAppPortRelays.h"
#include "sessions/CJexSocket.h"
#include "sessions/CSessionCore.h"
#include "sessions/ILumoAppHost.h"
#include "sessions/CHostRoles.h"
#include "sessions/ListenOnFreePort.h"
#include "core/CStaticTools.h"
#include "framework/CStringConversion.h"
#include <algorithm>
#include <cstring>

namespace
{
constexpr BYTE kCr = 0x0D;

// The blank-separated words of a text, as many as there are.
CStringArray Tokens(const CString& strText)
{
    CStringArray tokens;
    CStaticTools::ReadStringSeparatorString(strText, L' ', tokens);
    return tokens;
}
} // namespace

CAppSocket::CAppSocket(CSessionCore& core, ILumoAppHost& app) : m_core(core), m_app(app)
{
    ++s_nInstances;
}

CAppSocket::~CAppSocket()
{
    *m_pAlive = false;
    if (m_bCounted) --*m_pConnections;
    --s_nInstances;
}

BOOL CAppSocket::StartListening(UINT nPort, UINT nFurtherPorts)
{
    m_nListeningPort = ListenOnFreePort(nPort, nFurtherPorts, [this](UINT nTry) -> UINT {
        CString strAddress;
        UINT nTaken = 0;
        if (Create(nTry, SOCK_STREAM, L"127.0.0.1") && Listen(5) && GetSockName(strAddress, nTaken)) return nTaken;
        const int nError = WSAGetLastError();
        Close();
        WSASetLastError(nError);
        return 0;
    });
    return m_nListeningPort != 0;
}

void CAppSocket::OnAccept(int nErrorCode)
{
    if (nErrorCode != 0) return;
    // Owned by its connection from here: it deletes itself when the connection ends.
    auto* pConnection = new CAppSocket(m_core, m_app);
    pConnection->m_pConnections = m_pConnections;
    pConnection->m_bCounted = true;
    ++*m_pConnections;
    if (!Accept(*pConnection))
    {
        delete pConnection;
        return;
    }
    if (*m_pConnections > kMaxConnections)
    {
        // Taken from the queue and closed: the program sees its connection end, the others go on.
        pConnection->Close();
        delete pConnection;
    }
}

// ---- receiving ----

void CAppSocket::OnReceive(int nErrorCode)
{
    if (nErrorCode != 0) return;
    const bool bRead = ReadOnce();
    if (m_bPassRunning) return; // the running pass reads what arrived too
    if (bRead)
    {
        Next next = Next::stop;
        if (!RunPass(next) || next == Next::stop) return;
    }
    if (!m_bClosePending) return;
    // The connection closed while a handler waited: what the application sent before is still
    // served, then the connection goes.
    while (ReadOnce())
    {
        Next next = Next::stop;
        if (!RunPass(next)) return;
    }
    CloseConnection();
}

bool CAppSocket::RunPass(Next& next)
{
    const std::shared_ptr<bool> pAlive = m_pAlive;
    m_bPassRunning = true;
    next = ReadLines();
    if (!*pAlive) return false;
    m_bPassRunning = false;
    if (!m_bLinkClosing) return true;
    delete this; // the desktop closed the link during the pass: only the object was left
    return false;
}

// One read into the buffer. The plain read of the asynchronous socket: a notification whose bytes an
// earlier pass took must not block the desktop until more arrive.
bool CAppSocket::ReadOnce()
{
    if (m_nHeld > kMaxHeldBytes - kReadBlock)
    {
        m_bClosePending = true; // nothing that fits the buffer ends this line
        return false;
    }
    // The vector's own growth is geometric: the bytes of a long payload are copied a few times, not
    // once per read.
    if (m_buffer.size() < static_cast<size_t>(m_nHeld + kReadBlock))
        m_buffer.resize((static_cast<size_t>(m_nHeld) / kReadBlock + 2) * kReadBlock);
    const int nRead = CAsyncSocket::Receive(m_buffer.data() + m_nHeld, kReadBlock);
    if (nRead <= 0) return false;
    m_nHeld += nRead;
    // The second byte of a UTF-16 text is zero (the desktop's applications write Latin texts); one
    // byte alone tells nothing, and once registered the application keeps its encoding.
    if (!m_bLoggedIn && m_nHeld >= 2 && m_buffer[1] == 0) m_bWide = true;
    return true;
}

CAppSocket::Next CAppSocket::ReadLines()
{
    const std::shared_ptr<bool> pAlive = m_pAlive;
    while (!m_bLinkClosing)
    {
        const int nCrSize = m_bWide ? 2 : 1;
        int nLineBytes = 0;
        if (!FindLineEnd(nLineBytes)) return Next::waitForData;
        CString strWord, strRest;
        const CString strLine = DecodeLine(nLineBytes);
        const int nBlank = strLine.Find(L' ');
        if (nBlank < 0)
            strWord = strLine;
        else
        {
            strWord = strLine.Left(nBlank);
            strRest = strLine.Mid(nBlank + 1);
        }
        Next next;
        if (strWord == L"SNDINT")
            next = HandleSNDINT(strRest, nLineBytes + nCrSize);
        else
        {
            Consume(nLineBytes + nCrSize);
            next = HandleWord(strWord, strRest);
        }
        if (!*pAlive) return Next::stop;
        if (next != Next::readOn) return next;
    }
    return Next::stop;
}

bool CAppSocket::FindLineEnd(int& nLineBytes) const
{
    const BYTE* pBytes = m_buffer.data();
    if (!m_bWide)
    {
        const void* pCr = std::memchr(pBytes, kCr, static_cast<size_t>(m_nHeld));
        if (!pCr) return false;
        nLineBytes = static_cast<int>(static_cast<const BYTE*>(pCr) - pBytes);
        return true;
    }
    // Whole characters only: a byte 0x0D inside a character (U+0Dxx) ends no line.
    for (int i = 0; i + 1 < m_nHeld; i += 2)
    {
        if (pBytes[i] == kCr && pBytes[i + 1] == 0)
        {
            nLineBytes = i;
            return true;
        }
    }
    return false;
}

CString CAppSocket::DecodeLine(int nLineBytes) const
{
    if (m_bWide)
    {
        std::wstring text(static_cast<size_t>(nLineBytes / 2), L'\0');
        if (!text.empty()) std::memcpy(text.data(), m_buffer.data(), text.size() * sizeof(wchar_t));
        return CString(text.c_str(), static_cast<int>(text.size()));
    }
    const std::wstring text = WidenText(reinterpret_cast<const char*>(m_buffer.data()), nLineBytes, CP_THREAD_ACP);
    return CString(text.c_str(), static_cast<int>(text.size()));
}

void CAppSocket::Consume(int nCount)
{
    nCount = std::clamp(nCount, 0, m_nHeld);
    std::memmove(m_buffer.data(), m_buffer.data() + nCount, static_cast<size_t>(m_nHeld - nCount));
    m_nHeld -= nCount;
}

void CAppSocket::OnClose(int /*nErrorCode*/)
{
    if (m_bPassRunning)
    {
        m_bClosePending = true; // the running pass still reads what came before the close
        // The id is free at once, whatever request of this link still waits: a program that
        // connects anew must be able to take it. Nothing behind the close registers again.
        m_bPeerClosed = true;
        m_bLoggedIn = false;
        m_core.RemoveOldApplication(m_nApplicationId, this);
        return;
    }
    // The peer's last bytes came before the close; the dispatch has offered them already.
    CloseConnection();
}

void CAppSocket::CloseLink()
{
    if (!m_bPassRunning)
    {
        CloseConnection();
        return;
    }
    // A handler of this link is running further up, perhaps pumping messages while it waits: the
    // object must outlive it, and the pass deletes it at its end. The connection and the register
    // entry go now: the application sees the close, the handler's answer reaches nobody, and
    // whoever closes every link finds none left.
    if (m_bLinkClosing) return;
    m_bLinkClosing = true;
    LeaveRegister();
}

void CAppSocket::CloseConnection()
{
    if (!m_bLinkClosing) LeaveRegister();
    delete this;
}

void CAppSocket::LeaveRegister()
{
    m_bLoggedIn = false;
    // Closed first: what the register's leaving may pump finds no notification of this socket.
    Close();
    m_core.RemoveOldApplication(m_nApplicationId, this);
}

CAppSocket::Next CAppSocket::HandleWord(const CString& strWord, const CString& strRest)
{
    for (const Word* pWord = s_words; pWord->pszWord; ++pWord)
        if (strWord == pWord->pszWord) return (this->*pWord->pfnHandler)(strRest);
    // Shown without waiting for the user: the application's next lines are served meanwhile.
    if (IAgentMessages* pMessages = Served<IAgentMessages>(__func__))
    {
        CString strText;
        strText.Format(L"Command %s from Application not supported !", strWord.GetString());
        pMessages->PostMessageBox(strText);
    }
    return Next::readOn;
}

std::shared_ptr<CJexSocket> CAppSocket::CurrentJex() const
{
    IJexConnection* pConnection = Served<IJexConnection>(__func__);
    return pConnection ? pConnection->GetJexSocket() : nullptr;
}

const CHostRoles& CAppSocket::Roles() const
{
    return m_core.Roles();
}

std::shared_ptr<CJexSocket> CAppSocket::JexInSession() const
{
    std::shared_ptr<CJexSocket> pJex = CurrentJex();
    return pJex && pJex->m_bSession ? pJex : nullptr;
}

// ---- sending ----

void CAppSocket::SendLine(const CString& strText)
{
    // Fields are not escaped on this port and a line ends at its first CR: one inside a text (a
    // message or a result from Jex, a setting another program stored) would end the line there and
    // make the rest a line of its own. Such a CR becomes a blank; the last one ends the line.
    CString strLine = strText;
    for (int i = 0; i + 1 < strLine.GetLength(); ++i)
        if (strLine[i] == L'\r') strLine.SetAt(i, L' ');
    if (m_bWide)
    {
        Send(strLine.GetString(), strLine.GetLength() * static_cast<int>(sizeof(wchar_t)));
        return;
    }
    // The bytes of the text in the code page, however many: a multi-byte page must keep the CR.
    const std::string bytes = NarrowText(strLine.GetString(), strLine.GetLength(), CP_THREAD_ACP);
    Send(bytes.data(), static_cast<int>(bytes.size()));
}

void CAppSocket::SendBytes(const BYTE* pBytes, DWORD nCount)
{
    while (pBytes && nCount > 0)
    {
        const int nPart = static_cast<int>(std::min<DWORD>(nCount, 1u << 30));
        if (Send(pBytes, nPart) != nPart) return;
        pBytes += nPart;
        nCount -= static_cast<DWORD>(nPart);
    }
}

void CAppSocket::KeepPauseList(const CStringArray& arrIds, const CStringArray& arrNames)
{
    m_arrPauseIds.Copy(arrIds);
    m_arrPauseNames.Copy(arrNames);
}

BOOL CAppSocket::WriteLogLine(const CString& strText)
{
    return CAppPortRelays::WriteLogLine(m_app.GetLogFileLocation(), strText);
}

// ---- the words that need more than one line's text ----

// Survey id, call id, length and CRC-32, then the payload behind the line's end.
CAppSocket::Next CAppSocket::HandleSNDINT(const CString& strRest, int nLineTotal)
{
    const CStringArray tokens = Tokens(strRest);
    unsigned long numbers[4] = {};
    bool bNumbers = tokens.GetSize() >= 4;
    for (int i = 0; bNumbers && i < 4; ++i)
        bNumbers = CStaticTools::EstULong(tokens[i].GetString(), numbers[i]);
    if (!bNumbers)
    {
        // Without its length the payload cannot be found: the line alone goes, and the bytes that
        // follow it are read as lines, the way the application meant them or not.
        Consume(nLineTotal);
        return Next::readOn;
    }
    const unsigned long nLength = numbers[2];
    if (nLength > static_cast<unsigned long>(kMaxHeldBytes - nLineTotal))
    {
        CloseConnection();
        return Next::stop;
    }
    // The length is the program's word: room comes only with the bytes (ReadOnce), so a program that
    // announces much and sends little holds little.
    if (m_nHeld < nLineTotal + static_cast<int>(nLength)) return Next::waitForData;
    std::shared_ptr<CJexSocket> pJex = JexInSession();
    CAppPortRelays::RelayInterviewData(pJex.get(), static_cast<long>(numbers[0]), static_cast<long>(numbers[1]),
                                       m_buffer.data() + nLineTotal, nLength, numbers[3], FALSE,
                                       m_app.GetLogFileLocation());
    Consume(nLineTotal + static_cast<int>(nLength));
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnAPLGIN(const CString& strRest)
{
    // Registered once: another APLGIN would register the socket under a second id.
    if (m_bLoggedIn || m_bPeerClosed) return Next::readOn;
    long nId = 0;
    if (!CStaticTools::EstLong(strRest.GetString(), nId) || !m_core.AddOldApplication(nId, this))
    {
        Close();
        delete this;
        return Next::stop;
    }
    m_nApplicationId = nId;
    m_bLoggedIn = true;
    return Next::readOn;
}

// Agent id and location id: the desktop itself logs on. Where Jex ciphers passwords, only after
// this socket's own password check for that agent succeeded.
CAppSocket::Next CAppSocket::OnALOGON(const CString& strRest)
{
    if (m_app.UseAuthentication()) return Next::readOn;
    CArray<long, long> numbers;
    CStaticTools::ReadStringSeparatorArrayLong(strRest, L' ', numbers);
    if (numbers.GetSize() < 2) return Next::readOn;
    const long nAgentId = numbers[0];
    long nLocationId = numbers[1];
    const std::shared_ptr<CJexSocket> pJex = CurrentJex();
    if (pJex && pJex->IsPasswordEncryption() &&
        (m_nCheckedAgentId != nAgentId || !m_core.IsPasswordChecked(m_nApplicationId)))
        return Next::readOn;
    if (nLocationId == 0) nLocationId = m_app.GetRegistryLocationId();
    m_app.SetLocation(nLocationId, CString());
    m_app.GetAgent().m_nId = nAgentId;
    if (pJex && pJex->m_bSession) pJex->Logon(nullptr);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnALOGOF(const CString& /*strRest*/)
{
    // Logging off closes the old port's connections, this one among them.
    if (IAgentState* pState = Served<IAgentState>(__func__)) pState->LogOff();
    return Next::stop;
}

CAppSocket::Next CAppSocket::OnCHKPWD(const CString& strRest)
{
    const CStringArray tokens = Tokens(strRest);
    const long nAgentId = tokens.GetSize() > 0 ? CStaticTools::ToLong(tokens[0].GetString()) : 0;
    m_nCheckedAgentId = nAgentId;
    if (const std::shared_ptr<CJexSocket> pJex = JexInSession())
        pJex->SendCheckPasswordById(nullptr, nAgentId, tokens.GetSize() > 1 ? tokens[1] : CString());
    return Next::readOn;
}
