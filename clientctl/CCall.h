#pragma once
#include "framework/CArray.h"
#include "framework/COleDateTime.h"
#include "framework/CString.h"

class CArchive;

// One call of a contact's call history, as Lumo sends it: a count, then the records in archive form.
class CCall
{
public:
    CCall() = default;
    CCall(const CCall&) = default;
    CCall& operator=(const CCall&) = default;
    virtual ~CCall() = default;

    virtual void Serialize(CArchive& ar);

    // The smallest record an archive can hold: an empty number stored in its one-byte narrow form.
    static constexpr DWORD kMinArchivedSize = 53;

    long m_nCallId = 0;
    CString m_strTelephoneNumber;
    long m_nAgentId = 0;
    COleDateTime m_dtStartTimeUTC{NullDate()};
    long m_nUTCOffsetAgent = 0;
    long m_nUTCOffsetRespondent = 0;
    long m_nShiftNr = 0;
    short m_nResult = 0;
    short m_nSubResult = 0;
    long m_nDerivation = 0;
    COleDateTime m_dtRecoverTimeUTC{NullDate()};

private:
    static COleDateTime NullDate();
};

using CCallArray = CArray<CCall, const CCall&>;
