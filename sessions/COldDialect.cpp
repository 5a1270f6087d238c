#include "sessions/COldDialect.h"
#include "core/CPropertyList.h"
#include <algorithm>

namespace
{
CString Key(LPCWSTR pszFormat, long n)
{
    CString strKey;
    strKey.Format(pszFormat, n);
    return strKey;
}

// Jex's count, but never more entries than the list can hold: a wrong count must not make the
// desktop spin through millions of empty entries.
long EntryCount(const CPropertyList& list)
{
    return std::clamp(list.GetPropertyLong(L"Count", 0L), 0L, static_cast<long>(list.GetCount()));
}
} // namespace

CString COldDialect::ConvertAgentList(const CString& strJexList)
{
    const CPropertyList jex(strJexList.GetString());
    CPropertyList old;
    for (long n = 0, nCount = EntryCount(jex); n < nCount; ++n)
    {
        old.SetProperty(Key(L"Id%ld", n + 1), jex.GetPropertyLong(Key(L"ID%ld", n), 0L));
        old.SetProperty(Key(L"Surname%ld", n + 1), jex.GetPropertyString(Key(L"LN%ld", n), L""));
        old.SetProperty(Key(L"Firstname%ld", n + 1), jex.GetPropertyString(Key(L"FN%ld", n), L""));
    }
    return old.GetString();
}

CString COldDialect::ConvertLocationList(const CString& strJexList)
{
    const CPropertyList jex(strJexList.GetString());
    CPropertyList old;
    for (long n = 0, nCount = EntryCount(jex); n < nCount; ++n)
    {
        old.SetProperty(Key(L"Id%ld", n + 1), jex.GetPropertyLong(Key(L"ID%ld", n), 0L));
        old.SetProperty(Key(L"Name%ld", n + 1), jex.GetPropertyString(Key(L"NM%ld", n), L""));
        old.SetProperty(Key(L"Computer%ld", n + 1), jex.GetPropertyString(Key(L"CNM%ld", n), L""));
    }
    return old.GetString();
}

CString COldDialect::ConvertOutboundGroupList(const CString& strJexList)
{
    CStringArray arrIds, arrNames;
    CPropertyList(strJexList.GetString()).GetNamesAndValues(arrIds, arrNames);
    CPropertyList old;
    for (INT_PTR i = 0; i < arrIds.GetSize(); ++i)
    {
        const long n = static_cast<long>(i + 1);
        old.SetProperty(Key(L"Id%ld", n), arrIds[i]);
        old.SetProperty(Key(L"Name%ld", n), arrNames[i]);
    }
    return old.GetString();
}

CString COldDialect::ConvertPauseList(const CString& strJexList, CStringArray& arrIds, CStringArray& arrNames)
{
    arrIds.RemoveAll();
    arrNames.RemoveAll();
    CPropertyList(strJexList.GetString()).GetNamesAndValues(arrIds, arrNames);
    CString strNames;
    for (INT_PTR i = 0; i < arrNames.GetSize(); ++i)
    {
        strNames += arrNames[i];
        strNames += kListSeparator;
    }
    return strNames;
}

BOOL COldDialect::ConvertTransferAgentResult(int nResultCode, int& nFlag, CString& strText)
{
    switch (nResultCode)
    {
    case 0:
        nFlag = 1;
        strText.Empty();
        return TRUE;
    case 1:
        return FALSE;
    case 2:
        strText = L"No ring";
        break;
    case 3:
        strText = L"Busy";
        break;
    case 4:
        strText = L"No answer";
        break;
    case 5:
        strText = L"No free channel available";
        break;
    case 6:
        strText = L"Agent not logged on";
        break;
    case 7:
        strText = L"Agent not available";
        break;
    case 9:
        strText = L"Unknown error";
        break;
    default:
        strText = L" ";
        break;
    }
    nFlag = 0;
    return TRUE;
}
