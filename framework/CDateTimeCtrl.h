#pragma once
#include "framework/COleDateTime.h"
#include "framework/CWnd.h"
// A date and time picker. Every member sends the control's W message.
class CDateTimeCtrl : public CWnd
{
    DECLARE_DYNAMIC(CDateTimeCtrl)

public:
    CDateTimeCtrl() = default;
    using CWnd::Create;
    static CDateTimeCtrl* FromHandle(HWND hWnd); // temporary wrapper unless the window is one of ours
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

    // GDT_VALID, or GDT_NONE when the control (DTS_SHOWNONE) shows no date; GDT_ERROR on failure.
    DWORD GetTime(LPSYSTEMTIME pTimeDest) const;
    // FALSE for an invalid value; a null date clears a DTS_SHOWNONE control.
    BOOL GetTime(COleDateTime& timeDest) const;
    BOOL SetTime(const SYSTEMTIME* pTimeNew);  // null: no date (DTS_SHOWNONE)
    BOOL SetTime(const COleDateTime& timeNew); // a null value clears; an invalid one is refused
    BOOL SetFormat(LPCWSTR pstrFormat);        // null: the default format of the style
    DWORD GetRange(COleDateTime* pMinRange, COleDateTime* pMaxRange) const;
    BOOL SetRange(const COleDateTime* pMinRange, const COleDateTime* pMaxRange);
    COLORREF SetMonthCalColor(int iColor, COLORREF ref)
    {
        return static_cast<COLORREF>(SendMessage(DTM_SETMCCOLOR, iColor, ref));
    }
    HWND GetMonthCalCtrl() const { return reinterpret_cast<HWND>(SendMessage(DTM_GETMONTHCAL)); }
};
