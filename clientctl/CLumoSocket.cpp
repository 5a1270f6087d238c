#include "clientctl/CLumoSocket.h"
#include "clientctl/ILumoSocketCallbacks.h"
#include "clientctl/module/LumoClientResources.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "core/CTimeTools.h"
#include "core/CVersionInfo.h"
#include "framework/CArchive.h"
#include "framework/CException.h"
#include "framework/CMemFile.h"

CSyncSocketCommandMap CLumoSocket::s_mapCommands;

namespace
{
int ToInt(const CString& str)
{
    return CStaticTools::ToInt(str.GetString());
}
short ToShort(const CString& str)
{
    return CStaticTools::ToShort(str.GetString());
}
DWORD ToULong(const CString& str)
{
    return static_cast<DWORD>(CStaticTools::ToULong(str.GetString()));
}
BOOL ToBool(const CString& str)
{
    return CStaticTools::ToBool(str.GetString()) ? TRUE : FALSE;
}

CString CutBeforeLastDot(const CString& strVersion)
{
    const int nDot = strVersion.ReverseFind(L'.');
    return nDot < 0 ? CString() : strVersion.Left(nDot);
}
} // namespace

CLumoSocket::CLumoSocket(ILumoSocketCallbacks* pControl) : m_pControl(pControl), m_strOwnVersion(ReadModuleVersion()) {}

CString CLumoSocket::ReadModuleVersion()
{
    CVersionInfo version;
    // Any object of this library names the module it is linked into.
    return version.ReadFromAddress(&s_mapCommands) ? version.m_strVersion : CString();
}

bool CLumoSocket::IsSameVersion(const CString& strOwn, const CString& strLumo)
{
    return CutBeforeLastDot(strOwn).CompareNoCase(CutBeforeLastDot(strLumo)) == 0;
}

BOOL CLumoSocket::Connect(LPCWSTR pszAddress, short nPort, long nApplicationId, BOOL bPossibleMessageMaster)
{
    CBusyScope busy(*this);
    CStringArray arrGreeting;
    // Ports above 32767 travel as negative numbers: only their 16 bits name the port.
    if (!CSyncSocketEx::Connect(pszAddress, static_cast<UINT>(static_cast<USHORT>(nPort)), arrGreeting)) return FALSE;
    // A greeting without fields names no version: that differs from ours, and the connection goes on.
    const CString strLumoVersion = arrGreeting.GetSize() > 0 ? arrGreeting[0] : CString();
    if (!IsSameVersion(m_strOwnVersion, strLumoVersion) && m_pControl)
    {
        // The text lives in the string table of the module the link is linked into: LumoClient.ocx, or a
        // test program that links the library's texts. Without it the two versions still tell the client.
        CString strFormat, strText;
        if (!strFormat.LoadString(IDS_VERSION_MISMATCH)) strFormat = L"%s / %s";
        strText.Format(strFormat.GetString(), m_strOwnVersion.GetString(), strLumoVersion.GetString());
        m_pControl->OnError(strText);
    }
    if (m_pControl) m_pControl->OnLumoConnectionPending();
    const long nId =
        PostRequest(TRUE, L"APLGIN", L"%d %d", static_cast<int>(nApplicationId), bPossibleMessageMaster ? 1 : 0);
    CStringArray arrAnswer;
    if (!WaitForAnswer(nId, arrAnswer, 2, 3)) return FALSE;
    if (m_pControl) m_pControl->OnJexConnectionChanged(ToBool(arrAnswer[0]));
    if (m_pControl) m_pControl->OnAgentStateChanged(ToShort(arrAnswer[1]));
    return TRUE;
}

void CLumoSocket::OnDisconnected(int nErrorCode)
{
    CBusyScope busy(*this); // the control usually releases this object in its callback
    CSyncSocketEx::OnDisconnected(nErrorCode);
    if (m_pControl) m_pControl->OnDisconnected(nErrorCode);
}

void CLumoSocket::OnServerTime(const CString& strClock)
{
    CBusyScope busy(*this);
    const long nOldShift = CTimeTools::m_nUTCShift_sec;
    CSyncSocketEx::OnServerTime(strClock);
    if (m_pControl) m_pControl->OnUTCShiftServerChanged(nOldShift, CTimeTools::m_nUTCShift_sec);
}

void CLumoSocket::OnLinkError(const CString& strText)
{
    if (m_pControl) m_pControl->OnError(strText);
}

CSyncSocketCommandMap* CLumoSocket::GetCommandMap()
{
    return &s_mapCommands;
}

void CLumoSocket::InitCommandMap()
{
    if (!s_mapCommands.IsEmpty()) return;
    s_mapCommands.CopyFrom(*CSyncSocketEx::GetCommandMap());
    using C = CSyncSocketCommand;
    const auto add = [](LPCWSTR pszWord, SYNC_COMMAND_HANDLER handler, int nType, int nCount, int nOther = -1) {
        s_mapCommands.Add(pszWord, new C(handler, nType, false, C::ruleOneOf, nCount, nOther, -1));
    };
    add(L"AGSTAT", SyncHandler(&CLumoSocket::ProcessCommandAGSTAT), C::typeFields, 1);
    add(L"LSTPAU", SyncHandler(&CLumoSocket::ProcessCommandLSTPAU), C::typeFields, 1);
    add(L"LSTAGT", SyncHandler(&CLumoSocket::ProcessCommandLSTAGT), C::typeFields, 2);
    add(L"MANDIA", SyncHandler(&CLumoSocket::ProcessCommandMANDIA), C::typeFields, 1);
    add(L"ENDTSK", SyncHandler(&CLumoSocket::ProcessCommandENDTSK), C::typeFields, 1);
    add(L"JEXSTA", SyncHandler(&CLumoSocket::ProcessCommandJEXSTA), C::typeFields, 1);
    add(L"RECCAL", SyncHandler(&CLumoSocket::ProcessCommandRECCAL), C::typeFields, 1);
    add(L"QRESTA", SyncHandler(&CLumoSocket::ProcessCommandQRESTA), C::typeFields, 2);
    add(L"QRESTO", SyncHandler(&CLumoSocket::ProcessCommandQRESTO), C::typeFields, 2);
    add(L"SNDINT", SyncHandler(&CLumoSocket::ProcessCommandSNDINT), C::typeFieldsPayload, 2, 3);
    add(L"UPDTSK", SyncHandler(&CLumoSocket::ProcessCommandUPDTSK), C::typeFieldsPayload, 3);
    add(L"PLSSTA", SyncHandler(&CLumoSocket::ProcessCommandPLSSTA), C::typeFields, 2);
    add(L"PLSSTO", SyncHandler(&CLumoSocket::ProcessCommandPLSSTO), C::typeFields, 2);
    add(L"TSKRES", SyncHandler(&CLumoSocket::ProcessCommandTSKRES), C::typeFieldsPayload, 1, 3);
    add(L"LSTOGR", SyncHandler(&CLumoSocket::ProcessCommandLSTOGR), C::typeFields, 1);
    add(L"LSTLOC", SyncHandler(&CLumoSocket::ProcessCommandLSTLOC), C::typeFields, 1);
    add(L"STAKYI", SyncHandler(&CLumoSocket::ProcessCommandSTAKYI), C::typeFields, 4);
    add(L"STACAL", SyncHandler(&CLumoSocket::ProcessCommandSTACAL), C::typeFields, 2);
    add(L"STAQUE", SyncHandler(&CLumoSocket::ProcessCommandSTAQUE), C::typeFields, 1);
    add(L"CALINF", SyncHandler(&CLumoSocket::ProcessCommandCALINF), C::typeFields, 1);
    add(L"SNDMSG", SyncHandler(&CLumoSocket::ProcessCommandSNDMSG), C::typeFieldsPayload, 2);
    add(L"ASSKYI", SyncHandler(&CLumoSocket::ProcessCommandASSKYI), C::typeFields, 1);
    s_mapCommands.Add(
        L"UPDSMO", new C(SyncHandler(&CLumoSocket::ProcessCommandUPDSMO), C::typeFields, false, C::ruleAtLeast, 1, -1));
    add(L"KYIINT", SyncHandler(&CLumoSocket::ProcessCommandKYIINT), C::typeFields, 2);
    add(L"QTAUPD", SyncHandler(&CLumoSocket::ProcessCommandQTAUPD), C::typeFieldsPayload, 2);
    add(L"AUVLME", SyncHandler(&CLumoSocket::ProcessCommandAUVLME), C::typeFields, 2);
    add(L"AUMUTE", SyncHandler(&CLumoSocket::ProcessCommandAUMUTE), C::typeFields, 2);
    add(L"VOIRDY", SyncHandler(&CLumoSocket::ProcessCommandVOIRDY), C::typeFields, 1);
    add(L"CALLHY", SyncHandler(&CLumoSocket::ProcessCommandCALLHY), C::typeFieldsPayload, 2);
    add(L"UPDANO", SyncHandler(&CLumoSocket::ProcessCommandUPDANO), C::typeFields, 4);
}

BOOL CLumoSocket::ProcessCommandAGSTAT(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnAgentStateChanged(ToShort(arrFields[0]));
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandLSTPAU(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceivePauseList(arrFields[0]);
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandLSTAGT(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceiveAgentList(ToShort(arrFields[0]), arrFields[1]);
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandMANDIA(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceiveDialNumberResult(ToInt(arrFields[0]));
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandENDTSK(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceiveEndTask(ToInt(arrFields[0]));
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandJEXSTA(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnJexConnectionChanged(ToBool(arrFields[0]));
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandRECCAL(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceiveRecordResult(ToShort(arrFields[0]));
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandQRESTA(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceiveQuestionRecordingResult(TRUE, ToInt(arrFields[0]), ToShort(arrFields[1]));
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandQRESTO(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceiveQuestionRecordingResult(FALSE, ToInt(arrFields[0]), ToShort(arrFields[1]));
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandSNDINT(CStringArray& arrFields, BYTE* pData, DWORD nLength)
{
    if (!m_pControl) return TRUE;
    const long nTaskId = ToInt(arrFields[0]);
    const long nCallId = ToInt(arrFields[1]);
    if (arrFields.GetSize() == 2)
    {
        m_pControl->OnReceiveSendInterviewConfirmation(nTaskId, nCallId);
        return TRUE;
    }
    const DWORD nExpected = ToULong(arrFields[2]);
    const DWORD nComputed = static_cast<DWORD>(CStaticTools::GetChecksumForMemory(pData, nLength));
    if (nComputed == nExpected)
    {
        m_pControl->OnReceiveInterviewData(nTaskId, nCallId, pData, nLength, nExpected);
        return TRUE;
    }
    CString strText;
    strText.Format(L"Not relaying interview data for Survey <%ld>, Call <%ld> to JEX: Invalid Checksum when data was "
                   L"received (Calculated %lu - should be %lu)",
                   nTaskId, nCallId, static_cast<unsigned long>(nComputed), static_cast<unsigned long>(nExpected));
    m_pControl->OnError(strText);
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandUPDTSK(CStringArray& arrFields, BYTE* pData, DWORD nLength)
{
    if (m_pControl)
        m_pControl->OnReceiveTaskContents(ToInt(arrFields[0]), ToULong(arrFields[1]), pData, nLength, arrFields[2]);
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandPLSSTA(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceiveStartPlaySoundResult(ToInt(arrFields[0]), ToShort(arrFields[1]));
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandPLSSTO(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceiveStopPlaySoundResult(ToInt(arrFields[0]), ToShort(arrFields[1]));
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandTSKRES(CStringArray& arrFields, BYTE* pData, DWORD nLength)
{
    if (!m_pControl) return TRUE;
    if (arrFields.GetSize() == 1)
        m_pControl->OnReceiveTaskResource(ToInt(arrFields[0]), 0, nullptr, 0, 0); // no such resource
    else
        m_pControl->OnReceiveTaskResource(ToInt(arrFields[0]), ToInt(arrFields[1]), pData, nLength,
                                          ToULong(arrFields[2]));
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandLSTOGR(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceiveOutboundGroupList(arrFields[0]);
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandLSTLOC(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceiveLocationList(arrFields[0]);
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandSTAKYI(CStringArray& arrFields)
{
    if (m_pControl)
        m_pControl->OnReceiveStartKeyInResult(ToShort(arrFields[0]), ToInt(arrFields[1]), ToInt(arrFields[2]),
                                              arrFields[3]);
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandSTACAL(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceiveStartTask(ToShort(arrFields[0]), arrFields[1]);
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandSTAQUE(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceiveStats(arrFields[0]);
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandCALINF(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceiveCallInfo(arrFields[0]);
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandSNDMSG(CStringArray& arrFields, BYTE* pData, DWORD nLength)
{
    if (!m_pControl) return TRUE;
    CMessage message;
    message.SetText(arrFields[0].GetString(), true);
    BYTE* pCursor = pData;
    DWORD nRemaining = pData ? nLength : 0;
    if (!message.AttachPayload(pCursor, nRemaining))
    {
        // Sizes are the sender's word only: an attachment reaching past the payload gets no bytes (nor
        // does any after it, their slices start further on), and the message still arrives.
        long long nOffset = 0;
        for (CMessage::CMessageAttachment* pAttachment : message.m_arrAttachments.Items())
        {
            if (!pAttachment) continue;
            const long long nSize = pAttachment->m_nSize;
            const bool bFits = nSize >= 0 && nOffset + nSize <= static_cast<long long>(pData ? nLength : 0);
            nOffset += nSize < 0 ? 0 : nSize;
            if (bFits) continue;
            pAttachment->m_strLocalPath.Empty();
            CString strText;
            strText.Format(L"CLumoSocket::ProcessCommandSNDMSG => Attachment %s lies beyond the received data.",
                           pAttachment->m_strName.GetString());
            m_pControl->OnError(strText);
            if (!m_pControl) return TRUE;
        }
    }
    m_pControl->OnReceiveMessage(arrFields[1], message);
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandASSKYI(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnAssignedToKeyIn(ToBool(arrFields[0]));
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandUPDSMO(CStringArray& arrFields)
{
    if (!m_pControl) return TRUE;
    CStringArray arrSemiOpens;
    for (INT_PTR i = 1; i < arrFields.GetSize(); ++i)
        arrSemiOpens.Add(arrFields[i]);
    m_pControl->OnReceiveSemiOpens(ToInt(arrFields[0]), arrSemiOpens);
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandKYIINT(CStringArray& arrFields)
{
    if (!m_pControl) return TRUE;
    const CPropertyList properties(arrFields[1].GetString(), false);
    m_pControl->OnReceiveKeyInInterview(ToInt(arrFields[0]), properties);
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandQTAUPD(CStringArray& arrFields, BYTE* pData, DWORD nLength)
{
    if (m_pControl) m_pControl->OnReceiveQuotaUpdate(ToInt(arrFields[0]), ToShort(arrFields[1]), pData, nLength);
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandAUVLME(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceiveVolume(ToShort(arrFields[0]), ToShort(arrFields[1]));
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandAUMUTE(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceiveMute(ToShort(arrFields[0]), ToBool(arrFields[1]));
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandVOIRDY(CStringArray& arrFields)
{
    if (m_pControl) m_pControl->OnReceiveVoipState(ToBool(arrFields[0]));
    return TRUE;
}

BOOL CLumoSocket::ReadCallHistory(BYTE* pData, DWORD nLength, CCallArray& arrCalls)
{
    arrCalls.RemoveAll();
    if (!pData || nLength == 0) return TRUE; // Lumo's answer for a call it does not know: no history
    CMemFile file(pData, nLength);
    try
    {
        CArchive ar(&file, CArchive::load, 4096);
        long nCount = 0;
        ar >> nCount;
        // Sized by the count only once the bytes could hold that many records.
        if (nCount < 0 || static_cast<unsigned long long>(nCount) * CCall::kMinArchivedSize > nLength - sizeof(long))
        {
            ar.Abort();
            return FALSE;
        }
        arrCalls.SetSize(nCount);
        for (long i = 0; i < nCount; ++i)
            arrCalls[i].Serialize(ar);
        ar.Close();
    }
    catch (CException* pException)
    {
        pException->Delete();
        return FALSE;
    }
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandCALLHY(CStringArray& arrFields, BYTE* pData, DWORD nLength)
{
    if (!m_pControl) return TRUE;
    const long nCallId = ToInt(arrFields[0]);
    const DWORD nExpected = ToULong(arrFields[1]);
    CCallArray arrCalls;
    CString strText;
    if (pData || nExpected != 0) // without either, Lumo knew no such call: an empty history, no error
    {
        if (static_cast<DWORD>(CStaticTools::GetChecksumForMemory(pData, nLength)) != nExpected)
            strText.Format(L"CLumoSocket::ProcessCommandCALLHY => Incorrect checksum for call history for call ID %ld.",
                           nCallId);
        else if (!ReadCallHistory(pData, nLength, arrCalls))
            strText.Format(L"CLumoSocket::ProcessCommandCALLHY => Error while processing call history for call ID %ld.",
                           nCallId);
    }
    if (!strText.IsEmpty()) m_pControl->OnError(strText);
    if (m_pControl) m_pControl->OnReceiveCallHistory(nCallId, arrCalls);
    return TRUE;
}

BOOL CLumoSocket::ProcessCommandUPDANO(CStringArray& arrFields)
{
    if (m_pControl)
        m_pControl->OnReceiveAnnotation(ToInt(arrFields[0]), ToInt(arrFields[1]), ToInt(arrFields[2]),
                                        ToInt(arrFields[3]));
    return TRUE;
}
