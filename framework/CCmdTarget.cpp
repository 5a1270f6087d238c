#include "framework/CCmdTarget.h"

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr, nullptr}};
    static const AFX_MSGMAP map = {nullptr, entries};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

namespace
{
bool IsMessageMatch(const AFX_MSGMAP_ENTRY& e, UINT message)
{
    if (e.pnRegistered) return *e.pnRegistered != 0 && *e.pnRegistered == message;
    // Command and notify entries are found by OnCmdMsg, never as plain window messages.
    return e.nMessage == message && e.nMessage != WM_COMMAND && e.nMessage != WM_NOTIFY &&
           e.nMessage != WM_REFLECT_BASE + WM_COMMAND && e.nMessage != WM_REFLECT_BASE + WM_NOTIFY;
}
} // namespace

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT message) const
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr)
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn; ++e)
            if (IsMessageMatch(*e, message)) return e;
    return nullptr;
}

BOOL CCmdTarget::DispatchMessageEntry(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr)
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn; ++e)
        {
            if (!IsMessageMatch(*e, message)) continue;
            AFX_MSGCALL call{message, wParam, lParam, 0};
            // The first matching entry decides: a derived map overrides its base's entry.
            BOOL handled = e->pfn(this, call);
            if (handled && pResult) *pResult = call.result;
            return handled;
        }
    return FALSE;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    const UINT message = HIWORD(static_cast<UINT>(nCode)) ? HIWORD(static_cast<UINT>(nCode)) : WM_COMMAND;
    const WORD code = LOWORD(static_cast<UINT>(nCode));
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr)
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn; ++e)
        {
            if (e->nMessage != message || e->pnRegistered || static_cast<WORD>(e->nCode) != code) continue;
            if (nID < e->nID || nID > e->nLastID) continue;
            if (pHandlerInfo)
            {
                pHandlerInfo->pTarget = this;
                pHandlerInfo->pEntry = e;
                return TRUE;
            }
            AFX_MSGCALL call{message, nID, reinterpret_cast<LPARAM>(pExtra), 0};
            // The first matching entry decides, as for window messages: an _EX handler that
            // declines makes the whole search report "not handled".
            return e->pfn(this, call);
        }
    return FALSE;
}
