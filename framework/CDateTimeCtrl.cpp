#include "framework/CDateTimeCtrl.h"
#include "framework/AfxInitCommonControls.h"
#include "framework/CTempHandleMap.h"

IMPLEMENT_DYNAMIC(CDateTimeCtrl, CWnd)

CDateTimeCtrl* CDateTimeCtrl::FromHandle(HWND hWnd)
{
    return AfxControlFromHandle<CDateTimeCtrl>(hWnd);
}

BOOL CDateTimeCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    if (!AfxInitCommonControls(ICC_DATE_CLASSES)) return FALSE;
    return CWnd::Create(DATETIMEPICK_CLASSW, nullptr, dwStyle, rect, pParentWnd, nID);
}

DWORD CDateTimeCtrl::GetTime(LPSYSTEMTIME pTimeDest) const
{
    return static_cast<DWORD>(SendMessage(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(pTimeDest)));
}

BOOL CDateTimeCtrl::GetTime(COleDateTime& timeDest) const
{
    SYSTEMTIME st{};
    switch (GetTime(&st))
    {
    case GDT_VALID:
        timeDest = COleDateTime(st);
        return timeDest.GetStatus() == COleDateTime::valid;
    case GDT_NONE:
        timeDest.SetStatus(COleDateTime::null);
        return TRUE;
    default:
        timeDest.SetStatus(COleDateTime::invalid);
        return FALSE;
    }
}

BOOL CDateTimeCtrl::SetTime(const SYSTEMTIME* pTimeNew)
{
    // Some pickers read the structure even for "no date": give them one to ignore.
    const SYSTEMTIME ignored{};
    return static_cast<BOOL>(SendMessage(DTM_SETSYSTEMTIME, pTimeNew ? GDT_VALID : GDT_NONE,
                                         reinterpret_cast<LPARAM>(pTimeNew ? pTimeNew : &ignored)));
}

BOOL CDateTimeCtrl::SetTime(const COleDateTime& timeNew)
{
    if (timeNew.GetStatus() == COleDateTime::null) return SetTime(static_cast<const SYSTEMTIME*>(nullptr));
    SYSTEMTIME st{};
    if (timeNew.GetStatus() != COleDateTime::valid || !timeNew.GetAsSystemTime(st)) return FALSE;
    return SetTime(&st);
}

BOOL CDateTimeCtrl::SetFormat(LPCWSTR pstrFormat)
{
    return static_cast<BOOL>(SendMessage(DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(pstrFormat)));
}

DWORD CDateTimeCtrl::GetRange(COleDateTime* pMinRange, COleDateTime* pMaxRange) const
{
    SYSTEMTIME range[2] = {};
    const DWORD flags = static_cast<DWORD>(SendMessage(DTM_GETRANGE, 0, reinterpret_cast<LPARAM>(range)));
    if (pMinRange)
    {
        if (flags & GDTR_MIN)
            *pMinRange = COleDateTime(range[0]);
        else
            pMinRange->SetStatus(COleDateTime::null);
    }
    if (pMaxRange)
    {
        if (flags & GDTR_MAX)
            *pMaxRange = COleDateTime(range[1]);
        else
            pMaxRange->SetStatus(COleDateTime::null);
    }
    return flags;
}

BOOL CDateTimeCtrl::SetRange(const COleDateTime* pMinRange, const COleDateTime* pMaxRange)
{
    SYSTEMTIME range[2] = {};
    WPARAM flags = 0;
    if (pMinRange && pMinRange->GetStatus() == COleDateTime::valid && pMinRange->GetAsSystemTime(range[0]))
        flags |= GDTR_MIN;
    if (pMaxRange && pMaxRange->GetStatus() == COleDateTime::valid && pMaxRange->GetAsSystemTime(range[1]))
        flags |= GDTR_MAX;
    return static_cast<BOOL>(SendMessage(DTM_SETRANGE, flags, reinterpret_cast<LPARAM>(range)));
}
