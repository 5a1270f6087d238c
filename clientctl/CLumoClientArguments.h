#pragma once
#include "core/CPropertyList.h"
#include "framework/CList.h"
#include "framework/CString.h"
#include "framework/CStringArray.h"
#include "LumoClient.h"
#include <functional>
#include <initializer_list>
#include <utility>

class CMessage;

// The control's argument conversion: received property lists into the maps a client passed, and a
// client's maps and string collections into request data (property lists, number lists, a
// message's attachments from byte arrays). Items that cannot be used are reported through the
// error sink it is given and skipped; it keeps no other state.
class CLumoClientArguments
{
public:
    explicit CLumoClientArguments(std::function<void(const CString&)> reportError)
        : m_reportError(std::move(reportError))
    {
    }

    // Each gives the number of entries read (the list's size, or the Count the list names).
    long ParsePropertyListToLumoClientMap(const CPropertyList& list, ILumoClientMap* pMap);
    long ParsePropertyListToIdMap(const CPropertyList& list, ILumoClientMap* pMap);
    long ParseAgentList(const CPropertyList& list, ILumoClientMap* pFirstNames, ILumoClientMap* pLastNames,
                        ILumoClientMap* pUserNames);
    long ParseLocationList(const CPropertyList& list, ILumoClientMap* pNames, ILumoClientMap* pComputerNames);
    // FALSE, the target untouched, when the keys or the count cannot be read.
    BOOL ParseLumoClientMapToPropertyList(ILumoClientMap* pMap, CPropertyList& list);
    BOOL ParseLumoClientStringCollectionToCStringArray(ILumoClientStringCollection* pCollection, CStringArray& arr);
    BOOL ParseLumoClientStringCollectionToLongList(ILumoClientStringCollection* pCollection, CList<long, long>& list);
    BOOL ParseAttachmentsMap(ILumoClientMap* pMap, CMessage& message);

private:
    long ParseNumberedList(const CPropertyList& list, std::initializer_list<std::pair<LPCWSTR, ILumoClientMap*>> maps);
    // The map's keys in its order; FALSE without a map or without its keys.
    BOOL ReadMapKeys(ILumoClientMap* pMap, CStringArray& arrKeys);
    void LogError(const CString& strText) const { m_reportError(strText); }

    std::function<void(const CString&)> m_reportError;
};
