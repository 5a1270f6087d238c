// The main window in process, as a real window under Xvfb: its views, keys, message map,
// destruction and leaks. The application object is made but not started; the views it would read
// from the registry are set on it directly.
#include "desktop/CApplicationToolBarDlg.h"
#include "desktop/CIniFile.h"
#include "desktop/CLumoApp.h"
#include "desktop/CLumoDlg.h"
#include "desktop/LumoMessages.h"
#include "desktop/LumoResource.h"
#include "desktop/tests/SettingsKey.h"
#include "framework/CDialog.h"
#include "framework/CDialogTemplateFont.h"
#include "framework/CHandleOwner.h"
#include "framework/CStringArray.h"
#include "framework/testing/CFreeWatch.h"
#include "framework/testing/CMessageBoxAnswerer.h"
#include "framework/testing/CPixelCanvas.h"
#include "framework/testing/DrawItemRequest.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/UserInput.h"
#include "sessions/CJexSocket.h"
#include "uikit/CFlatButton.h"
#include "uikit/VisualStyles.h"
#include <algorithm>
#include <dbt.h>
#include <functional>
#include <gtest/gtest.h>
#include <psapi.h>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{
std::wstring Str(const CString& s)
{
    return static_cast<LPCWSTR>(s);
}

CRect ClientRectOf(HWND hParent, int nId)
{
    CRect rect;
    const HWND hChild = ::GetDlgItem(hParent, nId);
    ::GetWindowRect(hChild, &rect);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool HasVisibleStyle(HWND hParent, int nId)
{
    return (::GetWindowLongW(::GetDlgItem(hParent, nId), GWL_STYLE) & WS_VISIBLE) != 0;
}

// The face the system really uses for the font selected into a DC.
CString SelectedFace(HDC hDC)
{
    wchar_t face[LF_FACESIZE] = L"";
    ::GetTextFaceW(hDC, LF_FACESIZE, face);
    return CString(face);
}

// The platform dialog font ("MS Shell Dlg" at 8 points) is 6 pixels per horizontal base unit on 96 dpi.
int DialogFontBaseWidth()
{
    CReleasedDCHandle dc(CReleasedDC{nullptr, ::GetDC(nullptr)});
    return (6 * MulDiv(8, ::GetDeviceCaps(dc.Get().hDC, LOGPIXELSY), 72) + 5) / 11;
}

// The horizontal dialog base unit of the font selected into a DC, as the dialog manager measures it.
int MeasureBaseWidth(HDC hDC)
{
    static constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE size{};
    ::GetTextExtentPoint32W(hDC, kLetters, 52, &size);
    return (size.cx / 26 + 1) / 2;
}

LOGFONTW FontOf(HWND hWnd)
{
    LOGFONTW lf{};
    const HFONT hFont = reinterpret_cast<HFONT>(::SendMessageW(hWnd, WM_GETFONT, 0, 0));
    ::GetObjectW(hFont, sizeof lf, &lf);
    return lf;
}

CRect NormalRect(HWND hWnd)
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    ::GetWindowPlacement(hWnd, &placement);
    return CRect(placement.rcNormalPosition);
}

struct ColumnSeen
{
    std::wstring text;
    int nWidth;
    bool operator==(const ColumnSeen&) const = default;
};
void PrintTo(const ColumnSeen& c, std::ostream* os)
{
    *os << "{" << testing::PrintToString(c.text) << ", " << c.nWidth << "}";
}

std::vector<ColumnSeen> ColumnsOf(HWND hList)
{
    std::vector<ColumnSeen> columns;
    const HWND hHeader = reinterpret_cast<HWND>(::SendMessageW(hList, LVM_GETHEADER, 0, 0));
    const int nCount = static_cast<int>(::SendMessageW(hHeader, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < nCount; ++i)
    {
        wchar_t text[64] = L"";
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = text;
        column.cchTextMax = 64;
        ::SendMessageW(hList, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
        columns.push_back({text, column.cx});
    }
    return columns;
}

// The template as the dialog manager makes it, without the main window's start.
struct TemplateGeometry
{
    CSize window;
    CRect statusEdit;
    CRect statusFrame;
    CRect callList;
};
TemplateGeometry ReadTemplate()
{
    CDialog plain(IDD_LUMO_DIALOG);
    EXPECT_TRUE(plain.Create(IDD_LUMO_DIALOG, CWnd::FromHandle(::GetDesktopWindow())));
    CRect window;
    plain.GetWindowRect(&window);
    TemplateGeometry geometry{window.Size(), ClientRectOf(plain, IDC_STATUS_EDIT),
                              ClientRectOf(plain, IDC_STATUS_FRAME), ClientRectOf(plain, IDC_CALL_LIST)};
    plain.DestroyWindow();
    return geometry;
}

// One application object (not started) and its settings key per test.
class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CIniFile::Open(m_key.Path().c_str(), TRUE, FALSE);
        m_pApp = std::make_unique<CLumoApp>();
        SetViews(true, true, true, true);
    }
    void TearDown() override
    {
        m_pApp.reset();
        CIniFile::Open(nullptr, FALSE, TRUE);
    }

    void SetViews(bool bStatistics, bool bExtended, bool bCallInfo, bool bMultiCallButtons)
    {
        m_pApp->m_bStatisticsView = bStatistics;
        m_pApp->m_bExtendedView = bExtended;
        m_pApp->m_bCallInfoWindow = bCallInfo;
        // The call buttons' setting is read when the window starts, and only in the extended view.
        m_key.Put(HKEY_CURRENT_USER, L"ExtendedView", RegValue::Dword(bExtended ? 1 : 0));
        m_key.Put(HKEY_CURRENT_USER, L"MultiCallButtons", RegValue::Dword(bMultiCallButtons ? 1 : 0));
    }

    template <class Window = CLumoDlg> std::unique_ptr<Window> MakeWindow()
    {
        auto pDlg = std::make_unique<Window>(*m_pApp);
        pDlg->CreateToolBar();
        EXPECT_TRUE(pDlg->Create());
        return pDlg;
    }

    CSessionCore& Core() { return m_pApp->m_sessionCore; }

    SettingsKey m_key{L"Software\\Quelmoor\\LumoMainWindowTests"};
    CMessageBoxAnswerer m_boxes;
    std::unique_ptr<CLumoApp> m_pApp;
};

struct ViewCase
{
    bool bStatistics;
    bool bExtended;
    bool bCallInfo;
    bool bMultiCallButtons;
    const char* why;
};
const ViewCase kViewCases[] = {
    {true, true, true, true, "the full view"},
    {true, true, false, true, "no call list: 60 pixels less"},
    {true, false, true, true, "compact: narrower twice, laid out for the compact list"},
    {true, false, false, true, "compact without calls"},
    {false, true, true, true, "no statistics, with the call buttons: 30 less, then 33 more"},
    {false, true, true, false, "no statistics, no call buttons: laid out instead"},
    {false, true, false, true, "no statistics and no call list"},
};

// Where the start leaves the status line, its frame and the call list, from the template's places.
struct Layout
{
    CRect statusEdit;
    CRect statusFrame;
    CRect callList;
    bool bStatusEditShown;
};
Layout ExpectedLayout(const ViewCase& c, const TemplateGeometry& t)
{
    Layout layout{t.statusEdit, t.statusFrame, t.callList, true};
    const bool bFull = c.bStatistics && c.bExtended;
    if (!bFull)
    {
        layout.statusFrame.DeflateRect(3, 0);
        layout.statusFrame.OffsetRect(0, -65);
    }
    std::vector<CSize> moves; // LayoutWindow's (dx, dy), in the order the start makes them
    if (!c.bExtended) moves.emplace_back(120, 25);
    if (c.bCallInfo && (!c.bExtended || (!c.bStatistics && !c.bMultiCallButtons))) moves.emplace_back(0, 22);
    for (const CSize& move : moves)
    {
        for (CRect* pRect : {&layout.statusEdit, &layout.statusFrame, &layout.callList})
        {
            pRect->OffsetRect(0, -move.cy);
            pRect->right -= move.cx;
        }
        if (!bFull)
        {
            layout.bStatusEditShown = false;
            layout.callList.OffsetRect(0, layout.statusEdit.top - layout.callList.top);
        }
    }
    return layout;
}

TEST_F(MainWindowTest, ViewsSizeTheWindowAndShowTheirParts)
{
    const TemplateGeometry t = ReadTemplate();
    for (const ViewCase& c : kViewCases)
    {
        SCOPED_TRACE(c.why);
        SetViews(c.bStatistics, c.bExtended, c.bCallInfo, c.bMultiCallButtons);
        const auto pDlg = MakeWindow();
        const HWND hDlg = pDlg->GetSafeHwnd();
        ASSERT_NE(hDlg, nullptr);
        EXPECT_FALSE(pDlg->IsWindowVisible()) << "hidden until the log-on shows it";
        EXPECT_TRUE(pDlg->IsReady());

        const int nHeight = t.window.cy - (c.bCallInfo ? 0 : 60) - (c.bStatistics && c.bExtended ? 0 : 30) - 189 +
                            (c.bCallInfo && c.bExtended && !c.bStatistics && c.bMultiCallButtons ? 33 : 0);
        const int nWidth = t.window.cx - (c.bExtended ? 0 : 240);
        EXPECT_EQ(NormalRect(hDlg).Size(), CSize(nWidth, nHeight));

        const Layout expected = ExpectedLayout(c, t);
        EXPECT_EQ(ClientRectOf(hDlg, IDC_STATUS_FRAME), expected.statusFrame);
        EXPECT_EQ(pDlg->GetStatusArea(), expected.statusFrame) << "the status area follows its frame";
        EXPECT_EQ(ClientRectOf(hDlg, IDC_STATUS_EDIT), expected.statusEdit);
        EXPECT_EQ(HasVisibleStyle(hDlg, IDC_STATUS_EDIT), expected.bStatusEditShown);
        EXPECT_EQ(FontOf(::GetDlgItem(hDlg, IDC_STATUS_EDIT)).lfHeight, -12);
        EXPECT_EQ(std::wstring(FontOf(::GetDlgItem(hDlg, IDC_STATUS_EDIT)).lfFaceName), L"Courier");

        const HWND hList = ::GetDlgItem(hDlg, IDC_CALL_LIST);
        EXPECT_EQ(HasVisibleStyle(hDlg, IDC_CALL_LIST), c.bCallInfo);
        for (int nId : {IDC_BUTTON_END_CALL, IDC_BUTTON_END_TASK, IDC_BUTTON_ON_HOLD, IDC_BUTTON_RECORD,
                        IDC_BUTTON_ANONYMIZE, IDC_BUTTON_TAKE_BACK, IDC_BUTTON_TAKE_CALL, IDC_BUTTON_TRANSFER,
                        IDC_BUTTON_TRANSFER_TO, IDC_BUTTON_CONFERENCE})
            EXPECT_EQ(HasVisibleStyle(hDlg, nId), c.bCallInfo) << "call button " << nId;
        if (c.bCallInfo)
        {
            EXPECT_EQ(ClientRectOf(hDlg, IDC_CALL_LIST), expected.callList);
            const auto columns = ColumnsOf(hList);
            ASSERT_EQ(columns.size(), 8u);
            CRect listClient;
            ::GetClientRect(hList, &listClient);
            if (c.bExtended)
            {
                const std::vector<ColumnSeen> first7 = {{L"Call", 60},       {L"Group", 120}, {L"Total time", 60},
                                                        {L"Queue time", 60}, {L"Sender", 60}, {L"Destination", 65},
                                                        {L"Type", 50}};
                EXPECT_EQ(std::vector<ColumnSeen>(columns.begin(), columns.begin() + 7), first7);
                EXPECT_EQ(columns[7].text, L"Status");
                EXPECT_EQ(columns[7].nWidth, listClient.Width() - 475) << "the last column fills up to its header";
            }
            else
            {
                const std::vector<ColumnSeen> all = {{L"Call", 0},        {L"Group", 80},  {L"Total time", 60},
                                                     {L"Queue time", 75}, {L"Sender", 55}, {L"Destination", 55},
                                                     {L"Type", 50},       {L"Status", 88}};
                EXPECT_EQ(columns, all) << "the call id first, out of sight";
            }
            // The extended list double-buffers only with visual styles (Wine's comctl32 reports 5.81).
            const LRESULT nStyles = AreVisualStylesAvailable() ? 0x14030 : 0x4030;
            EXPECT_EQ(::SendMessageW(hList, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & 0x14030, nStyles);
        }
        else
        {
            EXPECT_TRUE(ColumnsOf(hList).empty());
        }

        const bool bStatistics = c.bStatistics && c.bExtended;
        for (int nId : {IDC_GROUP_LABEL, IDC_GROUP_NAME, IDC_QUEUE_LABEL, IDC_QUEUE_VALUE, IDC_TIME_LABEL,
                        IDC_TIME_VALUE, IDC_AGENTS_VALUE, IDC_AGENTS_LABEL})
            EXPECT_EQ(HasVisibleStyle(hDlg, nId), bStatistics) << "static " << nId;
        if (bStatistics)
        {
            for (int nId : {IDC_AGENTS_VALUE, IDC_GROUP_NAME, IDC_QUEUE_VALUE, IDC_TIME_VALUE})
                EXPECT_EQ(FontOf(::GetDlgItem(hDlg, nId)).lfWeight, FW_BOLD) << "static " << nId;
            EXPECT_NE(FontOf(::GetDlgItem(hDlg, IDC_GROUP_LABEL)).lfWeight, FW_BOLD);
        }
        CString label;
        pDlg->GetDlgItemText(IDC_GROUP_LABEL, label);
        EXPECT_EQ(Str(label), L"Inbound group:     ");
    }
}

// The handlers of the window's own message map, in its order.
constexpr const char* kMapHandlers[] = {
    "OnNcHitTest",
    "OnSysCommand",
    "OnPaint",
    "OnQueryDragIcon",
    "OnMouseMove",
    "OnLButtonDown",
    "OnLButtonUp",
    "OnJexConnectionClosed",
    "OnJexReply",
    "OnLogonResult",
    "OnCloseLumo",
    "OnSystemTimeChanged",
    "OnTimer",
    "OnNcRButtonDown",
    "OnUpdateStatusEdit",
    "OnRClickCallList",
    "OnMenuOnHold",
    "OnMenuRecord",
    "OnMenuTakeBack",
    "OnMenuTransfer",
    "OnMenuTransferTo",
    "OnMenuEndTask",
    "OnMenuEndCall",
    "OnMenuTakeCall",
    "OnClickCallList",
    "OnButtonEndCall",
    "OnButtonEndTask",
    "OnButtonOnHold",
    "OnButtonRecord",
    "OnButtonAnonymize",
    "OnButtonTakeBack",
    "OnButtonTakeCall",
    "OnButtonTransfer",
    "OnButtonTransferTo",
    "OnButtonConference",
    "OnNcLButtonDblClk",
    "OnSoftPhoneEvent",
    "OnNextCall",
    "OnAudioEndpointChanged",
    "OnDeviceChange",
    "OnCallAckRequest",
    "OnCallAckRemove",
    "OnSoftPhoneError",
    "OnUserNoop",
    "OnSoftPhoneAlarm",
    "OnButtonMuteMaster",
    "OnButtonMuteMicrophone",
    "OnMasterVolumeKnob",
    "OnMicrophoneVolumeKnob",
};
constexpr size_t kMapEntries = std::size(kMapHandlers);

// The main window with its own message map traced from outside: each entry of the window's map is
// run through a thunk that notes the entry's handler, then calls the entry as the window has it.
// The base classes' maps stay as they are, so what the window leaves to them still goes there.
class CTracedLumoDlg : public CLumoDlg
{
public:
    using CLumoDlg::CLumoDlg;
    std::function<void(const char*)> m_trace;
    // The number of entries in the window's own map.
    static size_t CountOwnEntries()
    {
        size_t nEntries = 0;
        for (const AFX_MSGMAP_ENTRY* pEntry = CLumoDlg::GetThisMessageMap()->lpEntries; pEntry->pfn; ++pEntry)
            ++nEntries;
        return nEntries;
    }

protected:
    const AFX_MSGMAP* GetMessageMap() const override { return TracedMap(); }

private:
    template <size_t N> static BOOL Thunk(CCmdTarget* pTarget, AFX_MSGCALL& call)
    {
        if (auto* pDlg = dynamic_cast<CTracedLumoDlg*>(pTarget); pDlg && pDlg->m_trace) pDlg->m_trace(kMapHandlers[N]);
        return CLumoDlg::GetThisMessageMap()->lpEntries[N].pfn(pTarget, call);
    }
    template <size_t... N> static const AFX_MSGMAP* MakeMap(std::index_sequence<N...>)
    {
        static AFX_MSGMAP_ENTRY entries[kMapEntries + 1] = {};
        const AFX_MSGMAP* pOwn = CLumoDlg::GetThisMessageMap();
        ((entries[N] = pOwn->lpEntries[N], entries[N].pfn = &Thunk<N>), ...);
        static const AFX_MSGMAP map = {pOwn->pfnGetBaseMap, entries};
        return &map;
    }
    static const AFX_MSGMAP* TracedMap()
    {
        static const AFX_MSGMAP* pMap = MakeMap(std::make_index_sequence<kMapEntries>());
        return pMap;
    }
};

// A window laid out as the log-on leaves it: full height, visible, without its timers, so that
// every handler that runs is one the test caused.
class ShownMainWindowTest : public MainWindowTest
{
public:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ASSERT_EQ(CTracedLumoDlg::CountOwnEntries(), kMapEntries) << "every entry of the map is traced";
        m_pDlg = MakeWindow<CTracedLumoDlg>();
        m_pDlg->KillTimer(102);
        m_pDlg->KillTimer(103);
        m_pDlg->ExtendHeight(189, FALSE);
        m_pDlg->ShowWindow(SW_SHOW);
        m_pDlg->m_trace = [this](const char* pszName) { m_trace.emplace_back(pszName); };
        PumpUntilIdle();
        m_trace.clear();
    }
    void TearDown() override
    {
        m_pDlg.reset();
        MainWindowTest::TearDown();
    }
    int Count(const std::string& name) const
    {
        return static_cast<int>(std::count(m_trace.begin(), m_trace.end(), name));
    }
    CWnd& Item(int nId) { return *m_pDlg->GetDlgItem(nId); }
    CPoint ScreenCenter()
    {
        CRect rect;
        m_pDlg->GetClientRect(&rect);
        CPoint point = rect.CenterPoint();
        m_pDlg->ClientToScreen(&point);
        return point;
    }
    void SendNotify(int nId, UINT nCode)
    {
        NMHDR header{Item(nId).m_hWnd, static_cast<UINT_PTR>(nId), nCode};
        m_pDlg->SendMessage(WM_NOTIFY, nId, reinterpret_cast<LPARAM>(&header));
    }

    std::unique_ptr<CTracedLumoDlg> m_pDlg;
    std::vector<std::string> m_trace;
};

// Reaches the private map of the window, to count its own entries.
struct CLumoDlgMap : CLumoDlg
{
    static const AFX_MSGMAP* Map() { return GetThisMessageMap(); }
};

struct MapCase
{
    int nEntry;
    const char* handler;
    std::function<void(ShownMainWindowTest&)> cause;
};

TEST_F(ShownMainWindowTest, EveryMessageMapEntryReachesItsHandlerOnce)
{
    int nEntries = 0;
    for (const AFX_MSGMAP_ENTRY* pEntry = CLumoDlgMap::Map()->lpEntries; pEntry->pfn; ++pEntry)
        ++nEntries;
    EXPECT_EQ(nEntries, 49);

    const HWND h = m_pDlg->GetSafeHwnd();
    const auto post = [h](UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        ::PostMessageW(h, message, wParam, lParam);
    };
    const auto command = [post](int nId) { post(WM_COMMAND, MAKEWPARAM(nId, 0), 0); };
    const auto click = [](ShownMainWindowTest& t, int nId) { ClickCenter(t.Item(nId)); };
    const MapCase cases[] = {
        {1, "OnNcHitTest",
         [](auto& t) {
             const CPoint p = t.ScreenCenter();
             t.m_pDlg->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
         }},
        {2, "OnSysCommand", [](auto& t) { t.m_pDlg->SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX, 0); }},
        {3, "OnPaint",
         [](auto& t) {
             t.m_pDlg->Invalidate();
             t.m_pDlg->UpdateWindow();
         }},
        {4, "OnQueryDragIcon", [](auto& t) { t.m_pDlg->SendMessage(WM_QUERYDRAGICON); }},
        {5, "OnMouseMove", [&](auto&) { post(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5)); }},
        {6, "OnLButtonDown", [&](auto&) { post(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5)); }},
        {7, "OnLButtonUp", [&](auto&) { post(WM_LBUTTONUP, 0, MAKELPARAM(5, 5)); }},
        {8, "OnJexConnectionClosed", [&](auto&) { post(WM_JEXCLOSED); }},
        {9, "OnJexReply", [&](auto&) { post(WM_JEXREPLY, CJexSocket::replyNoRight, 0); }},
        {10, "OnLogonResult", [&](auto&) { post(WM_LOGONRESULT, 1); }},
        {11, "OnCloseLumo", [&](auto&) { post(WM_CLOSELUMO); }},
        {12, "OnSystemTimeChanged", [&](auto&) { post(WM_SYSTEMTIMECHANGED); }},
        {13, "OnTimer", [&](auto&) { post(WM_TIMER, 77); }},
        {14, "OnNcRButtonDown",
         [&](auto& t) {
             const CPoint p = t.ScreenCenter();
             post(WM_NCRBUTTONDOWN, HTCAPTION, MAKELPARAM(p.x, p.y));
         }},
        {15, "OnUpdateStatusEdit", [](auto& t) { t.Item(IDC_STATUS_EDIT).SetWindowText(L"Ready"); }},
        {16, "OnRClickCallList", [](auto& t) { t.SendNotify(IDC_CALL_LIST, NM_RCLICK); }},
        {17, "OnMenuOnHold", [&](auto&) { command(ID_MENU_ON_HOLD); }},
        {18, "OnMenuRecord", [&](auto&) { command(ID_MENU_RECORD); }},
        {19, "OnMenuTakeBack", [&](auto&) { command(ID_MENU_TAKE_BACK); }},
        {20, "OnMenuTransfer", [&](auto&) { command(ID_MENU_TRANSFER); }},
        {21, "OnMenuTransferTo", [&](auto&) { command(ID_MENU_TRANSFER_TO); }},
        {22, "OnMenuEndTask", [&](auto&) { command(ID_MENU_END_TASK); }},
        {23, "OnMenuEndCall", [&](auto&) { command(ID_MENU_END_CALL); }},
        {24, "OnMenuTakeCall", [&](auto&) { command(ID_MENU_TAKE_CALL); }},
        {25, "OnClickCallList", [](auto& t) { t.SendNotify(IDC_CALL_LIST, NM_CLICK); }},
        {26, "OnButtonEndCall", [&](auto& t) { click(t, IDC_BUTTON_END_CALL); }},
        {27, "OnButtonEndTask", [&](auto& t) { click(t, IDC_BUTTON_END_TASK); }},
        {28, "OnButtonOnHold", [&](auto& t) { click(t, IDC_BUTTON_ON_HOLD); }},
        {29, "OnButtonRecord", [&](auto& t) { click(t, IDC_BUTTON_RECORD); }},
        {30, "OnButtonAnonymize",
         [&](auto& t) {
             t.Item(IDC_BUTTON_ANONYMIZE).EnableWindow(TRUE); // disabled until the agent may anonymise
             click(t, IDC_BUTTON_ANONYMIZE);
         }},
        {31, "OnButtonTakeBack", [&](auto& t) { click(t, IDC_BUTTON_TAKE_BACK); }},
        {32, "OnButtonTakeCall", [&](auto& t) { click(t, IDC_BUTTON_TAKE_CALL); }},
        {33, "OnButtonTransfer", [&](auto& t) { click(t, IDC_BUTTON_TRANSFER); }},
        {34, "OnButtonTransferTo", [&](auto& t) { click(t, IDC_BUTTON_TRANSFER_TO); }},
        {35, "OnButtonConference", [&](auto& t) { click(t, IDC_BUTTON_CONFERENCE); }},
        {36, "OnNcLButtonDblClk",
         [&](auto& t) {
             const CPoint p = t.ScreenCenter();
             post(WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(p.x, p.y));
         }},
        {37, "OnSoftPhoneEvent",
         [&](auto&) { post(WM_SOFTPHONEEVENT, 1, reinterpret_cast<LPARAM>(new CString(L"a"))); }},
        {38, "OnNextCall", [&](auto&) { command(ID_NEXT_CALL); }},
        {39, "OnAudioEndpointChanged", [&](auto&) { post(MM_MIXM_CONTROL_CHANGE); }},
        {40, "OnDeviceChange", [](auto& t) { t.m_pDlg->SendMessage(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0); }},
        {41, "OnCallAckRequest",
         [&](auto&) { post(WM_CALLACKREQUEST, 5, reinterpret_cast<LPARAM>(new CString(L"b"))); }},
        {42, "OnCallAckRemove", [&](auto&) { post(WM_CALLACKREMOVE, 5, 1); }},
        {43, "OnSoftPhoneError",
         [&](auto&) { post(WM_SOFTPHONEERROR, 3, reinterpret_cast<LPARAM>(new CString(L"c"))); }},
        {44, "OnUserNoop", [](auto& t) { t.m_pDlg->SendMessage(WM_HEADSETSTUCK); }},
        {45, "OnSoftPhoneAlarm", [&](auto&) { post(WM_SOFTPHONEALARM, 1); }},
        {46, "OnButtonMuteMaster", [&](auto& t) { click(t, IDC_BUTTON_MUTE_MASTER); }},
        {47, "OnButtonMuteMicrophone", [&](auto& t) { click(t, IDC_BUTTON_MUTE_MICROPHONE); }},
        {48, "OnMasterVolumeKnob", [](auto& t) { t.SendNotify(IDC_MASTER_VOLUME, RCN_CHANGED); }},
        {49, "OnMicrophoneVolumeKnob", [](auto& t) { t.SendNotify(IDC_MICROPHONE_VOLUME, RCN_CHANGED); }},
    };
    std::set<std::string> names;
    for (const MapCase& c : cases)
    {
        names.insert(c.handler);
        EXPECT_STREQ(kMapHandlers[c.nEntry - 1], c.handler) << "entry " << c.nEntry;
    }
    ASSERT_EQ(names.size(), 49u);
    for (const MapCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "entry " << c.nEntry << " " << c.handler);
        m_trace.clear();
        c.cause(*this);
        PumpUntil([&] { return Count(c.handler) > 0; }, 3000);
        PumpUntilIdle();
        EXPECT_EQ(Count(c.handler), 1) << testing::PrintToString(m_trace);
        for (const std::string& name : m_trace)
            EXPECT_TRUE(names.count(name)) << name << " is no handler of the map";
        // Only painting and the system's hit tests (a button under the pointer asks for them) may
        // follow what the case caused.
        for (const std::string& name : m_trace)
        {
            if (name != c.handler)
            {
                EXPECT_TRUE(name == "OnPaint" || name == "OnNcHitTest") << name;
            }
        }
    }
    EXPECT_TRUE(m_boxes.Boxes().empty()) << "the headset's message to the window shows nothing";
    EXPECT_TRUE(m_pDlg->IsWindowVisible());
}

TEST_F(ShownMainWindowTest, HeapTextsAreFreedOnceAndNullTextsDoNoHarm)
{
    const std::pair<UINT, std::string> messages[] = {
        {WM_SOFTPHONEEVENT, "OnSoftPhoneEvent"},
        {WM_SOFTPHONEERROR, "OnSoftPhoneError"},
        {WM_CALLACKREQUEST, "OnCallAckRequest"},
    };
    for (const auto& [message, handler] : messages)
    {
        SCOPED_TRACE(handler);
        CString* pText = new CString(L"text of the message");
        CFreeWatch::Watch(pText);
        m_pDlg->PostMessage(message, 1, reinterpret_cast<LPARAM>(pText));
        m_pDlg->PostMessage(message, 1, 0);
        EXPECT_TRUE(PumpUntil([&] { return Count(handler) == 2; }));
        PumpUntilIdle();
        EXPECT_EQ(CFreeWatch::CountFrees(pText), 1);
        CFreeWatch::Forget(pText);
    }
    // The Jex replies that carry a heap object, to the window's own requests.
    auto* pFields = new CStringArray;
    auto* pResult = new CJexSocket::PasswordResult{7, 0};
    CFreeWatch::Watch(pFields);
    CFreeWatch::Watch(pResult);
    m_pDlg->PostMessage(WM_JEXREPLY, CJexSocket::replyLogon, reinterpret_cast<LPARAM>(pFields));
    m_pDlg->PostMessage(WM_JEXREPLY, CJexSocket::replyCheckPassword, reinterpret_cast<LPARAM>(pResult));
    m_trace.clear();
    EXPECT_TRUE(PumpUntil([&] { return Count("OnJexReply") == 2; }));
    EXPECT_EQ(CFreeWatch::CountFrees(pFields), 1);
    EXPECT_EQ(CFreeWatch::CountFrees(pResult), 1);
    CFreeWatch::Forget(pFields);
    CFreeWatch::Forget(pResult);
}

// Each panel button's caption, drawn with the font the button was given, stays inside the button:
// it fits, or a word ends in an ellipsis; a caption cut at an edge reads as another word.
TEST_F(ShownMainWindowTest, PanelButtonCaptionsStayInsideTheirButtons)
{
    constexpr COLORREF kFace = RGB(255, 255, 255), kText = RGB(1, 2, 3);
    const int callButtons[] = {IDC_BUTTON_ON_HOLD,  IDC_BUTTON_TAKE_BACK, IDC_BUTTON_TAKE_CALL, IDC_BUTTON_TRANSFER_TO,
                               IDC_BUTTON_RECORD,   IDC_BUTTON_END_TASK,  IDC_BUTTON_END_CALL,  IDC_BUTTON_ANONYMIZE,
                               IDC_BUTTON_TRANSFER, IDC_BUTTON_CONFERENCE};
    int nDrawn = 0;
    for (const int nId : callButtons)
    {
        auto* pButton = dynamic_cast<CFlatButton*>(&Item(nId));
        ASSERT_NE(pButton, nullptr) << nId;
        CString caption;
        pButton->GetWindowText(caption);
        SCOPED_TRACE(caption.Str());
        const auto hFont = reinterpret_cast<HFONT>(pButton->SendMessage(WM_GETFONT));
        ASSERT_NE(hFont, nullptr) << "the button has the window's font";
        pButton->SetColor(CFlatButton::FB_COLOR_FACE, kFace, FALSE);
        pButton->SetColor(CFlatButton::FB_COLOR_TEXT, kText, FALSE);
        CRect rc;
        pButton->GetClientRect(&rc);
        CPixelCanvas canvas(rc.Width(), rc.Height(), kFace);
        // As the system's WM_DRAWITEM hands it over: the button's own font selected.
        const HGDIOBJ old = ::SelectObject(canvas.GetDC(), hFont);
        const CString strFace = SelectedFace(canvas.GetDC());
        EXPECT_TRUE(CDialogTemplateFont::IsFaceInstalled(strFace, 8)) << "selected " << strFace.Str();
        // Measured with that font, text has the widths the button's rectangle was laid out for.
        EXPECT_EQ(MeasureBaseWidth(canvas.GetDC()), DialogFontBaseWidth()) << "selected " << strFace.Str();
        DRAWITEMSTRUCT dis = DrawItemRequest(pButton->m_hWnd, canvas.GetDC(), rc, ODT_BUTTON, 0, nId);
        pButton->DrawItem(&dis);
        ::SelectObject(canvas.GetDC(), old);
        if (canvas.CountPixels(kText, rc) > 0) ++nDrawn;
        EXPECT_FALSE(canvas.AnyPixelOf(kText, {0, 0, 1, rc.bottom})) << "cut at the left edge";
        EXPECT_FALSE(canvas.AnyPixelOf(kText, {rc.right - 1, 0, rc.right, rc.bottom})) << "cut at the right edge";
        EXPECT_FALSE(canvas.AnyPixelOf(kText, {0, rc.bottom - 1, rc.right, rc.bottom})) << "cut at the bottom";
    }
    EXPECT_GT(nDrawn, 0) << "the captions are drawn at all";
}

// The main window names "MS Shell Dlg" and the tool bar "MS Sans Serif". Where the system lacks the
// face (Wine without its own fonts has neither), each is shown in an installed face whose dialog
// units are the platform dialog font's, so that their controls hold the texts they were laid out for.
TEST_F(MainWindowTest, TemplatesAreShownInTheirFaceOrOneOfTheDialogFontsMetrics)
{
    auto pDlg = MakeWindow();
    struct Shown
    {
        const char* what;
        CDialog* pDlg;
        LPCWSTR named;
    };
    const Shown shown[] = {{"main window", pDlg.get(), L"MS Shell Dlg"},
                           {"tool bar", pDlg->GetToolBar(), L"MS Sans Serif"}};
    for (const Shown& s : shown)
    {
        SCOPED_TRACE(s.what);
        ASSERT_NE(s.pDlg->GetSafeHwnd(), nullptr);
        const auto hFont = reinterpret_cast<HFONT>(s.pDlg->SendMessage(WM_GETFONT));
        ASSERT_NE(hFont, nullptr);
        CReleasedDCHandle dc(CReleasedDC{nullptr, ::GetDC(nullptr)});
        CGdiSelectionHandle keep(CGdiSelection{dc.Get().hDC, ::SelectObject(dc.Get().hDC, hFont)});
        const CString strFace = SelectedFace(dc.Get().hDC);
        SCOPED_TRACE(strFace.Str());
        if (CDialogTemplateFont::IsFaceInstalled(s.named, 8))
        {
            EXPECT_EQ(std::wstring(FontOf(s.pDlg->GetSafeHwnd()).lfFaceName), s.named) << "the face it names";
            continue;
        }
        EXPECT_TRUE(CDialogTemplateFont::IsFaceInstalled(strFace, 8)) << "an installed face, not the system's guess";
        EXPECT_EQ(MeasureBaseWidth(dc.Get().hDC), DialogFontBaseWidth()) << "the dialog font's horizontal unit";
        CRect rc(0, 0, 400, 8);
        s.pDlg->MapDialogRect(&rc);
        EXPECT_EQ((rc.Width() + 50) / 100, DialogFontBaseWidth()) << "and the window's dialog units are its";
    }
}

// The old port posts a box per unknown word; a program may send thousands in one write.
TEST_F(ShownMainWindowTest, PostedBoxesComeOneAfterTheOtherAndAFloodShowsAFew)
{
    m_boxes.PumpWhileShown(true); // as a shown box does: the next posted box arrives inside it
    m_pDlg->PostMessageBox(L"first");
    m_pDlg->PostMessageBox(L"second");
    m_pDlg->PostMessageBox(L"second");
    for (int i = 0; i < 5000; ++i)
        m_pDlg->PostMessageBox(L"Command X" + CString(std::to_wstring(i).c_str()) +
                               L" from Application not supported !");
    EXPECT_TRUE(PumpUntil([&] { return m_boxes.Boxes().size() >= 3; }));
    PumpUntilIdle();
    EXPECT_EQ(m_boxes.MaxDepth(), 1) << "no box opens inside another";
    ASSERT_GE(m_boxes.Boxes().size(), 3u);
    EXPECT_EQ(m_boxes.Boxes()[0].text.Str(), L"first");
    EXPECT_EQ(m_boxes.Boxes()[1].text.Str(), L"second") << "in the order posted, a waiting text once";
    EXPECT_EQ(m_boxes.Boxes()[2].text.Str(), L"Command X0 from Application not supported !");
    EXPECT_LE(m_boxes.Boxes().size(), 20u) << "a flood shows a few boxes, not thousands";
    EXPECT_TRUE(m_pDlg->IsWindowVisible());
}

TEST_F(ShownMainWindowTest, EnterDoesNotCloseTheWindowAndTheSystemMenuOffersAbout)
{
    m_pDlg->SetForegroundWindow();
    Item(IDC_CALL_LIST).SetFocus();
    PressKey(Item(IDC_CALL_LIST), VK_RETURN);
    PumpUntilIdle();
    m_pDlg->SendMessage(WM_COMMAND, IDOK, 0);
    PumpUntilIdle();
    EXPECT_TRUE(m_pDlg->IsWindowVisible());
    ASSERT_NE(m_pDlg->GetSafeHwnd(), nullptr);

    const HMENU hMenu = ::GetSystemMenu(m_pDlg->GetSafeHwnd(), FALSE);
    const int nItems = ::GetMenuItemCount(hMenu);
    ASSERT_GE(nItems, 2);
    EXPECT_EQ(::GetMenuItemID(hMenu, nItems - 1), 16u);
    wchar_t text[64] = L"";
    ::GetMenuStringW(hMenu, nItems - 1, text, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(text), L"&About Lumo...");
    MENUITEMINFOW info{sizeof info, MIIM_FTYPE};
    ::GetMenuItemInfoW(hMenu, nItems - 2, TRUE, &info);
    EXPECT_TRUE(info.fType & MFT_SEPARATOR);
}

TEST_F(MainWindowTest, AHeaderClickOnTheCallListShowsNoSortMark)
{
    // Sort marks exist with visual styles only, which Wine's comctl32 does not report.
    struct CStylesScope
    {
        CStylesScope() { OverrideCommonControlsVersion(6); }
        ~CStylesScope() { ResetCommonControlsProbe(); }
    } styles;
    const auto pDlg = MakeWindow();
    pDlg->ExtendHeight(189, FALSE);
    pDlg->ShowWindow(SW_SHOW);
    PumpUntilIdle();
    const HWND hHeader = reinterpret_cast<HWND>(pDlg->GetDlgItem(IDC_CALL_LIST)->SendMessage(LVM_GETHEADER));
    ASSERT_NE(hHeader, nullptr);
    const auto marked = [hHeader] {
        int nMarked = 0;
        const int nCount = static_cast<int>(::SendMessageW(hHeader, HDM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < nCount; ++i)
        {
            HDITEMW item{};
            item.mask = HDI_FORMAT;
            ::SendMessageW(hHeader, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
            if (item.fmt & (HDF_SORTUP | HDF_SORTDOWN)) ++nMarked;
        }
        return nMarked;
    };
    for (int nClick = 0; nClick < 2; ++nClick) // the second click would turn an arrow round
    {
        RECT rcItem{};
        ASSERT_TRUE(::SendMessageW(hHeader, HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&rcItem)));
        ClickAt(*CWnd::FromHandle(hHeader), CRect(rcItem).CenterPoint());
        PumpUntilIdle();
        EXPECT_EQ(marked(), 0) << "click " << nClick;
    }
}

// Records the order in which windows are destroyed and what the core holds at that moment.
struct DestroyRecord
{
    HWND hWnd;
    size_t nCalls;
};
std::vector<DestroyRecord> g_destroyed;
CSessionCore* g_pWatchedCore = nullptr;
LRESULT CALLBACK RecordDestroy(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_DESTROYWND)
        g_destroyed.push_back({reinterpret_cast<HWND>(wParam), g_pWatchedCore->GetCalls().size()});
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

TEST_F(MainWindowTest, DestructionEndsTheToolBarFirstThenReleasesEveryCall)
{
    auto pDlg = MakeWindow();
    const HWND hToolBar = pDlg->GetToolBar()->GetSafeHwnd();
    const HWND hMain = pDlg->GetSafeHwnd();
    ASSERT_NE(hToolBar, nullptr);
    EXPECT_FALSE(::IsWindowVisible(hToolBar)) << "the tool bar waits for the agent's permission";
    EXPECT_EQ(::GetParent(hToolBar), nullptr) << "a window of its own, docked on the screen";

    std::vector<CSmartObjectPtr<CCallInfo>> calls;
    for (long nId : {11, 12, 13})
    {
        calls.emplace_back(new CCallInfo(FALSE));
        calls.back()->m_nCallId = nId;
        Core().AddCall(calls.back());
    }
    g_destroyed.clear();
    g_pWatchedCore = &Core();
    const HHOOK hHook = ::SetWindowsHookExW(WH_CBT, &RecordDestroy, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hHook, nullptr);
    pDlg.reset();
    ::UnhookWindowsHookEx(hHook);

    const auto find = [](HWND h) {
        return std::find_if(g_destroyed.begin(), g_destroyed.end(),
                            [h](const DestroyRecord& r) { return r.hWnd == h; });
    };
    ASSERT_NE(find(hToolBar), g_destroyed.end());
    ASSERT_NE(find(hMain), g_destroyed.end());
    EXPECT_LT(find(hToolBar), find(hMain));
    EXPECT_EQ(find(hToolBar)->nCalls, 3u) << "the tool bar went before the calls";
    EXPECT_EQ(find(hMain)->nCalls, 0u);
    EXPECT_TRUE(Core().GetCalls().empty());
    for (const auto& pCall : calls)
        EXPECT_EQ(pCall->GetRefCount(), 1) << "only the test's own reference is left";
}

int CountThreadWindows()
{
    int nCount = 0;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            auto& n = *reinterpret_cast<int*>(lParam);
            ++n;
            ::EnumChildWindows(
                hWnd, [](HWND, LPARAM l) -> BOOL { return ++*reinterpret_cast<int*>(l), TRUE; }, lParam);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&nCount));
    return nCount;
}

SIZE_T PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters);
    return counters.PrivateUsage;
}

TEST_F(MainWindowTest, HundredWindowsComeAndGoWithoutLeaving)
{
    const auto cycle = [&](std::vector<HGDIOBJ>* pFonts) {
        auto pDlg = MakeWindow();
        CSmartObjectPtr<CCallInfo> pCall(new CCallInfo(FALSE));
        pCall->m_nCallId = 5;
        Core().AddCall(pCall);
        if (pFonts)
        {
            pFonts->push_back(reinterpret_cast<HGDIOBJ>(pDlg->GetDlgItem(IDC_STATUS_EDIT)->SendMessage(WM_GETFONT)));
            pFonts->push_back(reinterpret_cast<HGDIOBJ>(pDlg->GetDlgItem(IDC_GROUP_NAME)->SendMessage(WM_GETFONT)));
        }
        PumpUntilIdle(20);
        pDlg.reset();
        EXPECT_EQ(pCall->GetRefCount(), 1);
    };
    for (int i = 0; i < 5; ++i) // caches of the system and the framework fill here
        cycle(nullptr);
    const int nWindows = CountThreadWindows();
    const SIZE_T nPrivate = PrivateBytes();
    std::vector<HGDIOBJ> fonts;
    for (int i = 0; i < 100; ++i)
        cycle(&fonts);
    EXPECT_EQ(CountThreadWindows(), nWindows);
    EXPECT_TRUE(Core().GetCalls().empty());
    int nLiveFonts = 0;
    for (HGDIOBJ hFont : fonts)
        if (::GetObjectType(hFont) != 0) ++nLiveFonts;
    EXPECT_EQ(nLiveFonts, 0) << "the status and bold fonts of every window were deleted";
    const long long nGrowth = static_cast<long long>(PrivateBytes()) - static_cast<long long>(nPrivate);
    EXPECT_LT(nGrowth, 4LL << 20) << "private bytes grew by " << nGrowth;
}

} // namespace
