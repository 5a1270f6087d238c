#pragma once
#include "framework/CCmdTarget.h"
#include "framework/CHandleOwner.h"
#include "framework/CRect.h"
#include "framework/CString.h"
// CWnd: a window object and its handle.
//
// Each thread keeps a map from window handle to object. Permanent objects are those our code
// created, attached or subclassed: their messages go through WindowProc -> OnWndMsg -> the
// message map -> DefWindowProc. FromHandle wraps a foreign handle in a temporary object that
// belongs to the thread and is deleted at its next idle time; never keep such a pointer.

class CDC;
class CFont;
class CMenu;
class CScrollBar;
class CDataExchange;
struct CCreateContext;
class CWinThread;
class COleControlSite;
struct AFX_EVENTSINKMAP;

class CWnd : public CCmdTarget
{
    DECLARE_DYNAMIC(CWnd)

public:
    CWnd() = default;
    ~CWnd() override; // destroys a window it still owns

    HWND m_hWnd = nullptr;
    operator HWND() const noexcept { return m_hWnd; }
    // The compiler may assume `this` is never null, so a null object pointer cannot be asked
    // here: use AfxGetSafeHwnd(pWnd) for pointers that may be null.
    HWND GetSafeHwnd() const noexcept { return m_hWnd; }
    bool operator==(const CWnd& other) const noexcept { return m_hWnd == other.m_hWnd; }

    // The handle map of the calling thread.
    static CWnd* FromHandle(HWND hWnd);          // permanent object, else a temporary wrapper
    static CWnd* FromHandlePermanent(HWND hWnd); // only objects of ours, else null
    static void DeleteTempMap();                 // frees this thread's temporary wrappers
    [[nodiscard]] BOOL Attach(HWND hWndNew);                   // FALSE when the handle is null or already has an object
    HWND Detach();

    // Creation. A null class name gets the framework's default class.
    [[nodiscard]] virtual BOOL Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                        CWnd* pParentWnd, UINT nID, CCreateContext* pContext = nullptr);
    [[nodiscard]] BOOL CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, int x, int y,
                  int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam = nullptr);
    [[nodiscard]] BOOL CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID, LPVOID lpParam = nullptr);
    virtual BOOL DestroyWindow();
    virtual BOOL PreCreateWindow(CREATESTRUCTW& cs);

    // Subclassing a window that exists (e.g. a dialog's control) with this object.
    [[nodiscard]] BOOL SubclassWindow(HWND hWnd);
    [[nodiscard]] BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();

    // Message processing.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // Calls PreTranslateMessage of each permanent window from pMsg->hwnd up to its top-level
    // window (or hWndStop); TRUE as soon as one of them consumed the message.
    static BOOL WalkPreTranslateTree(HWND hWndStop, MSG* pMsg);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    LRESULT Default(); // the current message to DefWindowProc
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Offers a message from the parent (notification, owner draw, colour) to this control.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    static BOOL ReflectLastMsg(HWND hWndChild, LRESULT* pResult = nullptr);
    BOOL SendChildNotifyLastMsg(LRESULT* pResult = nullptr);
    // The current message of this thread's innermost window procedure.
    static const MSG* GetCurrentMessage();
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

    // Data exchange (dialogs and forms): DoDataExchange in the given direction; FALSE when a
    // value was refused (the user has been told, the focus is on the control).
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // A modal loop for this window (dialogs, and windows that run their own): pumps with
    // PreTranslateMessage until EndModalLoop; shows the window at the first idle time with
    // MLF_SHOWONIDLE. WM_QUIT ends it and is posted again for the outer loop.
    int RunModalLoop(DWORD dwFlags = 0);
    virtual BOOL ContinueModal();
    virtual void EndModalLoop(int nResult);
    BOOL IsInModalLoop() const noexcept { return m_bInModalLoop; }

    // Common wrappers.
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    int SetDlgCtrlID(int nID) { return static_cast<int>(::SetWindowLongPtrW(m_hWnd, GWLP_ID, nID)); }
    CWnd* GetDlgItem(int nID) const { return FromHandle(::GetDlgItem(m_hWnd, nID)); }
    void GetDlgItem(int nID, HWND* phWnd) const { *phWnd = ::GetDlgItem(m_hWnd, nID); }
    LRESULT SendDlgItemMessage(int nID, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendDlgItemMessageW(m_hWnd, nID, message, wParam, lParam);
    }
    void SetDlgItemText(int nID, LPCWSTR lpszString) { ::SetDlgItemTextW(m_hWnd, nID, lpszString); }
    int GetDlgItemText(int nID, LPWSTR lpStr, int nMaxCount) const
    {
        return static_cast<int>(::GetDlgItemTextW(m_hWnd, nID, lpStr, nMaxCount));
    }
    int GetDlgItemText(int nID, CString& rString) const;
    void SetDlgItemInt(int nID, UINT nValue, BOOL bSigned = TRUE) { ::SetDlgItemInt(m_hWnd, nID, nValue, bSigned); }
    UINT GetDlgItemInt(int nID, BOOL* lpTrans = nullptr, BOOL bSigned = TRUE) const
    {
        return ::GetDlgItemInt(m_hWnd, nID, lpTrans, bSigned);
    }
    void CheckDlgButton(int nIDButton, UINT nCheck) { ::CheckDlgButton(m_hWnd, nIDButton, nCheck); }
    UINT IsDlgButtonChecked(int nIDButton) const { return ::IsDlgButtonChecked(m_hWnd, nIDButton); }
    void CheckRadioButton(int nIDFirst, int nIDLast, int nIDCheck)
    {
        ::CheckRadioButton(m_hWnd, nIDFirst, nIDLast, nIDCheck);
    }
    CWnd* GetNextDlgTabItem(CWnd* pWndCtl, BOOL bPrevious = FALSE) const
    {
        return FromHandle(::GetNextDlgTabItem(m_hWnd, pWndCtl ? pWndCtl->m_hWnd : nullptr, bPrevious));
    }

    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = nullptr)
    {
        return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
    }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }

    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL IsZoomed() const { return ::IsZoomed(m_hWnd); }
    BOOL IsChild(const CWnd* pWnd) const { return pWnd && ::IsChild(m_hWnd, pWnd->m_hWnd); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, lpRect, bErase); }
    void ValidateRect(LPCRECT lpRect) { ::ValidateRect(m_hWnd, lpRect); }
    BOOL RedrawWindow(LPCRECT lpRectUpdate = nullptr, HRGN hrgnUpdate = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE)
    {
        return ::RedrawWindow(m_hWnd, lpRectUpdate, hrgnUpdate, flags);
    }
    void SetRedraw(BOOL bRedraw = TRUE) { ::SendMessageW(m_hWnd, WM_SETREDRAW, bRedraw, 0); }

    int GetWindowText(LPWSTR lpszStringBuf, int nMaxCount) const
    {
        return ::GetWindowTextW(m_hWnd, lpszStringBuf, nMaxCount);
    }
    void GetWindowText(CString& rString) const;
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
    void SetWindowText(LPCWSTR lpszString) { ::SetWindowTextW(m_hWnd, lpszString); }

    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
    {
        return ::SetWindowPos(m_hWnd, pWndInsertAfter ? pWndInsertAfter->m_hWnd : nullptr, x, y, cx, cy, nFlags);
    }
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE)
    {
        ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
    }
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE)
    {
        MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top, bRepaint);
    }
    BOOL GetWindowPlacement(WINDOWPLACEMENT* lpwndpl) const
    {
        lpwndpl->length = sizeof(WINDOWPLACEMENT);
        return ::GetWindowPlacement(m_hWnd, lpwndpl);
    }
    BOOL SetWindowPlacement(const WINDOWPLACEMENT* lpwndpl) { return ::SetWindowPlacement(m_hWnd, lpwndpl); }
    void GetWindowRect(LPRECT lpRect) const { ::GetWindowRect(m_hWnd, lpRect); }
    void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
    void ClientToScreen(LPPOINT lpPoint) const { ::ClientToScreen(m_hWnd, lpPoint); }
    void ClientToScreen(LPRECT lpRect) const
    {
        ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<LPPOINT>(lpRect), 2);
    }
    void ScreenToClient(LPPOINT lpPoint) const { ::ScreenToClient(m_hWnd, lpPoint); }
    void ScreenToClient(LPRECT lpRect) const
    {
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(lpRect), 2);
    }
    void CenterWindow(CWnd* pAlternateOwner = nullptr);
    enum AdjustType
    {
        adjustBorder = 0, // without WS_EX_CLIENTEDGE
        adjustOutside = 1
    };
    // The window rectangle that gives this window (its styles, no menu) the client rectangle given.
    virtual void CalcWindowRect(LPRECT lpClientRect, UINT nAdjustType = adjustBorder);

    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)); }
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);

    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    CWnd* GetOwner() const { return FromHandle(::GetWindow(m_hWnd, GW_OWNER)); }
    CWnd* GetTopLevelParent() const { return FromHandle(::GetAncestor(m_hWnd, GA_ROOT)); }
    CWnd* GetWindow(UINT nCmd) const { return FromHandle(::GetWindow(m_hWnd, nCmd)); }
    CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
    static CWnd* GetFocus() { return FromHandle(::GetFocus()); }
    CWnd* SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
    CWnd* SetActiveWindow() { return FromHandle(::SetActiveWindow(m_hWnd)); }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
    void BringWindowToTop() { ::BringWindowToTop(m_hWnd); }
    HFONT GetFontHandle() const { return reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0)); }
    void SetFontHandle(HFONT hFont, BOOL bRedraw = TRUE)
    {
        ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), bRedraw);
    }

    // Drawing and geometry (CWndDrawing.cpp). GetDC's and GetWindowDC's wrappers are temporary;
    // the DC itself goes back with ReleaseDC (or use CClientDC / CWindowDC).
    CDC* GetDC();
    CDC* GetWindowDC();
    int ReleaseDC(CDC* pDC);
    CFont* GetFont() const; // temporary wrapper of the window's font, or null for the system font
    void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
    CMenu* GetSystemMenu(BOOL bRevert) const; // temporary wrapper
    CMenu* GetMenu() const;                   // temporary wrapper
    // On success the window owns the region: the caller detaches it from its CRgn.
    int SetWindowRgn(HRGN hRgn, BOOL bRedraw);
    int GetWindowRgn(HRGN hRgn) const { return ::GetWindowRgn(m_hWnd, hRgn); }
    int MapWindowPoints(CWnd* pwndTo, LPPOINT lpPoint, UINT nCount) const;
    void MapWindowPoints(CWnd* pwndTo, LPRECT lpRect) const;
    int GetScrollPos(int nBar) const { return ::GetScrollPos(m_hWnd, nBar); }
    int SetScrollPos(int nBar, int nPos, BOOL bRedraw = TRUE) { return ::SetScrollPos(m_hWnd, nBar, nPos, bRedraw); }
    void GetScrollRange(int nBar, LPINT lpMinPos, LPINT lpMaxPos) const;
    BOOL GetScrollInfo(int nBar, LPSCROLLINFO lpScrollInfo, UINT nMask = SIF_ALL) const;
    BOOL SetScrollInfo(int nBar, LPSCROLLINFO lpScrollInfo, BOOL bRedraw = TRUE);
    // Goes through AfxMessageBox's hook, so tests can answer it.
    int MessageBox(LPCWSTR lpszText, LPCWSTR lpszCaption = nullptr, UINT nType = MB_OK);

    // Default handlers, called by derived classes' handlers for the standard behaviour.
    int OnCreate(LPCREATESTRUCTW lpCreateStruct);
    BOOL OnNcCreate(LPCREATESTRUCTW lpCreateStruct);
    void OnDestroy();
    void OnNcDestroy(); // ends the thread's loop when this is its main window; detaches; PostNcDestroy
    void OnClose();
    void OnPaint();
    void OnTimer(UINT_PTR nIDEvent);
    void OnSize(UINT nType, int cx, int cy);
    void OnMove(int x, int y);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnSysKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnLButtonDblClk(UINT nFlags, CPoint point);
    void OnRButtonDown(UINT nFlags, CPoint point);
    void OnRButtonUp(UINT nFlags, CPoint point);
    BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);
    void OnMouseLeave();
    void OnSetFocus(CWnd* pOldWnd);
    void OnKillFocus(CWnd* pNewWnd);
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnWindowPosChanging(WINDOWPOS* lpwndpos);
    void OnWindowPosChanged(WINDOWPOS* lpwndpos);
    void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    LRESULT OnNcHitTest(CPoint point);
    void OnNcLButtonDown(UINT nHitTest, CPoint point);
    void OnNcLButtonDblClk(UINT nHitTest, CPoint point);
    void OnNcRButtonDown(UINT nHitTest, CPoint point);
    int OnMouseActivate(CWnd* pDesktopWnd, UINT nHitTest, UINT message);
    void OnMouseHover(UINT nFlags, CPoint point);
    BOOL OnQueryOpen();
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnSysColorChange();
    void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized);
    void OnEnable(BOOL bEnable);
    void OnCancelMode();
    void OnCaptureChanged(CWnd* pWnd);
    UINT OnGetDlgCode();
    void OnShowWindow(BOOL bShow, UINT nStatus);
    void OnContextMenu(CWnd* pWnd, CPoint pos);
    void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    HCURSOR OnQueryDragIcon();
    BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);
    void OnTimeChange();
    void OnSettingChange(UINT uFlags, LPCWSTR lpszSection);
    void OnDropFiles(HDROP hDropInfo);
    void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
    // These first offer the message to the child control it concerns (reflection).
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct);
    void OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct);

protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    BOOL ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual void PreSubclassWindow();
    virtual void PostNcDestroy(); // after the last message; a self-owning window deletes itself here
    virtual void DoDataExchange(CDataExchange* pDX);

    // Creates a dialog window from a template in memory, attached to this object.
    BOOL CreateDlgIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd, HINSTANCE hInst);

    WNDPROC m_pfnSuper = nullptr; // the procedure we subclassed, or null for DefWindowProc
    int m_nModalResult = -1;
    bool m_bContinueModal = false;
    bool m_bInModalLoop = false;

    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT AfxCallWndProc(CWnd*, HWND, UINT, WPARAM, LPARAM);
    friend class CWndCreateHook;
    DECLARE_MESSAGE_MAP()

    // ---- ActiveX controls: this window as one, or as the host of some (CWndControl.cpp) ---------
public:
    // Creates the control of the class as this window's object, a child of pParentWnd with id nID,
    // under the caller's active activation context; bstrLicKey, when given, is the key the class
    // factory is asked to create it with. FALSE with GetLastError() holding the HRESULT when it
    // cannot be made; nothing of it is then left alive, and nothing is shown.
    BOOL CreateControl(REFCLSID clsid, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                       UINT nID, BSTR bstrLicKey = nullptr);
    // Calls the control by DISPID. pbParamInfo holds one VTS_ code per argument that follows (null or
    // "" for none); vtRet VT_EMPTY takes no result, else pvRet points at the result's C++ type (BOOL,
    // short, long, ULONG, unsigned short, double, CString for VT_BSTR, IDispatch*, VARIANT). A failed
    // call throws COleDispatchException* with the HRESULT and the control's description.
    void InvokeHelper(DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet, const BYTE* pbParamInfo, ...);
    void SetProperty(DISPID dwDispID, VARTYPE vtProp, ...);
    void GetProperty(DISPID dwDispID, VARTYPE vtProp, void* pvProp) const;
    IUnknown* GetControlUnknown() const; // not AddRef'd; null when this window is no control
    COleControlSite* GetControlSite() const noexcept { return m_pCtrlSite; }
    // The window's event-sink map (DECLARE_EVENTSINK_MAP); CWnd has none.
    virtual const AFX_EVENTSINKMAP* GetEventSinkMap() const { return nullptr; }
    static const AFX_EVENTSINKMAP* GetThisEventSinkMap() { return nullptr; }

    COleControlSite* m_pCtrlSite = nullptr; // while this window is a hosted control (the container owns it)
    COleControlContainerHandle m_pCtrlCont; // the controls this window hosts
};

inline HWND AfxGetSafeHwnd(const CWnd* pWnd) noexcept
{
    return pWnd ? pWnd->m_hWnd : nullptr;
}

constexpr DWORD MLF_NOIDLEMSG = 0x0001;  // no WM_ENTERIDLE to the parent
constexpr DWORD MLF_NOKICKIDLE = 0x0002; // the framework's flag value; nothing to kick here
constexpr DWORD MLF_SHOWONIDLE = 0x0004; // show the window when the loop first goes idle

// The window procedure of every window of ours.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT AfxCallWndProc(CWnd* pWnd, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Registers (once per process) a window class with these attributes and returns its name.
LPCWSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr, HBRUSH hbrBackground = nullptr,
                            HICON hIcon = nullptr);

// The module our code belongs to (the executable, or the library it is linked into) and the
// module whose resources we load.
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstResource);
HINSTANCE AfxFindResourceHandle(LPCWSTR lpszName, LPCWSTR lpszType);
// Walks PreTranslateMessage of the calling thread's CWinThread (or the windows alone).
BOOL AfxPreTranslateMessage(MSG* pMsg);
// One message through the calling thread's loop (waits for one); FALSE when it was WM_QUIT.
BOOL AfxPumpMessage();
// Dispatches what is queued now in [nFirst, nLast] (0, 0: everything) through AfxPreTranslateMessage,
// without waiting. FALSE when WM_QUIT came: it is posted again, so the loop above the caller's wait
// still sees it. *pAny becomes true when any message came.
BOOL AfxPumpPendingMessages(UINT nFirst = 0, UINT nLast = 0, bool* pAny = nullptr);
CWnd* AfxGetMainWnd();

// ---- ON_WM_* entries with the framework's cracked handler signatures --------------------------
// Each row: the message, the handler's result type, name and parameter types, then its arguments
// cracked from the message. The handler names are fixed, as in the framework. The handler is taken
// as a member of exactly that signature, so a handler declared with other parameter types (which
// would hide the base's and might still be callable through conversions) is a compile error in
// the map. Classes used only by some handlers (CDC, CMenu, CScrollBar) are needed by the .cpp
// whose map uses those entries.
#define AFX_WM_HANDLER(ret, name, params) (p_->*static_cast<ret(ThisClass::*) params>(&ThisClass::name))
#define AFX_WM_VOID(msg, name, params, ...)                                                                            \
    AFX_MSG_ENTRY(msg, 0, 0, 0, nullptr, AFX_WM_HANDLER(void, name, params)(__VA_ARGS__); m_.result = 0)
#define AFX_WM_RESULT(msg, ret, name, params, ...)                                                                     \
    AFX_MSG_ENTRY(msg, 0, 0, 0, nullptr, m_.result = (LRESULT)(AFX_WM_HANDLER(ret, name, params)(__VA_ARGS__)))
// Owner-draw entries answer TRUE whatever their void handler did.
#define AFX_WM_TRUE(msg, name, params, ...)                                                                            \
    AFX_MSG_ENTRY(msg, 0, 0, 0, nullptr, AFX_WM_HANDLER(void, name, params)(__VA_ARGS__); m_.result = TRUE)
#define AFX_KEYPARAMS (UINT nChar, UINT nRepCnt, UINT nFlags)
#define AFX_KEYARGS static_cast<UINT>(w_), static_cast<UINT>(LOWORD(l_)), static_cast<UINT>(HIWORD(l_))
#define AFX_MOUSEPARAMS (UINT nFlags, CPoint point)
#define AFX_MOUSEARGS static_cast<UINT>(w_), CPoint(l_)
#define AFX_WNDARG(x) CWnd::FromHandle(reinterpret_cast<HWND>(x))

#define ON_WM_CREATE()                                                                                                 \
    AFX_WM_RESULT(WM_CREATE, int, OnCreate, (LPCREATESTRUCTW lpCreateStruct), reinterpret_cast<LPCREATESTRUCTW>(l_))
#define ON_WM_NCCREATE()                                                                                               \
    AFX_WM_RESULT(WM_NCCREATE, BOOL, OnNcCreate, (LPCREATESTRUCTW lpCreateStruct),                                     \
                  reinterpret_cast<LPCREATESTRUCTW>(l_))
#define ON_WM_DESTROY() AFX_WM_VOID(WM_DESTROY, OnDestroy, ())
#define ON_WM_NCDESTROY() AFX_WM_VOID(WM_NCDESTROY, OnNcDestroy, ())
#define ON_WM_CLOSE() AFX_WM_VOID(WM_CLOSE, OnClose, ())
#define ON_WM_PAINT() AFX_WM_VOID(WM_PAINT, OnPaint, ())
#define ON_WM_TIMER() AFX_WM_VOID(WM_TIMER, OnTimer, (UINT_PTR nIDEvent), static_cast<UINT_PTR>(w_))
#define ON_WM_SIZE()                                                                                                   \
    AFX_WM_VOID(WM_SIZE, OnSize, (UINT nType, int cx, int cy), static_cast<UINT>(w_), static_cast<short>(LOWORD(l_)),  \
                static_cast<short>(HIWORD(l_)))
#define ON_WM_MOVE()                                                                                                   \
    AFX_WM_VOID(WM_MOVE, OnMove, (int x, int y), static_cast<short>(LOWORD(l_)), static_cast<short>(HIWORD(l_)))
#define ON_WM_KEYDOWN() AFX_WM_VOID(WM_KEYDOWN, OnKeyDown, AFX_KEYPARAMS, AFX_KEYARGS)
#define ON_WM_KEYUP() AFX_WM_VOID(WM_KEYUP, OnKeyUp, AFX_KEYPARAMS, AFX_KEYARGS)
#define ON_WM_CHAR() AFX_WM_VOID(WM_CHAR, OnChar, AFX_KEYPARAMS, AFX_KEYARGS)
#define ON_WM_SYSKEYDOWN() AFX_WM_VOID(WM_SYSKEYDOWN, OnSysKeyDown, AFX_KEYPARAMS, AFX_KEYARGS)
#define ON_WM_MOUSEMOVE() AFX_WM_VOID(WM_MOUSEMOVE, OnMouseMove, AFX_MOUSEPARAMS, AFX_MOUSEARGS)
#define ON_WM_LBUTTONDOWN() AFX_WM_VOID(WM_LBUTTONDOWN, OnLButtonDown, AFX_MOUSEPARAMS, AFX_MOUSEARGS)
#define ON_WM_LBUTTONUP() AFX_WM_VOID(WM_LBUTTONUP, OnLButtonUp, AFX_MOUSEPARAMS, AFX_MOUSEARGS)
#define ON_WM_LBUTTONDBLCLK() AFX_WM_VOID(WM_LBUTTONDBLCLK, OnLButtonDblClk, AFX_MOUSEPARAMS, AFX_MOUSEARGS)
#define ON_WM_RBUTTONDOWN() AFX_WM_VOID(WM_RBUTTONDOWN, OnRButtonDown, AFX_MOUSEPARAMS, AFX_MOUSEARGS)
#define ON_WM_RBUTTONUP() AFX_WM_VOID(WM_RBUTTONUP, OnRButtonUp, AFX_MOUSEPARAMS, AFX_MOUSEARGS)
#define ON_WM_MOUSEWHEEL()                                                                                             \
    AFX_WM_RESULT(WM_MOUSEWHEEL, BOOL, OnMouseWheel, (UINT nFlags, short zDelta, CPoint pt), LOWORD(w_),               \
                  static_cast<short>(HIWORD(w_)), CPoint(l_))
#define ON_WM_MOUSELEAVE() AFX_WM_VOID(WM_MOUSELEAVE, OnMouseLeave, ())
#define ON_WM_SETFOCUS() AFX_WM_VOID(WM_SETFOCUS, OnSetFocus, (CWnd * pOldWnd), AFX_WNDARG(w_))
#define ON_WM_KILLFOCUS() AFX_WM_VOID(WM_KILLFOCUS, OnKillFocus, (CWnd * pNewWnd), AFX_WNDARG(w_))
#define ON_WM_ERASEBKGND()                                                                                             \
    AFX_WM_RESULT(WM_ERASEBKGND, BOOL, OnEraseBkgnd, (CDC * pDC), CDC::FromHandle(reinterpret_cast<HDC>(w_)))
#define ON_WM_WINDOWPOSCHANGING()                                                                                      \
    AFX_WM_VOID(WM_WINDOWPOSCHANGING, OnWindowPosChanging, (WINDOWPOS * lpwndpos), reinterpret_cast<WINDOWPOS*>(l_))
#define ON_WM_WINDOWPOSCHANGED()                                                                                       \
    AFX_WM_VOID(WM_WINDOWPOSCHANGED, OnWindowPosChanged, (WINDOWPOS * lpwndpos), reinterpret_cast<WINDOWPOS*>(l_))
#define ON_WM_GETMINMAXINFO()                                                                                          \
    AFX_WM_VOID(WM_GETMINMAXINFO, OnGetMinMaxInfo, (MINMAXINFO * lpMMI), reinterpret_cast<MINMAXINFO*>(l_))
#define ON_WM_SETCURSOR()                                                                                              \
    AFX_WM_RESULT(WM_SETCURSOR, BOOL, OnSetCursor, (CWnd * pWnd, UINT nHitTest, UINT message), AFX_WNDARG(w_),         \
                  LOWORD(l_), HIWORD(l_))
#define ON_WM_NCHITTEST() AFX_WM_RESULT(WM_NCHITTEST, LRESULT, OnNcHitTest, (CPoint point), CPoint(l_))
#define ON_WM_NCLBUTTONDOWN()                                                                                          \
    AFX_WM_VOID(WM_NCLBUTTONDOWN, OnNcLButtonDown, (UINT nHitTest, CPoint point), static_cast<UINT>(w_), CPoint(l_))
#define ON_WM_NCLBUTTONDBLCLK()                                                                                        \
    AFX_WM_VOID(WM_NCLBUTTONDBLCLK, OnNcLButtonDblClk, (UINT nHitTest, CPoint point), static_cast<UINT>(w_), CPoint(l_))
#define ON_WM_NCRBUTTONDOWN()                                                                                          \
    AFX_WM_VOID(WM_NCRBUTTONDOWN, OnNcRButtonDown, (UINT nHitTest, CPoint point), static_cast<UINT>(w_), CPoint(l_))
#define ON_WM_MOUSEACTIVATE()                                                                                          \
    AFX_WM_RESULT(WM_MOUSEACTIVATE, int, OnMouseActivate, (CWnd * pDesktopWnd, UINT nHitTest, UINT message),           \
                  AFX_WNDARG(w_), static_cast<short>(LOWORD(l_)), HIWORD(l_))
#define ON_WM_MOUSEHOVER() AFX_WM_VOID(WM_MOUSEHOVER, OnMouseHover, AFX_MOUSEPARAMS, AFX_MOUSEARGS)
#define ON_WM_QUERYOPEN() AFX_WM_RESULT(WM_QUERYOPEN, BOOL, OnQueryOpen, ())
#define ON_WM_SYSCOMMAND()                                                                                             \
    AFX_WM_VOID(WM_SYSCOMMAND, OnSysCommand, (UINT nID, LPARAM lParam), static_cast<UINT>(w_), l_)
#define ON_WM_SYSCOLORCHANGE() AFX_WM_VOID(WM_SYSCOLORCHANGE, OnSysColorChange, ())
#define ON_WM_ACTIVATE()                                                                                               \
    AFX_WM_VOID(WM_ACTIVATE, OnActivate, (UINT nState, CWnd * pWndOther, BOOL bMinimized), LOWORD(w_), AFX_WNDARG(l_), \
                HIWORD(w_))
#define ON_WM_ENABLE() AFX_WM_VOID(WM_ENABLE, OnEnable, (BOOL bEnable), static_cast<BOOL>(w_))
#define ON_WM_CANCELMODE() AFX_WM_VOID(WM_CANCELMODE, OnCancelMode, ())
#define ON_WM_CAPTURECHANGED() AFX_WM_VOID(WM_CAPTURECHANGED, OnCaptureChanged, (CWnd * pWnd), AFX_WNDARG(l_))
#define ON_WM_GETDLGCODE() AFX_WM_RESULT(WM_GETDLGCODE, UINT, OnGetDlgCode, ())
#define ON_WM_SHOWWINDOW()                                                                                             \
    AFX_WM_VOID(WM_SHOWWINDOW, OnShowWindow, (BOOL bShow, UINT nStatus), static_cast<BOOL>(w_), static_cast<UINT>(l_))
#define ON_WM_CONTEXTMENU()                                                                                            \
    AFX_WM_VOID(WM_CONTEXTMENU, OnContextMenu, (CWnd * pWnd, CPoint pos), AFX_WNDARG(w_), CPoint(l_))
#define ON_WM_HSCROLL()                                                                                                \
    AFX_WM_VOID(WM_HSCROLL, OnHScroll, (UINT nSBCode, UINT nPos, CScrollBar * pScrollBar), LOWORD(w_),                 \
                static_cast<short>(HIWORD(w_)), reinterpret_cast<CScrollBar*>(AFX_WNDARG(l_)))
#define ON_WM_VSCROLL()                                                                                                \
    AFX_WM_VOID(WM_VSCROLL, OnVScroll, (UINT nSBCode, UINT nPos, CScrollBar * pScrollBar), LOWORD(w_),                 \
                static_cast<short>(HIWORD(w_)), reinterpret_cast<CScrollBar*>(AFX_WNDARG(l_)))
#define ON_WM_QUERYDRAGICON() AFX_WM_RESULT(WM_QUERYDRAGICON, HCURSOR, OnQueryDragIcon, ())
#define ON_WM_DEVICECHANGE()                                                                                           \
    AFX_WM_RESULT(WM_DEVICECHANGE, BOOL, OnDeviceChange, (UINT nEventType, DWORD_PTR dwData), static_cast<UINT>(w_),   \
                  static_cast<DWORD_PTR>(l_))
#define ON_WM_TIMECHANGE() AFX_WM_VOID(WM_TIMECHANGE, OnTimeChange, ())
#define ON_WM_SETTINGCHANGE()                                                                                          \
    AFX_WM_VOID(WM_SETTINGCHANGE, OnSettingChange, (UINT uFlags, LPCWSTR lpszSection), static_cast<UINT>(w_),          \
                reinterpret_cast<LPCWSTR>(l_))
#define ON_WM_DROPFILES() AFX_WM_VOID(WM_DROPFILES, OnDropFiles, (HDROP hDropInfo), reinterpret_cast<HDROP>(w_))
#define ON_WM_INITMENUPOPUP()                                                                                          \
    AFX_WM_VOID(WM_INITMENUPOPUP, OnInitMenuPopup, (CMenu * pPopupMenu, UINT nIndex, BOOL bSysMenu),                   \
                CMenu::FromHandle(reinterpret_cast<HMENU>(w_)), LOWORD(l_), HIWORD(l_))
#define ON_WM_DRAWITEM()                                                                                               \
    AFX_WM_TRUE(WM_DRAWITEM, OnDrawItem, (int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct), static_cast<int>(w_),        \
                reinterpret_cast<LPDRAWITEMSTRUCT>(l_))
#define ON_WM_MEASUREITEM()                                                                                            \
    AFX_WM_TRUE(WM_MEASUREITEM, OnMeasureItem, (int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct),                  \
                static_cast<int>(w_), reinterpret_cast<LPMEASUREITEMSTRUCT>(l_))
// Every WM_CTLCOLOR* message; nCtlColor is CTLCOLOR_EDIT, CTLCOLOR_BTN, ...
#define AFX_CTLCOLOR_ENTRY(msg, kind)                                                                                  \
    AFX_WM_RESULT(msg, HBRUSH, OnCtlColor, (CDC * pDC, CWnd * pWnd, UINT nCtlColor),                                   \
                  CDC::FromHandle(reinterpret_cast<HDC>(w_)), AFX_WNDARG(l_), kind)
#define ON_WM_CTLCOLOR()                                                                                               \
    AFX_CTLCOLOR_ENTRY(WM_CTLCOLORMSGBOX, CTLCOLOR_MSGBOX)                                                             \
    AFX_CTLCOLOR_ENTRY(WM_CTLCOLOREDIT, CTLCOLOR_EDIT)                                                                 \
    AFX_CTLCOLOR_ENTRY(WM_CTLCOLORLISTBOX, CTLCOLOR_LISTBOX)                                                           \
    AFX_CTLCOLOR_ENTRY(WM_CTLCOLORBTN, CTLCOLOR_BTN) AFX_CTLCOLOR_ENTRY(WM_CTLCOLORDLG, CTLCOLOR_DLG)                  \
        AFX_CTLCOLOR_ENTRY(WM_CTLCOLORSCROLLBAR, CTLCOLOR_SCROLLBAR)                                                   \
            AFX_CTLCOLOR_ENTRY(WM_CTLCOLORSTATIC, CTLCOLOR_STATIC)

// Reflected to the control: HBRUSH CtlColor(CDC*, UINT nCtlColor) — a null brush lets the parent
// answer; void DrawItem/MeasureItem are called through OnChildNotify of the control classes.
constexpr UINT WM_REFLECT_CTLCOLOR = WM_REFLECT_BASE + 0x0019; // the old WM_CTLCOLOR number
#define ON_WM_CTLCOLOR_REFLECT()                                                                                       \
    AFX_MSG_ENTRY(WM_REFLECT_CTLCOLOR, 0, 0, 0, nullptr,                                                               \
                  HBRUSH brush_ = p_->CtlColor(CDC::FromHandle(reinterpret_cast<AFX_CTLCOLOR*>(l_)->hDC),              \
                                               reinterpret_cast<AFX_CTLCOLOR*>(l_)->nCtlType);                         \
                  if (!brush_) return FALSE; m_.result = reinterpret_cast<LRESULT>(brush_))
#define ON_WM_DRAWITEM_REFLECT()                                                                                       \
    AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_DRAWITEM, 0, 0, 0, nullptr,                                                     \
                  p_->DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(l_));                                                \
                  m_.result = TRUE)
#define ON_WM_MEASUREITEM_REFLECT()                                                                                    \
    AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_MEASUREITEM, 0, 0, 0, nullptr,                                                  \
                  p_->MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(l_));                                          \
                  m_.result = TRUE)

// What a reflected WM_CTLCOLOR* carries (lParam of WM_REFLECT_CTLCOLOR).
struct AFX_CTLCOLOR
{
    HWND hWnd;
    HDC hDC;
    UINT nCtlType;
};

// Reflection of the other WM_* messages a parent gets for a child (e.g. WM_HSCROLL of a slider)
// arrives as WM_REFLECT_BASE + message: use ON_MESSAGE(WM_REFLECT_BASE + WM_HSCROLL, ...).
