#pragma once
#include "sessions/CLumoObject.h"
#include "framework/CString.h"

// One outbound group an agent may join.
class COutboundGroup : public CLumoObject
{
public:
    COutboundGroup();
    COutboundGroup(const COutboundGroup& other);
    COutboundGroup& operator=(const COutboundGroup& other);
    ~COutboundGroup() override;

    // Empties arr (DeleteObArray) and appends one COutboundGroup per entry of the property-list
    // text, in the list's order: the entry's name read as a number (0 when it is none) is the id,
    // its value the name. The caller owns the records.
    static void ParseOutboundGroupList(CObArray& arr, LPCWSTR pszText);

    long m_nId = -1; // -1: none
    CString m_strName;
};
