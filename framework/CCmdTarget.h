#pragma once
#include "framework/CObject.h"
#include <commctrl.h>
// CCmdTarget: the root of everything that has a message map (windows, threads, the application).
//
// A message map is a static table per class, chained to its base class's table. Each entry holds
// a small captureless function (written by the ON_... macros) that casts the target to the class
// the map belongs to and calls the handler with its cracked arguments, so a handler of the wrong
// signature is a compile error in the map, not a crash at run time.

class CCmdTarget;

// What a map entry's thunk gets: the message and, for window messages, where its result goes.
// For commands and notifications wParam is the control id and lParam points at the extra data
// (AFX_NOTIFY for WM_NOTIFY entries).
struct AFX_MSGCALL
{
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;
};

// The thunk returns TRUE when the message counts as handled: always, except for the _EX entries,
// whose handler decides (FALSE lets the search go on, e.g. to the parent of a reflecting control).
using AFX_PMSG_THUNK = BOOL (*)(CCmdTarget* target, AFX_MSGCALL& call);

struct AFX_MSGMAP_ENTRY
{
    UINT nMessage;            // window message, WM_COMMAND, WM_NOTIFY or a reflected one (WM_REFLECT_BASE + ...)
    UINT nCode;               // notification code of command and notify entries
    UINT nID;                 // first control or command id of command and notify entries
    UINT nLastID;             // last id of the range (equal to nID for single ids)
    const UINT* pnRegistered; // ON_REGISTERED_MESSAGE: the variable that holds the message number
    AFX_PMSG_THUNK pfn;       // null ends the table
};

struct AFX_MSGMAP
{
    const AFX_MSGMAP* (*pfnGetBaseMap)(); // null for the root map
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Carried by OnCmdMsg for WM_NOTIFY entries (nCode's high word WM_NOTIFY).
struct AFX_NOTIFY
{
    LRESULT* pResult;
    NMHDR* pNMHDR;
};

// OnCmdMsg's answer to "who would handle this?" without calling the handler.
struct AFX_CMDHANDLERINFO
{
    CCmdTarget* pTarget;
    const AFX_MSGMAP_ENTRY* pEntry;
};

// Notifications a parent sends back to the control they came from are looked up under these numbers.
constexpr UINT WM_REFLECT_BASE = 0xBC00;
constexpr int CN_COMMAND = 0; // menu items, accelerators and BN_CLICKED share code 0

class CCmdTarget : public CObject
{
    DECLARE_DYNAMIC(CCmdTarget)

public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // nCode: LOWORD the notification code, HIWORD the message (0 = WM_COMMAND, WM_NOTIFY, or a
    // reflected WM_REFLECT_BASE + WM_COMMAND / WM_NOTIFY). TRUE when an entry handled it.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);

    // Finds the first entry of this object's map chain that handles the window message.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message) const;
    // Runs every matching entry for a window message until one reports it handled.
    BOOL DispatchMessageEntry(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

// Declares the map of a class (in its declaration; leaves the access at protected).
#define DECLARE_MESSAGE_MAP()                                                                                          \
protected:                                                                                                             \
    static const AFX_MSGMAP* GetThisMessageMap();                                                                      \
    virtual const AFX_MSGMAP* GetMessageMap() const;

// The entries live in a function of the class so that the thunks may call protected handlers.
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                                         \
    const AFX_MSGMAP* theClass::GetMessageMap() const                                                                  \
    {                                                                                                                  \
        return GetThisMessageMap();                                                                                    \
    }                                                                                                                  \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                                                    \
    {                                                                                                                  \
        using ThisClass [[maybe_unused]] = theClass;                                                                   \
        using TheBaseClass = baseClass;                                                                                \
        static const AFX_MSGMAP_ENTRY messageEntries_[] = {

#define END_MESSAGE_MAP()                                                                                              \
    {                                                                                                                  \
        0, 0, 0, 0, nullptr, nullptr                                                                                   \
    }                                                                                                                  \
    }                                                                                                                  \
    ;                                                                                                                  \
    static const AFX_MSGMAP messageMap_ = {&TheBaseClass::GetThisMessageMap, messageEntries_};                         \
    return &messageMap_;                                                                                               \
    }

// One entry: `body` sees p_ (the object as ThisClass*), w_, l_ (the message parameters) and m_
// (the AFX_MSGCALL, whose result it sets); it may `return FALSE;` for "not handled".
#define AFX_MSG_ENTRY(msg, code, id, lastId, pnReg, ...)                                                               \
    {static_cast<UINT>(msg),                                                                                           \
     static_cast<UINT>(code),                                                                                          \
     static_cast<UINT>(id),                                                                                            \
     static_cast<UINT>(lastId),                                                                                        \
     pnReg,                                                                                                            \
     [](CCmdTarget* t_, AFX_MSGCALL& m_) -> BOOL {                                                                     \
         [[maybe_unused]] auto* p_ = static_cast<ThisClass*>(t_);                                                      \
         [[maybe_unused]] WPARAM w_ = m_.wParam;                                                                       \
         [[maybe_unused]] LPARAM l_ = m_.lParam;                                                                       \
         __VA_ARGS__;                                                                                                  \
         return TRUE;                                                                                                  \
     }},

#define AFX_NOTIFY_ARGS reinterpret_cast<AFX_NOTIFY*>(l_)->pNMHDR, reinterpret_cast<AFX_NOTIFY*>(l_)->pResult

// LRESULT OnXxx(WPARAM, LPARAM)
#define ON_MESSAGE(message, memberFxn) AFX_MSG_ENTRY(message, 0, 0, 0, nullptr, m_.result = (p_->*(memberFxn))(w_, l_))
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn)                                                             \
    AFX_MSG_ENTRY(0xC000, 0, 0, 0, &(nMessageVariable), m_.result = (p_->*(memberFxn))(w_, l_))
// void OnXxx()
#define ON_COMMAND(id, memberFxn) AFX_MSG_ENTRY(WM_COMMAND, CN_COMMAND, id, id, nullptr, (p_->*(memberFxn))())
// BOOL OnXxx(UINT nID): FALSE lets the command go on to the next target
#define ON_COMMAND_EX(id, memberFxn)                                                                                   \
    AFX_MSG_ENTRY(WM_COMMAND, CN_COMMAND, id, id, nullptr, return (p_->*(memberFxn))(static_cast<UINT>(w_)))
// void OnXxx(UINT nID)
#define ON_COMMAND_RANGE(id, idLast, memberFxn)                                                                        \
    AFX_MSG_ENTRY(WM_COMMAND, CN_COMMAND, id, idLast, nullptr, (p_->*(memberFxn))(static_cast<UINT>(w_)))
// void OnXxx()
#define ON_CONTROL(wNotifyCode, id, memberFxn)                                                                         \
    AFX_MSG_ENTRY(WM_COMMAND, wNotifyCode, id, id, nullptr, (p_->*(memberFxn))())
// void OnXxx(UINT nID)
#define ON_CONTROL_RANGE(wNotifyCode, id, idLast, memberFxn)                                                           \
    AFX_MSG_ENTRY(WM_COMMAND, wNotifyCode, id, idLast, nullptr, (p_->*(memberFxn))(static_cast<UINT>(w_)))
// void OnXxx(NMHDR*, LRESULT*)
#define ON_NOTIFY(wNotifyCode, id, memberFxn)                                                                          \
    AFX_MSG_ENTRY(WM_NOTIFY, wNotifyCode, id, id, nullptr, (p_->*(memberFxn))(AFX_NOTIFY_ARGS))
// void OnXxx(UINT nID, NMHDR*, LRESULT*)
#define ON_NOTIFY_RANGE(wNotifyCode, id, idLast, memberFxn)                                                            \
    AFX_MSG_ENTRY(WM_NOTIFY, wNotifyCode, id, idLast, nullptr,                                                         \
                  (p_->*(memberFxn))(static_cast<UINT>(w_), AFX_NOTIFY_ARGS))
// BOOL OnXxx(UINT nID, NMHDR*, LRESULT*)
#define ON_NOTIFY_EX(wNotifyCode, id, memberFxn)                                                                       \
    AFX_MSG_ENTRY(WM_NOTIFY, wNotifyCode, id, id, nullptr,                                                             \
                  return (p_->*(memberFxn))(static_cast<UINT>(w_), AFX_NOTIFY_ARGS))
// Reflected back to the control itself. void OnXxx(NMHDR*, LRESULT*) / BOOL for _EX
#define ON_NOTIFY_REFLECT(wNotifyCode, memberFxn)                                                                      \
    AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_NOTIFY, wNotifyCode, 0, 0, nullptr, (p_->*(memberFxn))(AFX_NOTIFY_ARGS))
#define ON_NOTIFY_REFLECT_EX(wNotifyCode, memberFxn)                                                                   \
    AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_NOTIFY, wNotifyCode, 0, 0, nullptr, return (p_->*(memberFxn))(AFX_NOTIFY_ARGS))
// void OnXxx() / BOOL OnXxx() for _EX
#define ON_CONTROL_REFLECT(wNotifyCode, memberFxn)                                                                     \
    AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_COMMAND, wNotifyCode, 0, 0, nullptr, (p_->*(memberFxn))())
#define ON_CONTROL_REFLECT_EX(wNotifyCode, memberFxn)                                                                  \
    AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_COMMAND, wNotifyCode, 0, 0, nullptr, return (p_->*(memberFxn))())
// Thread messages of a CWinThread: void OnXxx(WPARAM, LPARAM)
#define ON_THREAD_MESSAGE(message, memberFxn) AFX_MSG_ENTRY(message, 0, 0, 0, nullptr, (p_->*(memberFxn))(w_, l_))
#define ON_REGISTERED_THREAD_MESSAGE(nMessageVariable, memberFxn)                                                      \
    AFX_MSG_ENTRY(0xC000, 0, 0, 0, &(nMessageVariable), (p_->*(memberFxn))(w_, l_))
