#pragma once
#include "framework/CString.h"
#include <vector>

// The fields of a posted web form ("name=value&name=value", URL-encoded, UTF-8).
class CIsapiParameter
{
public:
    // False (and no fields) for a text with a broken %-escape or bytes that are not UTF-8.
    bool Parse(const CString& strForm);
    bool Lookup(LPCWSTR pszName, CString& strValue) const; // the first field of that name
    CString Get(LPCWSTR pszName) const;                    // empty when absent
    int GetCount() const { return static_cast<int>(m_fields.size()); }

private:
    std::vector<std::pair<CString, CString>> m_fields;
};
