// CAppSocket, its second half: the words of the old dialect besides registration, interview data
// and the log-on (CAppSocket.cpp). Each takes the text behind its word.
#include "sessions/CAppSocket.h"
#include "sessions/CAgent.h"
#include "sessions/CAgentSetting.h"
#include "sessions/CAppPortRelays.h"
#include "sessions/CJexSocket.h"
#include "sessions/COldDialect.h"
#include "sessions/CSessionCore.h"
#include "sessions/ILumoAppHost.h"
#include "sessions/CHostRoles.h"
#include "core/CMailMessage.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"

namespace
{
// The next blank-separated word from nPos on; nPos ends at the blank behind it. A word in double
// quotes may hold blanks; it is taken without its quotes.
CString NextToken(const CString& strText, int& nPos, bool bQuotes)
{
    const int nLength = strText.GetLength();
    while (nPos < nLength && strText[nPos] == L' ')
        ++nPos;
    if (bQuotes && nPos < nLength && strText[nPos] == L'"')
    {
        const int nClose = strText.Find(L'"', nPos + 1);
        const int nEnd = nClose < 0 ? nLength : nClose;
        const CString strToken = strText.Mid(nPos + 1, nEnd - nPos - 1);
        nPos = nClose < 0 ? nLength : nClose + 1;
        return strToken;
    }
    const int nStart = nPos;
    while (nPos < nLength && strText[nPos] != L' ')
        ++nPos;
    return strText.Mid(nStart, nPos - nStart);
}

// The free text behind the words read so far: everything after the blank that ended the last one.
CString RestAfter(const CString& strText, int nPos)
{
    return nPos < strText.GetLength() ? strText.Mid(nPos + 1) : CString();
}

long FirstNumber(const CString& strText)
{
    int nPos = 0;
    return CStaticTools::ToLong(NextToken(strText, nPos, false).GetString());
}

// Exactly two numbers, or FALSE.
BOOL TwoNumbers(const CString& strText, long& nFirst, long& nSecond)
{
    CArray<long, long> numbers;
    CStaticTools::ReadStringSeparatorArrayLong(strText, L' ', numbers);
    if (numbers.GetSize() != 2) return FALSE;
    nFirst = numbers[0];
    nSecond = numbers[1];
    return TRUE;
}

// Addresses split at ",", ";" and the list separator; empty pieces are no addresses.
void AddAddresses(const CString& strList, CStringArray& arrAddresses)
{
    CString strPiece;
    for (int i = 0; i <= strList.GetLength(); ++i)
    {
        const wchar_t c = i < strList.GetLength() ? strList[i] : L',';
        if (c == L',' || c == L';' || c == COldDialect::kListSeparator)
        {
            if (!strPiece.IsEmpty()) arrAddresses.Add(strPiece);
            strPiece.Empty();
        }
        else
            strPiece += c;
    }
}
} // namespace

// Tested in this order; the first match wins.
const CAppSocket::Word CAppSocket::s_words[] = {
    {L"APLGIN", &CAppSocket::OnAPLGIN},  {L"ENDCAL", &CAppSocket::OnENDCAL},  {L"SHOWLC", &CAppSocket::OnSHOWLC},
    {L"LSTAGE", &CAppSocket::OnLSTAGE},  {L"LSTPAU", &CAppSocket::OnLSTPAU},  {L"STAPAU", &CAppSocket::OnSTAPAU},
    {L"ENDPAU", &CAppSocket::OnENDPAU},  {L"SNDMSG", &CAppSocket::OnSNDMSG},  {L"MANDIA", &CAppSocket::OnMANDIA},
    {L"CHGPWD", &CAppSocket::OnCHGPWD},  {L"RECCAL", &CAppSocket::OnRECCAL},  {L"ALOGON", &CAppSocket::OnALOGON},
    {L"ALOGOF", &CAppSocket::OnALOGOF},  {L"CHKPWD", &CAppSocket::OnCHKPWD},  {L"PAUSES", &CAppSocket::OnPAUSES},
    {L"TRAFER", &CAppSocket::OnNothing}, {L"TRF_OK", &CAppSocket::OnTRF_OK},  {L"TRFNOK", &CAppSocket::OnTRFNOK},
    {L"REJCAL", &CAppSocket::OnREJCAL},  {L"ONHOLD", &CAppSocket::OnONHOLD},  {L"TAKBAC", &CAppSocket::OnTAKBAC},
    {L"NEXCAL", &CAppSocket::OnNEXCAL},  {L"UPDQTA", &CAppSocket::OnNothing}, {L"STATRG", &CAppSocket::OnSTATRG},
    {L"CANTRG", &CAppSocket::OnCANTRG},  {L"QRESTA", &CAppSocket::OnQRESTA},  {L"QREEND", &CAppSocket::OnQREEND},
    {L"SNDMAL", &CAppSocket::OnSNDMAL},  {L"RQKISD", &CAppSocket::OnNothing}, {L"CANKIN", &CAppSocket::OnNothing},
    {L"ENDKIN", &CAppSocket::OnNothing}, {L"MODKIN", &CAppSocket::OnNothing}, {L"CANMOD", &CAppSocket::OnNothing},
    {L"REQTSK", &CAppSocket::OnREQTSK},  {L"WRCACL", &CAppSocket::OnWRCACL},  {L"CALLOU", &CAppSocket::OnNothing},
    {L"LSTLOC", &CAppSocket::OnLSTLOC},  {L"LSTSUP", &CAppSocket::OnLSTSUP},  {L"TRACAL", &CAppSocket::OnTRACAL},
    {L"TAGCAL", &CAppSocket::OnTAGCAL},  {L"PLSSTA", &CAppSocket::OnPLSSTA},  {L"PLSEND", &CAppSocket::OnPLSEND},
    {L"TSKRES", &CAppSocket::OnTSKRES},  {L"JOIOGR", &CAppSocket::OnJOIOGR},  {L"SAVASE", &CAppSocket::OnSAVASE},
    {L"GETASE", &CAppSocket::OnGETASE},  {L"LSTOGR", &CAppSocket::OnLSTOGR},  {nullptr, nullptr},
};

// Call result, pause reason, then the end-of-task fields as a property-list text.
CAppSocket::Next CAppSocket::OnENDCAL(const CString& strRest)
{
    ICallActions* pCalls = Served<ICallActions>(__func__);
    if (!pCalls) return Next::readOn;
    int nPos = 0;
    const int nResult = CStaticTools::ToInt(NextToken(strRest, nPos, false).GetString());
    const long nPauseReason = CStaticTools::ToLong(NextToken(strRest, nPos, false).GetString());
    const CString strFields = RestAfter(strRest, nPos);
    if (nPauseReason >= -1)
        if (IPauses* pPauses = Served<IPauses>(__func__)) pPauses->RequestPause(nPauseReason, 1);
    pCalls->EndCall(nResult, strFields, CPropertyList(strFields.GetString()).GetPropertyLong(L"QoCallId", 0L));
    return Next::readOn;
}

// 0 hides, 1 restores, 2 minimises; any other mode shows the desktop.
CAppSocket::Next CAppSocket::OnSHOWLC(const CString& strRest)
{
    int nCommand = SW_SHOW;
    switch (FirstNumber(strRest))
    {
    case 0:
        nCommand = SW_HIDE;
        break;
    case 1:
        nCommand = SW_RESTORE;
        break;
    case 2:
        nCommand = SW_MINIMIZE;
        break;
    default:
        break;
    }
    m_core.ShowDesktop(nCommand);
    return Next::readOn;
}

// Flag 1 asks for list kind 0, anything else for kind 1.
CAppSocket::Next CAppSocket::OnLSTAGE(const CString& strRest)
{
    if (ICallActions* pCalls = Served<ICallActions>(__func__))
        pCalls->RequestAgentList(-1, m_nApplicationId, FirstNumber(strRest) == 1 ? 0 : 1);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnLSTPAU(const CString& /*strRest*/)
{
    if (IPauses* pPauses = Served<IPauses>(__func__)) pPauses->RequestPauseList(-1, m_nApplicationId);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnSTAPAU(const CString& /*strRest*/)
{
    if (IPauses* pPauses = Served<IPauses>(__func__)) pPauses->SetPauseStateFor(TRUE, m_nApplicationId);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnENDPAU(const CString& /*strRest*/)
{
    if (IPauses* pPauses = Served<IPauses>(__func__)) pPauses->SetPauseStateFor(FALSE, -1);
    return Next::readOn;
}

// One recipient and a plain text: the desktop stamps sender and time.
CAppSocket::Next CAppSocket::OnSNDMSG(const CString& strRest)
{
    const std::shared_ptr<CJexSocket> pJex = JexInSession();
    if (!pJex) return Next::readOn;
    int nPos = 0;
    const long nRecipient = CStaticTools::ToLong(NextToken(strRest, nPos, false).GetString());
    CMessage message;
    message.m_strText = RestAfter(strRest, nPos);
    message.m_nSenderID = m_app.GetAgent().m_nId;
    message.SetTimeNow();
    message.AddRecipient(nRecipient);
    pJex->SendMessage(message);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnMANDIA(const CString& strRest)
{
    ICallActions* pCalls = Served<ICallActions>(__func__);
    if (!pCalls) return Next::readOn;
    int nPos = 0;
    const CString strNumber = NextToken(strRest, nPos, true);
    const CString strText = NextToken(strRest, nPos, true);
    pCalls->DialNumberForApplication(-1, m_nApplicationId, strNumber, strText);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnCHGPWD(const CString& strRest)
{
    if (m_app.UseAuthentication()) return Next::readOn;
    const std::shared_ptr<CJexSocket> pJex = JexInSession();
    if (!pJex) return Next::readOn;
    int nPos = 0;
    const long nAgentId = CStaticTools::ToLong(NextToken(strRest, nPos, false).GetString());
    const CString strOld = NextToken(strRest, nPos, false);
    const CString strNew = NextToken(strRest, nPos, false);
    pJex->SendChangePasswordById(nullptr, nAgentId, strOld, strNew);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnRECCAL(const CString& strRest)
{
    if (ICallActions* pCalls = Served<ICallActions>(__func__)) pCalls->RecordCall(-1, FirstNumber(strRest));
    return Next::readOn;
}

// An index into the pause list this application was sent last; an index outside it is taken as
// the reason itself.
CAppSocket::Next CAppSocket::OnPAUSES(const CString& strRest)
{
    IPauses* pPauses = Served<IPauses>(__func__);
    if (!pPauses) return Next::readOn;
    const long nIndex = FirstNumber(strRest);
    const long nReason = nIndex >= 0 && nIndex < m_arrPauseIds.GetSize()
                             ? CStaticTools::ToLong(m_arrPauseIds[nIndex].GetString())
                             : nIndex;
    pPauses->RequestPause(nReason, 0);
    return Next::readOn;
}

// Words of the first version that the desktop no longer acts on.
CAppSocket::Next CAppSocket::OnNothing(const CString& /*strRest*/)
{
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnTRF_OK(const CString& /*strRest*/)
{
    if (const std::shared_ptr<CJexSocket> pJex = JexInSession()) pJex->SendConfirmTransfer(TRUE);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnTRFNOK(const CString& /*strRest*/)
{
    if (const std::shared_ptr<CJexSocket> pJex = JexInSession()) pJex->SendConfirmTransfer(FALSE);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnREJCAL(const CString& strRest)
{
    if (const std::shared_ptr<CJexSocket> pJex = JexInSession())
        pJex->SendRejectCall(static_cast<int>(FirstNumber(strRest)), 0);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnONHOLD(const CString& strRest)
{
    m_core.HoldOrRetrieveCall(FALSE, FirstNumber(strRest), FALSE);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnTAKBAC(const CString& strRest)
{
    m_core.HoldOrRetrieveCall(TRUE, FirstNumber(strRest), FALSE);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnNEXCAL(const CString& /*strRest*/)
{
    if (const std::shared_ptr<CJexSocket> pJex = JexInSession()) pJex->SendNextCall();
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnSTATRG(const CString& strRest)
{
    long nFirst = 0, nSecond = 0;
    const std::shared_ptr<CJexSocket> pJex = JexInSession();
    if (pJex && TwoNumbers(strRest, nFirst, nSecond))
        pJex->SendStartTrigger(static_cast<int>(nFirst), static_cast<int>(nSecond));
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnCANTRG(const CString& strRest)
{
    long nFirst = 0, nSecond = 0;
    const std::shared_ptr<CJexSocket> pJex = JexInSession();
    if (pJex && TwoNumbers(strRest, nFirst, nSecond))
        pJex->SendCancelTrigger(static_cast<int>(nFirst), static_cast<int>(nSecond));
    return Next::readOn;
}

// A number of the application's own (in Jex's request-id place), the call and a text.
CAppSocket::Next CAppSocket::OnQRESTA(const CString& strRest)
{
    const std::shared_ptr<CJexSocket> pJex = JexInSession();
    if (!pJex) return Next::readOn;
    int nPos = 0;
    const long nNumber = CStaticTools::ToLong(NextToken(strRest, nPos, false).GetString());
    const long nCallId = CStaticTools::ToLong(NextToken(strRest, nPos, false).GetString());
    pJex->SendQuestionRecordingStart(nNumber, static_cast<int>(nCallId), RestAfter(strRest, nPos));
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnQREEND(const CString& strRest)
{
    ICallActions* pCalls = Served<ICallActions>(__func__);
    if (!pCalls) return Next::readOn;
    int nPos = 0;
    const long nNumber = CStaticTools::ToLong(NextToken(strRest, nPos, false).GetString());
    const long nCallId = CStaticTools::ToLong(NextToken(strRest, nPos, false).GetString());
    pCalls->StopQuestionRecording(nNumber, nCallId);
    return Next::readOn;
}

// A property list with "CallId", "From", "To", "Bcc", "Subject" and "Body"; no attachments.
CAppSocket::Next CAppSocket::OnSNDMAL(const CString& strRest)
{
    const std::shared_ptr<CJexSocket> pJex = JexInSession();
    if (!pJex) return Next::readOn;
    const CPropertyList fields(strRest.GetString());
    CMailMessage mail;
    mail.m_strFrom = fields.GetPropertyString(L"From", L"");
    AddAddresses(fields.GetPropertyString(L"To", L""), mail.m_arrTo);
    AddAddresses(fields.GetPropertyString(L"Bcc", L""), mail.m_arrBcc);
    mail.m_strSubject = fields.GetPropertyString(L"Subject", L"");
    mail.m_strText = fields.GetPropertyString(L"Body", L"");
    pJex->SendMail(fields.GetPropertyLong(L"CallId", 0L), mail);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnREQTSK(const CString& strRest)
{
    if (const std::shared_ptr<CJexSocket> pJex = JexInSession()) pJex->SendRequestTask(FirstNumber(strRest));
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnWRCACL(const CString& strRest)
{
    if (const std::shared_ptr<CJexSocket> pJex = JexInSession()) pJex->SendWriteCallClass(strRest);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnLSTLOC(const CString& /*strRest*/)
{
    if (const std::shared_ptr<CJexSocket> pJex = JexInSession())
        pJex->RequestLocationList(-1, static_cast<int>(m_nApplicationId));
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnLSTSUP(const CString& /*strRest*/)
{
    if (ICallActions* pCalls = Served<ICallActions>(__func__)) pCalls->RequestAgentList(-1, m_nApplicationId, 2);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnTRACAL(const CString& strRest)
{
    long nCallId = 0, nDestination = 0;
    const std::shared_ptr<CJexSocket> pJex = JexInSession();
    if (pJex && TwoNumbers(strRest, nCallId, nDestination)) pJex->SendTransferCall(nCallId, nDestination);
    return Next::readOn;
}

// Call id and tag, either in double quotes; exactly two.
CAppSocket::Next CAppSocket::OnTAGCAL(const CString& strRest)
{
    const std::shared_ptr<CJexSocket> pJex = JexInSession();
    if (!pJex) return Next::readOn;
    CStringArray tokens;
    for (int nPos = 0; nPos < strRest.GetLength();)
    {
        const CString strToken = NextToken(strRest, nPos, true);
        if (!strToken.IsEmpty()) tokens.Add(strToken);
    }
    if (tokens.GetSize() == 2) pJex->SendTagCall(CStaticTools::ToLong(tokens[0].GetString()), tokens[1]);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnPLSSTA(const CString& strRest)
{
    const std::shared_ptr<CJexSocket> pJex = JexInSession();
    if (!pJex) return Next::readOn;
    int nPos = 0;
    const long nCallId = CStaticTools::ToLong(NextToken(strRest, nPos, false).GetString());
    pJex->SendPlaySoundStart(-1, static_cast<int>(nCallId), RestAfter(strRest, nPos));
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnPLSEND(const CString& strRest)
{
    if (const std::shared_ptr<CJexSocket> pJex = JexInSession())
        pJex->SendPlaySoundEnd(-1, static_cast<int>(FirstNumber(strRest)));
    return Next::readOn;
}

// Task id, then the resource ids separated by blanks, which Jex wants separated by ";".
CAppSocket::Next CAppSocket::OnTSKRES(const CString& strRest)
{
    const std::shared_ptr<CJexSocket> pJex = JexInSession();
    if (!pJex) return Next::readOn;
    int nPos = 0;
    const long nTaskId = CStaticTools::ToLong(NextToken(strRest, nPos, false).GetString());
    CString strIds = RestAfter(strRest, nPos);
    strIds.Replace(L' ', L';');
    pJex->RequestTaskResources(static_cast<int>(nTaskId), strIds);
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnJOIOGR(const CString& strRest)
{
    if (const std::shared_ptr<CJexSocket> pJex = JexInSession())
        pJex->SendJoinOutboundGroup(static_cast<int>(FirstNumber(strRest)));
    return Next::readOn;
}

// Setting id, name, number and a text: kept for this application, not sent to Jex now.
CAppSocket::Next CAppSocket::OnSAVASE(const CString& strRest)
{
    int nPos = 0;
    const long nSettingId = CStaticTools::ToLong(NextToken(strRest, nPos, false).GetString());
    const CString strName = NextToken(strRest, nPos, false);
    const long nNumber = CStaticTools::ToLong(NextToken(strRest, nPos, false).GetString());
    m_core.StoreApplicationSetting(m_nApplicationId, CAppPortRelays::MakeApplicationSetting(
                                                         nSettingId, strName, nNumber, RestAfter(strRest, nPos)));
    return Next::readOn;
}

// BrennClient's two built-in settings, else the settings cache; the answer is not escaped.
CAppSocket::Next CAppSocket::OnGETASE(const CString& strRest)
{
    const CPropertyList answer =
        CAppPortRelays::AnswerSettingRequest(m_core, m_nApplicationId, FirstNumber(strRest), FALSE);
    SendCommand(L"GETASE %s\r", answer.GetString().GetString());
    return Next::readOn;
}

CAppSocket::Next CAppSocket::OnLSTOGR(const CString& /*strRest*/)
{
    if (const std::shared_ptr<CJexSocket> pJex = JexInSession())
        pJex->RequestOutboundGroupList(-1, static_cast<int>(m_nApplicationId));
    return Next::readOn;
}
