// CLumoClientSocket, its requests with a payload (interview data, messages, e-mails), relayed to
// Jex where the bytes lie in the receive buffer, and the application settings.
#include "sessions/CLumoClientSocket.h"
#include "sessions/CAgent.h"
#include "sessions/CAgentSetting.h"
#include "sessions/CAppPortRelays.h"
#include "sessions/CJexSocket.h"
#include "sessions/CSessionCore.h"
#include "sessions/ILumoAppHost.h"
#include "core/CMailMessage.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include <vector>

namespace
{
long ToLong(const CString& strText)
{
    return CStaticTools::ToLong(strText.GetString());
}
} // namespace

// ---- interview data ----

void CLumoClientSocket::HandleSNDINT(CStringArray& arrFields, int nLineLength, BOOL& bIncomplete)
{
    DWORD nLength = 0;
    if (!ReadPayloadLength(arrFields[0], L"SNDINT", nLength)) return;
    const BYTE* pPayload = PayloadIfArrived(nLineLength, nLength, bIncomplete);
    if (!pPayload) return;
    const std::shared_ptr<CJexSocket> pJex = GetJex();
    CAppPortRelays::RelayInterviewData(pJex.get(), ToLong(arrFields[1]), ToLong(arrFields[2]), pPayload, nLength,
                                       static_cast<DWORD>(CStaticTools::ToULong(arrFields[3].GetString())), TRUE,
                                       m_app.GetLogFileLocation());
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
    // The core may wait for Jex here, serving the other links meanwhile.
    const CPropertyList answer =
        CAppPortRelays::AnswerSettingRequest(m_core, m_nApplicationId, ToLong(arrFields[0]), TRUE);
    if (m_hSocket == INVALID_SOCKET) return; // the application left during the wait
    SendCommand(L"GETASE %ld -1 %s\r", nRequestId, EscapeParameter(answer.GetString()).GetString());
}

void CLumoClientSocket::HandleSAVASE(CStringArray& arrFields)
{
    m_core.StoreApplicationSetting(
        m_nApplicationId,
        CAppPortRelays::MakeApplicationSetting(ToLong(arrFields[0]), arrFields[1], ToLong(arrFields[2]), arrFields[3]));
}
