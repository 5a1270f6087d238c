#include "clientctl/CCall.h"
#include "framework/CArchive.h"

COleDateTime CCall::NullDate()
{
    COleDateTime dt;
    dt.SetStatus(COleDateTime::null);
    return dt;
}

void CCall::Serialize(CArchive& ar)
{
    if (ar.IsStoring())
    {
        ar << m_nCallId << m_strTelephoneNumber << m_nAgentId << m_dtStartTimeUTC << m_nUTCOffsetAgent
           << m_nUTCOffsetRespondent << m_nShiftNr << m_nResult << m_nSubResult << m_nDerivation << m_dtRecoverTimeUTC;
        return;
    }
    ar >> m_nCallId >> m_strTelephoneNumber >> m_nAgentId >> m_dtStartTimeUTC >> m_nUTCOffsetAgent >>
        m_nUTCOffsetRespondent >> m_nShiftNr >> m_nResult >> m_nSubResult >> m_nDerivation >> m_dtRecoverTimeUTC;
}
