#pragma once
#include "framework/CString.h"
#include <map>

class COleDateTime;
class COleVariant;
class CStringArray;

// The named-value record of the whole system: each entry is a name and a text value, with an optional
// VARTYPE per name for values stored from a VARIANT. Names compare with or without case, as chosen at
// construction; entries are kept in that order, and every text form writes them in it.
class CPropertyList
{
public:
    // Orders names with or without case; each map carries the flag it was built with.
    struct CNameLess
    {
        bool bNoCase = false;
        bool operator()(const CString& a, const CString& b) const
        {
            return (bNoCase ? a.CompareNoCase(b) : a.Compare(b)) < 0;
        }
    };
    using CValueMap = std::map<CString, CString, CNameLess>;
    using CTypeMap = std::map<CString, long, CNameLess>;

    CPropertyList();
    explicit CPropertyList(LPCWSTR pszText, bool bNoCase = false);
    // Copies entries and types directly: the text form would lose names holding "=", quotes or edge
    // blanks, and types of names without a value.
    CPropertyList(const CPropertyList& other);
    // Values are replaced; types are merged, the assigned ones winning.
    CPropertyList& operator=(const CPropertyList& other);
    virtual ~CPropertyList();

    // Same names (exactly, with case) with the same texts, and the same types.
    bool operator==(const CPropertyList& other) const;
    bool operator!=(const CPropertyList& other) const { return !(*this == other); }

    // Main form: name = "value" with \n \r \" \\ escapes, then name[T] = "type"; every entry ends in a blank.
    CString GetString() const;
    // Reads the main form, or the compact form (name 0x01 value 0x02 ..., CR as 0x03) when the text
    // ends in 0x02. Values are replaced, types only changed by "[T]" entries. Never throws for bad text.
    void SetString(LPCWSTR pszText);
    // The same for a counted text: NULs inside it stay in the values instead of ending the text.
    void SetString(const wchar_t* pchText, size_t nLength);
    CString GetJsonString() const;
    void SetJsonString(LPCWSTR pszText);

    void GetNamesAndValues(CStringArray& names, CStringArray& values) const;
    // Throws CInvalidArgException* when there are fewer names than values (after storing the pairs before).
    void SetAll(const CStringArray& names, const CStringArray& values);
    void SetAll(const std::map<CString, CString>& entries);
    void Merge(const CPropertyList& other, bool bAddNew, bool bAddEmpty);

    int GetCount() const { return static_cast<int>(m_values.size()); }
    size_t GetAllocatedSize(bool bExcludeObject) const;
    size_t GetDataSize() const;
    bool IsNoCase() const { return m_bNoCase; }

    void SetProperty(LPCWSTR pszName, const CString& strValue);
    void SetProperty(LPCWSTR pszName, LPCWSTR pszValue);
    void SetProperty(LPCWSTR pszName, int nValue);
    void SetProperty(LPCWSTR pszName, long nValue);
    void SetProperty(LPCWSTR pszName, unsigned long nValue);
    void SetProperty(LPCWSTR pszName, double dValue);
    void SetProperty(LPCWSTR pszName, bool bValue);
    void SetProperty(LPCWSTR pszName, const COleDateTime& date, bool bToUtc = false);
    void SetVariant(LPCWSTR pszName, const VARIANT& value);

    BOOL GetProperty(LPCWSTR pszName, CString& strValue) const;
    BOOL GetProperty(LPCWSTR pszName, int& nValue) const;
    BOOL GetProperty(LPCWSTR pszName, long& nValue) const;
    BOOL GetProperty(LPCWSTR pszName, unsigned long& nValue) const;
    BOOL GetProperty(LPCWSTR pszName, double& dValue) const;
    BOOL GetProperty(LPCWSTR pszName, bool& bValue) const;
    BOOL GetProperty(LPCWSTR pszName, BYTE& nValue) const;
    BOOL GetProperty(LPCWSTR pszName, short& nValue) const;
    BOOL GetProperty(LPCWSTR pszName, long long& nValue) const;
    BOOL GetProperty(LPCWSTR pszName, COleDateTime& date, bool bToLocal = false) const;
    BOOL GetProperty(LPCWSTR pszName, COleVariant& value) const;

    long GetPropertyLong(LPCWSTR pszName, long nDefault) const;
    int GetPropertyLong(LPCWSTR pszName, int nDefault) const;
    unsigned long GetPropertyULong(LPCWSTR pszName, unsigned long nDefault) const;
    short GetPropertyShort(LPCWSTR pszName, short nDefault) const;
    bool GetPropertyBool(LPCWSTR pszName, bool bDefault) const;
    double GetPropertyDouble(LPCWSTR pszName, double dDefault) const;
    CString GetPropertyString(LPCWSTR pszName, LPCWSTR pszDefault) const;
    COleDateTime GetPropertyDateTime(LPCWSTR pszName) const;
    COleDateTime GetPropertyDateTime(LPCWSTR pszName, const COleDateTime& dateDefault) const;
    COleVariant GetPropertyVariant(LPCWSTR pszName, const COleVariant& valueDefault) const;

    BOOL HasProperty(LPCWSTR pszName) const;
    void RemoveProperty(LPCWSTR pszName);
    BOOL GetPropertyType(LPCWSTR pszName, VARTYPE& vt) const;

private:
    const CString* FindValue(LPCWSTR pszName) const;
    void RemoveAllValues() { m_values.clear(); }

    bool m_bNoCase = false;
    CValueMap m_values;
    CTypeMap m_types;
};
