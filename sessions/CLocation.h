#pragma once
#include "sessions/CLumoObject.h"
#include "framework/CString.h"

// One workstation of Jex's location list.
class CLocation : public CLumoObject
{
public:
    CLocation();
    CLocation(const CLocation& other);
    CLocation& operator=(const CLocation& other);
    ~CLocation() override;

    // Appends one CLocation for n = 0 to Count - 1 from "ID%d", "NM%d" and "CNM%d" of the
    // property-list text; arr is not emptied first. The caller owns the records.
    static void ParseLocationList(CObArray& arr, LPCWSTR pszText);

    long m_nId = -1; // -1: none
    CString m_strName;
    CString m_strComputerName;
};
