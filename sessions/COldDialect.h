#pragma once
#include "framework/CString.h"
#include "framework/CStringArray.h"

// What the old application port's applications read differs from what Jex sends: their lists have
// keys of their own, numbered from 1, and a transfer to an agent is told as a flag and a text.
// These turn Jex's forms into theirs.
class COldDialect
{
public:
    // Jex's "Count", "ID%d", "LN%d", "FN%d" from 0 -> "Id%d", "Surname%d", "Firstname%d" from 1.
    static CString ConvertAgentList(const CString& strJexList);
    // Jex's "Count", "ID%d", "NM%d", "CNM%d" from 0 -> "Id%d", "Name%d", "Computer%d" from 1.
    static CString ConvertLocationList(const CString& strJexList);
    // Jex's group id = name entries, in the list's order -> "Id%d", "Name%d" from 1.
    static CString ConvertOutboundGroupList(const CString& strJexList);
    // Jex's reason id = name entries -> the names, each followed by 0xA7, in the list's order; the
    // ids and names in that order for the application's later choice by index.
    static CString ConvertPauseList(const CString& strJexList, CStringArray& arrIds, CStringArray& arrNames);
    // Jex's transfer-to-agent result -> the TRAAGE fields. FALSE for result 1 (the transfer goes on):
    // nothing is told then.
    static BOOL ConvertTransferAgentResult(int nResultCode, int& nFlag, CString& strText);

    static constexpr wchar_t kListSeparator = 0xA7;
};
