#pragma once
#include "framework/CStringArray.h"
#include "framework/CCriticalSection.h"
#include "framework/CMap.h"
#include "framework/CSingleLock.h"
#include "framework/CString.h"
#include "framework/Platform.h"
#include <type_traits>
#include <variant>
#include <vector>

class CAsyncSocketEx;

// Handler shapes by dispatch mode.
typedef void (CAsyncSocketEx::*SOCKET_COMMAND_FIELDS)(CStringArray& arrFields); // mode 0
typedef void (CAsyncSocketEx::*SOCKET_COMMAND_FIELDS_PAYLOAD)(CStringArray& arrFields, int nLineLength,
                                                              BOOL& bIncomplete); // mode 1
typedef void (CAsyncSocketEx::*SOCKET_COMMAND_TEXT)(CString strParameters);       // mode 2
typedef void (CAsyncSocketEx::*SOCKET_COMMAND_TEXT_PAYLOAD)(const CString& strParameters, int nLineLength,
                                                            BOOL& bIncomplete); // mode 3
typedef void (CAsyncSocketEx::*SOCKET_COMMAND_BINARY)(CStringArray& arrFields, BYTE* pPayload,
                                                      int nLength); // mode 6
typedef void (*SOCKET_COMMAND_CALLBACK)(DWORD dwContext, wchar_t** ppFields,
                                        int nCount); // mode 4
typedef void (*SOCKET_COMMAND_CALLBACK_PAYLOAD)(DWORD dwContext, wchar_t** ppFields, int nCount, int nLineLength,
                                                int nBytesAfterLine,
                                                DWORD& dwIncomplete); // mode 5

// An entry keeps its handler with its shape, so the dispatcher never calls a handler through the wrong
// signature: a shape that does not suit the entry's mode is treated as no handler.
using SOCKET_COMMAND_HANDLER = std::variant<std::monostate, SOCKET_COMMAND_FIELDS, SOCKET_COMMAND_FIELDS_PAYLOAD,
                                            SOCKET_COMMAND_TEXT, SOCKET_COMMAND_TEXT_PAYLOAD, SOCKET_COMMAND_BINARY>;
using SOCKET_COMMAND_STATIC = std::variant<std::monostate, SOCKET_COMMAND_CALLBACK, SOCKET_COMMAND_CALLBACK_PAYLOAD>;

// One entry of a command map: how the word's handler is called and what its line must carry.
class CSocketCommand
{
public:
    enum
    {
        modeFields = 0,
        modeFieldsPayload = 1,
        modeText = 2,
        modeTextPayload = 3,
        modeCallback = 4,
        modeCallbackPayload = 5,
        modeBinary = 6
    };
    enum
    {
        checkNone = 0,
        checkAtLeast = 1,
        checkOneOf = 2
    };

    // The listed parameter counts follow as ints, ended by a negative value.
    CSocketCommand(SOCKET_COMMAND_HANDLER handler, int nMode, bool bNeedsSession, int nCountCheck, DWORD dwContext,
                   ...);

    int m_nMode;
    bool m_bNeedsSession;
    int m_nCountCheck;
    std::vector<int> m_arrCounts;
    SOCKET_COMMAND_STATIC m_pfnStatic; // modes 4 and 5; set after construction
    SOCKET_COMMAND_HANDLER m_pfnHandler;
    DWORD m_dwContext;
    int m_nPayloadLengthField = -1; // mode 6; set after construction
};

// A derived class's member function as an entry's handler (the shapes above, any socket class).
template <class TSocket, class... TArgs> SOCKET_COMMAND_HANDLER SocketHandler(void (TSocket::*pfn)(TArgs...))
{
    static_assert(std::is_base_of_v<CAsyncSocketEx, TSocket>, "a handler is a member of a socket class");
    return static_cast<void (CAsyncSocketEx::*)(TArgs...)>(pfn);
}

// Command word -> entry, compared with case. Owns its entries.
class CSocketCommandMap : public CMap<CString, LPCWSTR, CSocketCommand*, CSocketCommand*&>
{
public:
    CSocketCommandMap();
    ~CSocketCommandMap() override;
    CSocketCommandMap(const CSocketCommandMap&) = delete;
    CSocketCommandMap& operator=(const CSocketCommandMap&) = delete;

    void CopyFrom(const CSocketCommandMap& other); // adds a deep copy of every entry
    void Add(LPCWSTR pszWord,
             CSocketCommand* pCommand); // takes ownership, replaces an older entry
    void DeleteAll();

    // Fills the map of a link class derived from another, once: a copy of the base class's entries
    // (initBase initialises the base's map and returns it), then the derived class's own (addOwn adds
    // them to this map; one with a word of the base's replaces that entry). An InitCommandMap override
    // is then one call:
    //
    //     s_map.InitDerived(s_cs, s_csCommandMap,
    //                       [this] { CAsyncSocketEx::InitCommandMap(); return CAsyncSocketEx::GetCommandMap(); },
    //                       [](CSocketCommandMap& map) { map.Add(L"MYWORD", new CSocketCommand(...)); });
    //
    // Lock order, the same for every link class: csOwn (this map's lock) first, then csBase (the base
    // map's lock), both held to the end. A base never takes its derived classes' locks, so classes
    // that initialise at once on several threads never wait on each other in a circle.
    template <class FInitBase, class FAddOwn>
    void InitDerived(CCriticalSection& csOwn, CCriticalSection& csBase, FInitBase initBase, FAddOwn addOwn)
    {
        CSingleLock own(&csOwn, TRUE);
        if (!IsEmpty()) return;
        CSingleLock base(&csBase, TRUE);
        CopyFrom(*initBase());
        addOwn(*this);
    }
};
