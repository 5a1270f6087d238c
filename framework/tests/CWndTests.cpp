// Windows with message maps: dispatch, inheritance, command routing, reflection, the exception
// boundary and the handle map, with real windows.
#include "framework/CException.h"
#include "framework/CHandleOwner.h"
#include "framework/CWinApp.h"
#include "framework/CWnd.h"
#include "framework/testing/CRecordingParent.h"
#include "framework/testing/CSuiteParentTest.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/UserInput.h"
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
constexpr UINT WM_APP_PING = WM_APP + 1;  // wParam: a number to log; result: who answered
constexpr UINT WM_APP_THROW = WM_APP + 2; // wParam: 0 framework exception, 1 standard exception
constexpr UINT ID_CMD_A = 40001;
constexpr UINT ID_CMD_B1 = 40010;
constexpr UINT ID_CMD_B2 = 40011;
constexpr UINT ID_CMD_B3 = 40012;
constexpr UINT ID_CMD_NONE = 40099;
constexpr UINT IDC_PROBE = 300;
const UINT g_registeredMessage = ::RegisterWindowMessageW(L"LumoFrameworkTestMessage");

class CBaseProbe : public CWnd
{
public:
    std::vector<std::string> m_log;
    bool m_failCreate = false;
    BOOL CreateChild(CWnd& parent, const RECT& rc)
    {
        return CreateEx(0, nullptr, L"probe", WS_CHILD | WS_VISIBLE, rc, &parent, IDC_PROBE);
    }

protected:
    int OnCreate(LPCREATESTRUCTW lpCreateStruct)
    {
        m_log.push_back("base create");
        return m_failCreate ? -1 : CWnd::OnCreate(lpCreateStruct);
    }
    void OnSize(UINT, int cx, int cy) { m_log.push_back("base size " + std::to_string(cx) + "x" + std::to_string(cy)); }
    LRESULT OnPing(WPARAM wParam, LPARAM)
    {
        m_log.push_back("base ping " + std::to_string(wParam));
        return 1;
    }
    void OnCommandA() { m_log.push_back("base A"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseProbe, CWnd)
ON_WM_CREATE()
ON_WM_SIZE()
ON_MESSAGE(WM_APP_PING, &CBaseProbe::OnPing)
ON_COMMAND(ID_CMD_A, &CBaseProbe::OnCommandA)
END_MESSAGE_MAP()

class CDerivedProbe : public CBaseProbe
{
protected:
    LRESULT OnPing(WPARAM wParam, LPARAM)
    {
        m_log.push_back("derived ping " + std::to_string(wParam));
        return 2;
    }
    void OnRange(UINT nID) { m_log.push_back("range " + std::to_string(nID)); }
    LRESULT OnRegistered(WPARAM, LPARAM)
    {
        m_log.push_back("registered");
        return 3;
    }
    void OnTimer(UINT_PTR nIDEvent)
    {
        KillTimer(nIDEvent);
        m_log.push_back("timer " + std::to_string(nIDEvent));
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedProbe, CBaseProbe)
ON_MESSAGE(WM_APP_PING, &CDerivedProbe::OnPing)
ON_COMMAND_RANGE(ID_CMD_B1, ID_CMD_B3, &CDerivedProbe::OnRange)
ON_REGISTERED_MESSAGE(g_registeredMessage, &CDerivedProbe::OnRegistered)
ON_WM_TIMER()
END_MESSAGE_MAP()

class MessageMapTest : public CSuiteParentTest
{
protected:
    void SetUp() override
    {
        CSuiteParentTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(m_probe.CreateChild(m_parent, CRect(0, 0, 50, 40)));
        PumpUntilIdle();
        m_probe.m_log.clear();
    }
    CDerivedProbe m_probe;
};

TEST_F(MessageMapTest, DerivedMapOverridesOneHandlerAndInheritsAnother)
{
    EXPECT_EQ(m_probe.SendMessage(WM_APP_PING, 7), 2) << "the derived entry answers";
    m_probe.SetWindowPos(nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(m_probe.m_log, (std::vector<std::string>{"derived ping 7", "base size 200x100"}))
        << "WM_SIZE is handled by the base class's map with the cracked client size";
}

TEST_F(MessageMapTest, CreateRunsOnCreateAndMinusOneFailsTheCreation)
{
    CBaseProbe failing;
    failing.m_failCreate = true;
    EXPECT_FALSE(failing.CreateChild(m_parent, CRect(0, 0, 10, 10)));
    EXPECT_EQ(failing.m_hWnd, nullptr) << "the object is detached from the destroyed window";
    EXPECT_EQ(failing.m_log, std::vector<std::string>{"base create"});
    EXPECT_EQ(CWnd::FromHandlePermanent(m_probe.m_hWnd), &m_probe);
}

struct CommandCase
{
    UINT id;
    const char* logged; // null: nobody handles it
    const char* why;
};
const CommandCase kCommandCases[] = {
    {ID_CMD_A, "base A", "an ON_COMMAND of the base map"},
    {ID_CMD_B1, "range 40010", "first id of the range"},
    {ID_CMD_B2, "range 40011", "inside the range, with the id passed"},
    {ID_CMD_B3, "range 40012", "last id of the range"},
    {ID_CMD_NONE, nullptr, "an id nobody maps goes to the default procedure"},
};

TEST_F(MessageMapTest, CommandsAreRoutedByIdThroughTheMapChain)
{
    for (const auto& c : kCommandCases)
    {
        SCOPED_TRACE(c.why);
        m_probe.m_log.clear();
        m_probe.SendMessage(WM_COMMAND, MAKEWPARAM(c.id, 0), 0);
        if (c.logged)
            EXPECT_EQ(m_probe.m_log, std::vector<std::string>{c.logged});
        else
            EXPECT_TRUE(m_probe.m_log.empty());
    }
}

TEST_F(MessageMapTest, RegisteredMessageAndTimerReachTheirHandlers)
{
    EXPECT_EQ(m_probe.SendMessage(g_registeredMessage), 3);
    ASSERT_NE(m_probe.SetTimer(5, 10), 0u);
    ASSERT_TRUE(PumpUntil([&] { return m_probe.m_log.size() == 2; }, 5000));
    EXPECT_EQ(m_probe.m_log, (std::vector<std::string>{"registered", "timer 5"}));
}

// Handlers of the non-client, activation and hover messages, logging their cracked arguments.
class CCrackProbe : public CWnd
{
public:
    std::vector<std::string> m_log;
    int m_activateAnswer = MA_NOACTIVATE;

protected:
    static std::string At(CPoint p) { return std::to_string(p.x) + "," + std::to_string(p.y); }
    void OnNcRButtonDown(UINT nHitTest, CPoint point)
    {
        m_log.push_back("nc rdown " + std::to_string(nHitTest) + " " + At(point));
    }
    void OnNcLButtonDblClk(UINT nHitTest, CPoint point)
    {
        m_log.push_back("nc ldblclk " + std::to_string(nHitTest) + " " + At(point));
    }
    int OnMouseActivate(CWnd* pDesktopWnd, UINT nHitTest, UINT message)
    {
        m_log.push_back("activate " + std::to_string(pDesktopWnd == this) + " " + std::to_string(nHitTest) + " " +
                        std::to_string(message));
        return m_activateAnswer;
    }
    void OnMouseHover(UINT nFlags, CPoint point)
    {
        m_log.push_back("hover " + std::to_string(nFlags) + " " + At(point));
    }
    BOOL OnQueryOpen()
    {
        m_log.push_back("query open");
        return FALSE;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CCrackProbe, CWnd)
ON_WM_NCRBUTTONDOWN()
ON_WM_NCLBUTTONDBLCLK()
ON_WM_MOUSEACTIVATE()
ON_WM_MOUSEHOVER()
ON_WM_QUERYOPEN()
END_MESSAGE_MAP()

struct CrackCase
{
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    const char* logged;
    LRESULT result;
    const char* why;
};

TEST_F(MessageMapTest, NonClientActivationAndHoverHandlersGetTheirCrackedArguments)
{
    CCrackProbe probe;
    ASSERT_TRUE(probe.CreateEx(0, nullptr, L"crack", WS_CHILD, CRect(0, 0, 20, 20), &m_parent, 301));
    const CrackCase cases[] = {
        {WM_NCRBUTTONDOWN, HTCAPTION, MAKELPARAM(-5, 40), "nc rdown 2 -5,40", 0,
         "hit test and a screen point left of 0"},
        {WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(12, 34), "nc ldblclk 2 12,34", 0, "double click in the caption"},
        {WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(probe.m_hWnd), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN),
         "activate 1 1 513", MA_NOACTIVATE, "the handler's answer is the result"},
        {WM_MOUSEHOVER, MK_LBUTTON, MAKELPARAM(3, 4), "hover 1 3,4", 0, "keys and client point"},
        {WM_QUERYOPEN, 0, 0, "query open", FALSE, "FALSE keeps the window minimised"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        probe.m_log.clear();
        EXPECT_EQ(probe.SendMessage(c.message, c.wParam, c.lParam), c.result);
        EXPECT_EQ(probe.m_log, std::vector<std::string>{c.logged});
    }
    probe.DestroyWindow();
}

TEST(WindowGeometry, CalcWindowRectGivesTheWindowOfAClientSize)
{
    CWnd wnd; // hidden: taking it away costs nothing
    ASSERT_TRUE(wnd.CreateEx(WS_EX_CLIENTEDGE, nullptr, L"geometry", WS_POPUP | WS_CAPTION | WS_THICKFRAME, 0, 0, 50,
                             50, nullptr, nullptr));
    struct
    {
        UINT adjust;
        DWORD exStyle;
        const char* why;
    } const cases[] = {
        {CWnd::adjustBorder, 0, "adjustBorder leaves the client edge out"},
        {CWnd::adjustOutside, WS_EX_CLIENTEDGE, "adjustOutside counts it"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CRect expected(10, 20, 210, 120);
        ASSERT_TRUE(::AdjustWindowRectEx(&expected, wnd.GetStyle(), FALSE, c.exStyle));
        CRect rc(10, 20, 210, 120);
        wnd.CalcWindowRect(&rc, c.adjust);
        EXPECT_EQ(rc, expected);
        EXPECT_GT(rc.Width(), 200) << "the frame is outside the client area";
    }
    CRect outside(0, 0, 200, 100);
    wnd.CalcWindowRect(&outside, CWnd::adjustOutside);
    wnd.MoveWindow(&outside, FALSE);
    CRect client;
    wnd.GetClientRect(&client);
    EXPECT_EQ(client, CRect(0, 0, 200, 100)) << "the window made from the result has that client size";
    wnd.DestroyWindow();
}

// A parent's own map for its children's notifications.
class CParentProbe : public CWnd
{
public:
    std::vector<std::string> m_log;

protected:
    void OnGoClicked() { m_log.push_back("control clicked"); }
    void OnGoSetFocus() { m_log.push_back("control focus"); }
    void OnGoClick(NMHDR* pNotify, LRESULT* pResult)
    {
        m_log.push_back("notify click " + std::to_string(pNotify->idFrom));
        *pResult = 9;
    }
    void OnRangeDblClk(UINT nID, NMHDR*, LRESULT*) { m_log.push_back("range dblclk " + std::to_string(nID)); }
    DECLARE_MESSAGE_MAP()
};

constexpr UINT IDC_GO = 505;

BEGIN_MESSAGE_MAP(CParentProbe, CWnd)
ON_CONTROL(BN_CLICKED, IDC_GO, &CParentProbe::OnGoClicked)
ON_CONTROL(BN_SETFOCUS, IDC_GO, &CParentProbe::OnGoSetFocus)
ON_NOTIFY(NM_CLICK, IDC_GO, &CParentProbe::OnGoClick)
ON_NOTIFY_RANGE(NM_DBLCLK, 500, 510, &CParentProbe::OnRangeDblClk)
END_MESSAGE_MAP()

TEST_F(MessageMapTest, ParentMapsControlAndNotifyEntriesByCodeAndId)
{
    CParentProbe parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(60, 0, 260, 100), &m_parent, 2));
    HWND hGo = ::CreateWindowExW(0, L"BUTTON", L"Go", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | BS_NOTIFY, 0, 0, 80, 30,
                                 parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_GO)), nullptr, nullptr);
    ASSERT_NE(hGo, nullptr);
    PumpUntilIdle();
    parent.m_log.clear();

    ClickCenter(*CWnd::FromHandle(hGo)); // BS_NOTIFY: BN_SETFOCUS, then BN_CLICKED
    ASSERT_TRUE(PumpUntil([&] { return parent.m_log.size() == 2; }, 5000));
    EXPECT_EQ(parent.m_log, (std::vector<std::string>{"control focus", "control clicked"}));

    parent.m_log.clear();
    NMHDR click{hGo, IDC_GO, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(parent.SendMessage(WM_NOTIFY, IDC_GO, reinterpret_cast<LPARAM>(&click)), 9);
    NMHDR dblclk{hGo, IDC_GO, static_cast<UINT>(NM_DBLCLK)};
    parent.SendMessage(WM_NOTIFY, IDC_GO, reinterpret_cast<LPARAM>(&dblclk));
    NMHDR outside{hGo, 511, static_cast<UINT>(NM_DBLCLK)};
    parent.SendMessage(WM_NOTIFY, 511, reinterpret_cast<LPARAM>(&outside));
    EXPECT_EQ(parent.m_log, (std::vector<std::string>{"notify click 505", "range dblclk 505"}))
        << "id 511 is outside the range";
}

// A button that handles its own notifications; `m_bStop` is what its _EX handlers return.
class CReflectingButton : public CWnd
{
public:
    BOOL m_bStop = TRUE;
    int m_clicks = 0;
    int m_notifies = 0;

protected:
    BOOL OnClickedEx()
    {
        ++m_clicks;
        return m_bStop;
    }
    BOOL OnClickNotifyEx(NMHDR*, LRESULT* pResult)
    {
        ++m_notifies;
        *pResult = 5;
        return m_bStop;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CReflectingButton, CWnd)
ON_CONTROL_REFLECT_EX(BN_CLICKED, &CReflectingButton::OnClickedEx)
ON_NOTIFY_REFLECT_EX(NM_CLICK, &CReflectingButton::OnClickNotifyEx)
END_MESSAGE_MAP()

// The same with plain (non-_EX) reflection: the parent never sees them.
class CPlainReflectingButton : public CWnd
{
public:
    int m_clicks = 0;
    int m_notifies = 0;

protected:
    void OnClicked() { ++m_clicks; }
    void OnClickNotify(NMHDR*, LRESULT*) { ++m_notifies; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CPlainReflectingButton, CWnd)
ON_CONTROL_REFLECT(BN_CLICKED, &CPlainReflectingButton::OnClicked)
ON_NOTIFY_REFLECT(NM_CLICK, &CPlainReflectingButton::OnClickNotify)
END_MESSAGE_MAP()

constexpr UINT IDC_BUTTON = 310;

// The control's notification as a control sends it to its parent.
LRESULT SendClickNotify(CWnd& parent, CWnd& control)
{
    NMHDR hdr{control.m_hWnd, IDC_BUTTON, static_cast<UINT>(NM_CLICK)};
    return parent.SendMessage(WM_NOTIFY, IDC_BUTTON, reinterpret_cast<LPARAM>(&hdr));
}

struct ReflectCase
{
    BOOL stop;
    bool parentSees;
    const char* why;
};
const ReflectCase kReflectCases[] = {
    {TRUE, false, "an _EX handler returning TRUE keeps the notification from the parent"},
    {FALSE, true, "an _EX handler returning FALSE lets the parent see it too"},
};

TEST(Reflection, ExHandlersDecideWhetherTheParentSeesTheNotification)
{
    for (const auto& c : kReflectCases)
    {
        SCOPED_TRACE(c.why);
        CRecordingParent parent;
        ASSERT_TRUE(parent.Create());
        CReflectingButton button;
        button.m_bStop = c.stop;
        ASSERT_TRUE(
            button.Create(L"BUTTON", L"Go", WS_VISIBLE | BS_PUSHBUTTON, CRect(10, 10, 110, 40), &parent, IDC_BUTTON));
        PumpUntilIdle();
        parent.Clear();

        ClickCenter(button); // a real click: the button sends BN_CLICKED to its parent
        ASSERT_TRUE(PumpUntil([&] { return button.m_clicks == 1; }, 5000)) << "the click reaches the button object";
        PumpUntilIdle();
        const LRESULT notifyResult = SendClickNotify(parent, button);
        EXPECT_EQ(button.m_notifies, 1);
        EXPECT_EQ(notifyResult, c.parentSees ? 0 : 5) << "the answer of the last one who handled it";
        const Seq expected =
            c.parentSees ? Seq{{WM_COMMAND, IDC_BUTTON, BN_CLICKED}, {WM_NOTIFY, IDC_BUTTON, NM_CLICK}} : Seq{};
        EXPECT_EQ(parent.Seen(), expected);
    }
}

TEST(Reflection, PlainReflectionKeepsTheNotificationFromTheParent)
{
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create());
    CPlainReflectingButton button;
    ASSERT_TRUE(
        button.Create(L"BUTTON", L"Go", WS_VISIBLE | BS_PUSHBUTTON, CRect(10, 10, 110, 40), &parent, IDC_BUTTON));
    PumpUntilIdle();
    parent.Clear();
    ClickCenter(button);
    ASSERT_TRUE(PumpUntil([&] { return button.m_clicks == 1; }, 5000));
    SendClickNotify(parent, button);
    EXPECT_EQ(button.m_notifies, 1);
    EXPECT_EQ(parent.Seen(), Seq{});
}

TEST(Reflection, UnsubclassedControlNotifiesItsParentDirectly)
{
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create());
    HWND hButton =
        ::CreateWindowExW(0, L"BUTTON", L"Go", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 100, 30, parent,
                          reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_BUTTON)), nullptr, nullptr);
    ASSERT_NE(hButton, nullptr);
    PumpUntilIdle();
    parent.Clear();
    ClickCenter(*CWnd::FromHandle(hButton));
    ASSERT_TRUE(PumpUntil([&] { return !parent.Seen().empty(); }, 5000));
    EXPECT_EQ(parent.Seen(), (Seq{{WM_COMMAND, IDC_BUTTON, BN_CLICKED}}));
}

// Owner drawing and colours are offered to the control object first.
class COwnerDrawButton : public CWnd
{
public:
    int m_draws = 0;
    UINT m_lastCtlColorType = 0;
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct)
    {
        ++m_draws;
        ::FillRect(lpDrawItemStruct->hDC, &lpDrawItemStruct->rcItem, static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)));
    }

protected:
    LRESULT OnReflectedCtlColor(WPARAM, LPARAM lParam)
    {
        m_lastCtlColorType = reinterpret_cast<AFX_CTLCOLOR*>(lParam)->nCtlType;
        return reinterpret_cast<LRESULT>(::GetStockObject(BLACK_BRUSH));
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(COwnerDrawButton, CWnd)
ON_WM_DRAWITEM_REFLECT()
ON_MESSAGE(WM_REFLECT_CTLCOLOR, &COwnerDrawButton::OnReflectedCtlColor)
END_MESSAGE_MAP()

TEST(Reflection, DrawItemAndCtlColorReachTheControlObject)
{
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create());
    COwnerDrawButton button;
    ASSERT_TRUE(button.Create(L"BUTTON", L"", WS_VISIBLE | BS_OWNERDRAW, CRect(10, 10, 60, 40), &parent, IDC_BUTTON));
    button.m_draws = 0;
    button.Invalidate();
    button.UpdateWindow();
    EXPECT_GT(button.m_draws, 0) << "the parent's WM_DRAWITEM was reflected to DrawItem";

    HDC hdc = ::GetDC(button);
    const LRESULT brush =
        parent.SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(button.m_hWnd));
    ::ReleaseDC(button, hdc);
    EXPECT_EQ(brush, reinterpret_cast<LRESULT>(::GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(button.m_lastCtlColorType, static_cast<UINT>(CTLCOLOR_BTN));
}

// WM_MEASUREITEM comes while the control is still being created: it is found by its id.
class CMeasuredList : public CWnd
{
public:
    int m_measures = 0;
    void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct)
    {
        ++m_measures;
        lpMeasureItemStruct->itemHeight = 23;
    }

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMeasuredList, CWnd)
ON_WM_MEASUREITEM_REFLECT()
END_MESSAGE_MAP()

TEST(Reflection, MeasureItemDuringCreationReachesTheControlObject)
{
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create());
    CMeasuredList list;
    ASSERT_TRUE(list.Create(L"LISTBOX", L"", WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS, CRect(0, 0, 100, 100),
                            &parent, 320));
    EXPECT_GT(list.m_measures, 0);
    EXPECT_EQ(list.SendMessage(LB_GETITEMHEIGHT, 0), 23) << "the control took the measured height";
}

// Counts what reaches the application's exception hook.
class CHookApp : public CWinApp
{
public:
    int m_exceptions = 0;
    int m_framework = 0;
    UINT m_lastMessage = 0;
    LRESULT ProcessWndProcException(CException* e, const MSG* pMsg) override
    {
        ++m_exceptions;
        if (e) ++m_framework;
        m_lastMessage = pMsg->message;
        return CWinApp::ProcessWndProcException(e, pMsg);
    }
};

class CThrowingWnd : public CWnd
{
protected:
    LRESULT OnThrow(WPARAM wParam, LPARAM)
    {
        if (wParam == 0) throw new CInvalidArgException;
        throw std::runtime_error("handler failed");
    }
    LRESULT OnPing(WPARAM, LPARAM) { return 11; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CThrowingWnd, CWnd)
ON_MESSAGE(WM_APP_THROW, &CThrowingWnd::OnThrow)
ON_MESSAGE(WM_APP_PING, &CThrowingWnd::OnPing)
END_MESSAGE_MAP()

TEST(ExceptionBoundary, ExceptionInAHandlerIsReportedAndTheWindowKeepsWorking)
{
    CHookApp app;
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create());
    CThrowingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), &parent, 1));

    EXPECT_EQ(wnd.SendMessage(WM_APP_THROW, 0), 0) << "a sent message gets the hook's result";
    EXPECT_EQ(wnd.SendMessage(WM_APP_THROW, 1), 0);
    ASSERT_TRUE(wnd.PostMessage(WM_APP_THROW, 0));
    ASSERT_TRUE(PumpUntil([&] { return app.m_exceptions == 3; }, 5000)) << "a posted one is caught as well";
    EXPECT_EQ(app.m_framework, 2) << "framework exceptions are handed to the hook as objects";
    EXPECT_EQ(app.m_lastMessage, WM_APP_THROW);
    EXPECT_EQ(wnd.SendMessage(WM_APP_PING), 11) << "the window still works";
}

// Deletes itself after its last message, as self-owning windows do.
class CSelfDeleting : public CWnd
{
public:
    explicit CSelfDeleting(bool* pDeleted) : m_pDeleted(pDeleted) {}

protected:
    void PostNcDestroy() override
    {
        *m_pDeleted = true;
        delete this;
    }
    bool* m_pDeleted;
};

TEST(HandleMap, ForeignHandlesGetTemporaryWrappersAndAttachMakesThemOurs)
{
    CWindowHandle raw(
        ::CreateWindowExW(0, L"STATIC", L"raw", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(raw.IsValid());
    EXPECT_EQ(CWnd::FromHandlePermanent(raw), nullptr);
    CWnd* temp = CWnd::FromHandle(raw);
    ASSERT_NE(temp, nullptr);
    EXPECT_EQ(temp->m_hWnd, raw.Get());
    EXPECT_EQ(CWnd::FromHandle(raw), temp) << "one wrapper per handle until idle";
    CWnd::DeleteTempMap();

    CWnd owner;
    ASSERT_TRUE(owner.Attach(raw));
    EXPECT_EQ(CWnd::FromHandle(raw), &owner);
    EXPECT_FALSE(CWnd().Attach(raw)) << "a handle has one permanent object";
    EXPECT_EQ(owner.Detach(), raw.Get());
    EXPECT_EQ(CWnd::FromHandlePermanent(raw), nullptr);
}

TEST(HandleMap, SubclassDlgItemRoutesTheControlThroughTheMapAndUnsubclassRestoresIt)
{
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create());
    HWND hEdit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, parent,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(77)), nullptr, nullptr);
    ASSERT_NE(hEdit, nullptr);
    const LONG_PTR original = ::GetWindowLongPtrW(hEdit, GWLP_WNDPROC);
    CDerivedProbe probe;
    ASSERT_TRUE(probe.SubclassDlgItem(77, &parent));
    EXPECT_EQ(probe.SendMessage(WM_APP_PING, 1), 2);
    probe.SetWindowText(L"typed");
    wchar_t text[16] = L"";
    ::GetWindowTextW(hEdit, text, 16);
    EXPECT_STREQ(text, L"typed") << "what the map does not handle reaches the edit's own procedure";
    EXPECT_EQ(probe.UnsubclassWindow(), hEdit);
    EXPECT_EQ(::GetWindowLongPtrW(hEdit, GWLP_WNDPROC), original);
    EXPECT_EQ(::SendMessageW(hEdit, WM_APP_PING, 1, 0), 0) << "no longer ours";
}

TEST(HandleMap, DestroyingASelfOwningWindowDeletesItAfterTheLastMessage)
{
    bool deleted = false;
    auto* wnd = new CSelfDeleting(&deleted);
    ASSERT_TRUE(wnd->CreateEx(0, nullptr, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr));
    HWND h = wnd->m_hWnd;
    ASSERT_TRUE(wnd->DestroyWindow());
    EXPECT_TRUE(deleted);
    EXPECT_EQ(CWnd::FromHandlePermanent(h), nullptr);
}

class CLoopApp : public CWinApp
{
public:
    int m_idleCalls = 0;
    bool m_exited = false;
    BOOL OnIdle(LONG lCount) override
    {
        // The first idle time closes the main window (the default handling destroys it).
        if (++m_idleCalls == 1) m_pMainWnd->PostMessage(WM_CLOSE);
        return CWinApp::OnIdle(lCount);
    }
    int ExitInstance() override
    {
        m_exited = true;
        return 17;
    }
};

TEST(Application, DestroyingTheMainWindowEndsRun)
{
    CLoopApp app;
    EXPECT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(AfxGetThread(), &app);
    bool deleted = false;
    auto* main = new CSelfDeleting(&deleted);
    ASSERT_TRUE(main->CreateEx(0, nullptr, L"main", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr));
    app.m_pMainWnd = main;
    EXPECT_EQ(AfxGetMainWnd(), main);
    EXPECT_EQ(app.Run(), 17) << "Run ends with ExitInstance's result";
    EXPECT_TRUE(deleted);
    EXPECT_TRUE(app.m_exited);
    EXPECT_GT(app.m_idleCalls, 0) << "the loop had idle time";
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}
} // namespace
