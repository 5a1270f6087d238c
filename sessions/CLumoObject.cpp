#include "sessions/CLumoObject.h"
#include "core/CPropertyList.h"

CLumoObject::CLumoObject() = default;

CLumoObject::~CLumoObject() = default;

long CLumoObject::GetNumberedLong(const CPropertyList& list, LPCWSTR pszFormat, long n)
{
    CString strName;
    strName.Format(pszFormat, n);
    return list.GetPropertyLong(strName.GetString(), 0L);
}

CString CLumoObject::GetNumberedString(const CPropertyList& list, LPCWSTR pszFormat, long n)
{
    CString strName;
    strName.Format(pszFormat, n);
    return list.GetPropertyString(strName.GetString(), L"");
}

void DeleteObArray(CObArray& arr)
{
    for (CObject* pObject : arr)
        delete pObject;
    arr.RemoveAll();
}
