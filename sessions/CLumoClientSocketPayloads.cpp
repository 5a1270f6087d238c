// CLumoClientSocket, its requests with a payload (interview data, messages, e-mails), relayed to
// Jex where the bytes lie in the receive buffer, and the application settings.
#include "sessions/CLumoClientSocket.h"
#include "sessions/CAgent.h"
#include "sessions/CAgentSetting.h"
#include "sessions/CJexSocket.h"
#include "sessions/CSessionCore.h"
#include "sessions/ILumoAppHost.h"
#include "core/CMailMessage.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include <climits>
#include <vector>

namespace
{
long ToLong(const CString& strText)
{
    return CStaticTools::ToLong(strText.GetString());
}

struct BuiltInSetting
{
    long nId;
    LPCWSTR pszName;
    int nPermissionBit;
};
// Switches of Jex's permission bits that BrennClient and Quillan read as settings.
constexpr BuiltInSetting kBuiltInSettings[] = {
    {-1, L"OrvialFullScreen", 5},
    {-2, L"OrvialHideLumo", 6},
    {-3, L"IsAllowStartRecording", 9},
};

const BuiltInSetting* FindBuiltIn(long nApplicationId, long nSettingId)
{
    if (nApplicationId != CSessionCore::kBrennClientId && nApplicationId != CSessionCore::kQuillanId) return nullptr;
    for (const BuiltInSetting& setting : kBuiltInSettings)
        if (setting.nId == nSettingId) return &setting;
    return nullptr;
}

long LimitedValue(const CAgentSetting& setting)
{
    long nValue = setting.m_bIsDefaultValue ? setting.m_nDefaultValue : setting.m_nValue;
    if (nValue < setting.m_nMinimum) nValue = setting.m_nMinimum;
    if (nValue > setting.m_nMaximum) nValue = setting.m_nMaximum;
    return nValue;
}
} // namespace

// ---- interview data ----

void CLumoClientSocket::HandleSNDINT(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
{
    DWORD nLength = 0;
    if (!ReadPayloadLength(arrFields[0], L"SNDINT", nLength)) return;
    const BYTE* pPayload = PayloadIfArrived(nLineLength, nLength, bIncomplete);
    if (!pPayload) return;
    const long nSurveyId = ToLong(arrFields[1]);
    const long nCallId = ToLong(arrFields[2]);
    const DWORD nComputed = CStaticTools::GetChecksumForMemory(pPayload, nLength);
    const DWORD nExpected = static_cast<DWORD>(CStaticTools::ToULong(arrFields[3].GetString()));
    if (nComputed == nExpected)
    {
        if (const auto pJex = GetJex()) pJex->SendInterviewData(nSurveyId, nCallId, pPayload, nLength, nExpected, TRUE);
    }
    else
    {
        CString strLine;
        strLine.Format(L"Not relaying interview data for Survey <%ld>, Call <%ld> to Jex: Invalid Checksum when data "
                       L"was received (Calculated %lu - should be %lu)",
                       nSurveyId, nCallId, static_cast<unsigned long>(nComputed),
                       static_cast<unsigned long>(nExpected));
        WriteLogLine(strLine);
    }
    ConsumeReceived(nLineLength + static_cast<int>(nLength));
}

// ---- messages and e-mails ----

template <class TSend> void CLumoClientSocket::RelayMessage(CMessage& message, BYTE* pPayload, DWORD nTotal, TSend send)
{
    // A path from the application's text must not make the desktop read (or later delete) its file.
    for (CMessage::CMessageAttachment* pAttachment : message.m_arrAttachments.Items())
        if (pAttachment) pAttachment->m_strLocalPath.Empty();
    // Walked within the announced total, as Jex's messages are: what does not fit gets no bytes,
    // and goes, so that Jex is not sent bytes the application never gave.
    BYTE* pCursor = pPayload;
    DWORD nRemaining = nTotal;
    if (!message.AttachPayload(pCursor, nRemaining))
    {
        auto& attachments = message.m_arrAttachments.Items();
        std::erase_if(attachments, [](CMessage::CMessageAttachment* pAttachment) {
            if (pAttachment && pAttachment->m_pFile) return false;
            delete pAttachment;
            return true;
        });
    }
    message.m_nSenderID = m_app.GetAgent().m_nId;
    if (const auto pJex = GetJex()) send(*pJex);
}

void CLumoClientSocket::HandleSNDMSG(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
{
    DWORD nTotal = 0;
    if (!ReadPayloadLength(arrFields[0], L"SNDMSG", nTotal)) return;
    BYTE* pPayload = PayloadIfArrived(nLineLength, nTotal, bIncomplete);
    if (!pPayload) return;
    CMessage message;
    message.SetText(arrFields[1].GetString(), true);
    RelayMessage(message, pPayload, nTotal, [&](CJexSocket& jex) { jex.SendMessage(message); });
    ConsumeReceived(nLineLength + static_cast<int>(nTotal));
}

void CLumoClientSocket::HandleSNDMAI(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
{
    DWORD nTotal = 0;
    if (!ReadPayloadLength(arrFields[0], L"SNDMAI", nTotal)) return;
    BYTE* pPayload = PayloadIfArrived(nLineLength, nTotal, bIncomplete);
    if (!pPayload) return;
    const long nCallId = ToLong(arrFields[1]);
    CMailMessage mail;
    mail.SetText(arrFields[2].GetString(), true);
    RelayMessage(mail, pPayload, nTotal, [&](CJexSocket& jex) { jex.SendMail(nCallId, mail); });
    ConsumeReceived(nLineLength + static_cast<int>(nTotal));
}

// ---- settings ----

void CLumoClientSocket::HandleGETASE(CStringArray& arrFields)
{
    const long nRequestId = m_nRequestId;
    const long nSettingId = ToLong(arrFields[0]);
    CPropertyList list;
    if (const BuiltInSetting* pBuiltIn = FindBuiltIn(m_nApplicationId, nSettingId))
    {
        list.SetProperty(L"Id", pBuiltIn->nId);
        list.SetProperty(L"Name", pBuiltIn->pszName);
        list.SetProperty(L"Del", 0L);
        list.SetProperty(L"lValue", m_app.IsPermissionOn(pBuiltIn->nPermissionBit) ? 1L : 0L);
        list.SetProperty(L"strValue", pBuiltIn->pszName);
    }
    // The core may wait for Jex here, serving the other links meanwhile.
    else if (const auto pSetting = m_core.GetApplicationSetting(m_nApplicationId, nSettingId))
    {
        list.SetProperty(L"Id", static_cast<long>(pSetting->m_nId));
        list.SetProperty(L"Name", pSetting->m_strName);
        list.SetProperty(L"Del", pSetting->m_bDeleted ? 1L : 0L);
        list.SetProperty(L"lValue", LimitedValue(*pSetting));
        list.SetProperty(L"strValue", pSetting->m_bIsDefaultValue ? pSetting->m_strDefault : pSetting->m_strValue);
    }
    if (m_hSocket == INVALID_SOCKET) return; // the application left during the wait
    const CString strText = list.GetCount() ? list.GetString() : CString();
    SendCommand(L"GETASE %ld -1 %s\r", nRequestId, EscapeParameter(strText).GetString());
}

void CLumoClientSocket::HandleSAVASE(CStringArray& arrFields)
{
    CAgentSetting setting;
    setting.m_nId = ToLong(arrFields[0]);
    setting.m_strName = arrFields[1];
    setting.m_nType = CSettingBase::typeNumberAndText;
    setting.m_nMinimum = INT_MIN;
    setting.m_nMaximum = INT_MAX;
    setting.m_nValue = ToLong(arrFields[2]);
    setting.m_strValue = arrFields[3];
    setting.m_bIsDefaultValue = false;
    m_core.StoreApplicationSetting(m_nApplicationId, setting);
}
