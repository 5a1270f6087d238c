#include "sessions/CCallInfo.h"
#include "core/CStaticTools.h"
#include "framework/CStringArray.h"
#include <algorithm>
#include <iterator>

namespace
{
// States the applications are told of; the others are passing states of the switch.
constexpr long kReportedStates[] = {1, 2, 4, 5, 13, 14, 15, 16, 19, 20, 23, 26, 30, 33, 34, 37, 39, 40};

// Positions in Jex's call information.
enum : INT_PTR
{
    kFieldCallId,
    kFieldGroupName,
    kFieldTotalTime,
    kFieldQueueTime,
    kFieldSender,
    kFieldDestination,
    kFieldCallType,
    kFieldInbound,
    kFieldCallState,
    kFieldRecording,
    kFieldsUsed
};
} // namespace

CCallInfo::CCallInfo(BOOL bInformation) : m_bInformation(bInformation ? 1 : 0) {}

CCallInfo::~CCallInfo() = default;

void CCallInfo::SetCallState(long nState)
{
    m_nCallState = nState;
    if (std::find(std::begin(kReportedStates), std::end(kReportedStates), nState) != std::end(kReportedStates))
        m_nReportedState = nState;
}

CString CCallInfo::Format() const
{
    // The numbers print as %ld would; only the old port turns them into display texts.
    return FormatOldDialect(CStaticTools::ToString(m_nCallType).GetString(),
                            CStaticTools::ToString(m_nReportedState).GetString());
}

CString CCallInfo::FormatOldDialect(LPCWSTR pszCallTypeText, LPCWSTR pszCallStateText) const
{
    CString strText;
    strText.Format(L"%ld:%s:%ld:%ld:%s:%s:%s:%s:%d:%d", m_nCallId, m_strGroupName.GetString(), m_nTotalTime,
                   m_nQueueTime, m_strSender.GetString(), m_strDestination.GetString(), pszCallTypeText,
                   pszCallStateText, IsInbound() ? 1 : 0, m_bRecording ? 1 : 0);
    return strText;
}

BOOL CCallInfo::SplitJexCallInfo(LPCWSTR pszText, CStringArray& fields)
{
    CStaticTools::LireChaineSeparateurString(pszText, L':', fields);
    return fields.GetSize() >= kFieldsUsed;
}

void CCallInfo::ApplyJexCallInfo(const CStringArray& fields)
{
    if (fields.GetSize() < kFieldsUsed) return;
    m_strGroupName = fields[kFieldGroupName];
    m_nTotalTime = CStaticTools::ToLong(fields[kFieldTotalTime].GetString());
    m_nQueueTime = CStaticTools::ToLong(fields[kFieldQueueTime].GetString());
    m_strSender = fields[kFieldSender];
    m_strDestination = fields[kFieldDestination];
    m_nCallType = CStaticTools::ToLong(fields[kFieldCallType].GetString());
    SetCallState(CStaticTools::ToLong(fields[kFieldCallState].GetString()));
}

CString CCallInfo::FormatRelayText(const CStringArray& fields)
{
    if (fields.GetSize() < kFieldsUsed) return CString();
    // Type and state are read as numbers, so an unreadable one is relayed as 0.
    return FormatOldRelayText(
        fields, CStaticTools::ToString(CStaticTools::ToLong(fields[kFieldCallType].GetString())).GetString(),
        CStaticTools::ToString(CStaticTools::ToLong(fields[kFieldCallState].GetString())).GetString());
}

CString CCallInfo::FormatOldRelayText(const CStringArray& fields, LPCWSTR pszCallTypeText, LPCWSTR pszCallStateText)
{
    if (fields.GetSize() < kFieldsUsed) return CString();
    CString strText;
    strText.Format(L"%s:%s:%s:%s:%s:%s:%s:%s:%s:%s", fields[kFieldCallId].GetString(),
                   fields[kFieldGroupName].GetString(), fields[kFieldTotalTime].GetString(),
                   fields[kFieldQueueTime].GetString(), fields[kFieldSender].GetString(),
                   fields[kFieldDestination].GetString(), pszCallTypeText, pszCallStateText,
                   fields[kFieldInbound].GetString(), fields[kFieldRecording].GetString());
    return strText;
}
