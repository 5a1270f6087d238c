#pragma once
#include "framework/CString.h"
#include "framework/CStringArray.h"
#include "framework/Platform.h"
#include <memory>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

class CSyncSocketEx;

// Handler shapes of the synchronous layer's command map: the fields alone, or the fields with the
// payload that followed the line (owned by the caller; a handler copies what it keeps).
typedef BOOL (CSyncSocketEx::*SYNC_COMMAND_FIELDS)(CStringArray& arrFields);
typedef BOOL (CSyncSocketEx::*SYNC_COMMAND_FIELDS_PAYLOAD)(CStringArray& arrFields, BYTE* pPayload, DWORD nLength);
using SYNC_COMMAND_HANDLER = std::variant<std::monostate, SYNC_COMMAND_FIELDS, SYNC_COMMAND_FIELDS_PAYLOAD>;

// One entry of the map: how the word's handler is called and which field counts it accepts.
class CSyncSocketCommand
{
public:
    enum
    {
        typeFields = 0,
        typeFieldsPayload = 1,
        typeAccepted = 2, // 2 and 3: accepted, no handler runs
        typeAcceptedToo = 3
    };
    enum
    {
        ruleNone = 0,
        ruleAtLeast = 1,
        ruleOneOf = 2
    };

    // The allowed counts follow as ints, ended by the first negative value.
    CSyncSocketCommand(SYNC_COMMAND_HANDLER handler, int nType, bool bNeedsSession, int nCountRule, ...);

    // True when nFields passes the entry's count rule.
    bool AcceptsFieldCount(int nFields) const;

    int m_nType;
    bool m_bNeedsSession;
    int m_nCountRule;
    std::vector<int> m_arrCounts;
    SYNC_COMMAND_HANDLER m_pfnHandler;
};

// A class's handler of the right shape as an entry's handler.
template <class TOwner, class... TArgs> SYNC_COMMAND_HANDLER SyncHandler(BOOL (TOwner::*pfn)(TArgs...))
{
    return static_cast<BOOL (CSyncSocketEx::*)(TArgs...)>(pfn);
}

// Command word -> entry, compared exactly. Owns its entries; one static instance per class.
class CSyncSocketCommandMap
{
public:
    CSyncSocketCommandMap() = default;
    CSyncSocketCommandMap(const CSyncSocketCommandMap&) = delete;
    CSyncSocketCommandMap& operator=(const CSyncSocketCommandMap&) = delete;

    void CopyFrom(const CSyncSocketCommandMap& other);       // adds a copy of every entry
    void Add(LPCWSTR pszWord, CSyncSocketCommand* pCommand); // takes ownership, replaces an older entry
    CSyncSocketCommand* Lookup(const CString& strWord) const;
    bool IsEmpty() const { return m_map.empty(); }
    size_t GetCount() const { return m_map.size(); }

private:
    std::unordered_map<std::wstring, std::unique_ptr<CSyncSocketCommand>> m_map;
};
