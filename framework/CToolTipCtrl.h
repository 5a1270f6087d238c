#pragma once
#include "framework/CString.h"
#include "framework/CWnd.h"
// A tool-tip control, a pop-up owned by the window given to Create. Every member sends the
// control's W message. Tools are identified by their window and id (TTF_IDISHWND: the tool window).
class CToolTipCtrl : public CWnd
{
    DECLARE_DYNAMIC(CToolTipCtrl)

public:
    CToolTipCtrl() = default;
    using CWnd::Create;
    static CToolTipCtrl* FromHandle(HWND hWnd); // temporary wrapper unless the window is one of ours
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);

    // A tool over rect of pWnd (then with an id other than 0), or with a null rect over the whole
    // window; text may be LPSTR_TEXTCALLBACKW.
    BOOL AddTool(CWnd* pWnd, LPCWSTR lpszText = LPSTR_TEXTCALLBACKW, LPCRECT lpRectTool = nullptr,
                 UINT_PTR nIDTool = 0);
    BOOL AddTool(TTTOOLINFOW* pToolInfo)
    {
        return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(pToolInfo)));
    }
    void DelTool(CWnd* pWnd, UINT_PTR nIDTool = 0);
    void GetText(CString& str, CWnd* pWnd, UINT_PTR nIDTool = 0) const;
    void UpdateTipText(LPCWSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool = 0);
    BOOL GetToolInfo(TTTOOLINFOW* pToolInfo, CWnd* pWnd, UINT_PTR nIDTool = 0) const;
    void SetToolInfo(TTTOOLINFOW* pToolInfo) { SendMessage(TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(pToolInfo)); }
    void SetToolRect(CWnd* pWnd, UINT_PTR nIDTool, LPCRECT lpRect);
    int GetToolCount() const { return static_cast<int>(SendMessage(TTM_GETTOOLCOUNT)); }
    void Activate(BOOL bActivate) { SendMessage(TTM_ACTIVATE, bActivate); }
    void RelayEvent(LPMSG lpMsg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(lpMsg)); }
    void Update() { SendMessage(TTM_UPDATE); }
    void Pop() { SendMessage(TTM_POP); }
    // nDuration: TTDT_AUTOPOP, TTDT_INITIAL, TTDT_RESHOW, TTDT_AUTOMATIC.
    void SetDelayTime(DWORD dwDuration, int iTime) { SendMessage(TTM_SETDELAYTIME, dwDuration, MAKELPARAM(iTime, 0)); }
    int GetDelayTime(DWORD dwDuration) const { return static_cast<int>(SendMessage(TTM_GETDELAYTIME, dwDuration)); }
    int SetMaxTipWidth(int iWidth) { return static_cast<int>(SendMessage(TTM_SETMAXTIPWIDTH, 0, iWidth)); }
    int GetMaxTipWidth() const { return static_cast<int>(SendMessage(TTM_GETMAXTIPWIDTH)); }
    void SetMargin(LPRECT lprc) { SendMessage(TTM_SETMARGIN, 0, reinterpret_cast<LPARAM>(lprc)); }
    void GetMargin(LPRECT lprc) const { SendMessage(TTM_GETMARGIN, 0, reinterpret_cast<LPARAM>(lprc)); }
    void SetTipBkColor(COLORREF clr) { SendMessage(TTM_SETTIPBKCOLOR, clr); }
    void SetTipTextColor(COLORREF clr) { SendMessage(TTM_SETTIPTEXTCOLOR, clr); }
    BOOL SetTitle(UINT uIcon, LPCWSTR lpszTitle)
    {
        return static_cast<BOOL>(SendMessage(TTM_SETTITLEW, uIcon, reinterpret_cast<LPARAM>(lpszTitle)));
    }
    void TrackActivate(BOOL bActivate, TTTOOLINFOW* pToolInfo)
    {
        SendMessage(TTM_TRACKACTIVATE, bActivate, reinterpret_cast<LPARAM>(pToolInfo));
    }
    void TrackPosition(int xPos, int yPos) { SendMessage(TTM_TRACKPOSITION, 0, MAKELPARAM(xPos, yPos)); }

private:
    // A tool description of the given window and id, as the messages identify tools.
    static TTTOOLINFOW ToolOf(CWnd* pWnd, UINT_PTR nIDTool);
};
