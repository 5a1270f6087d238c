// The test server's control hosted by the framework's container on a real window: in place, drawn
// with OnDraw, called by DISPID, and heard through an event-sink map with every argument kind.
#include "framework/AfxEnableControlContainer.h"
#include "framework/AfxEventSinkMap.h"
#include "framework/CComBSTR.h"
#include "framework/CComPtr.h"
#include "framework/CComQIPtr.h"
#include "framework/COleDispatchException.h"
#include "framework/CWnd.h"
#include "framework/testing/CActivationContextScope.h"
#include "framework/testing/CComApartment.h"
#include "framework/testing/CPixelCanvas.h"
#include "framework/testing/MessagePump.h"
#include "ComTestServer.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
constexpr COLORREF kControlFill = RGB(0, 128, 255); // what the test control's OnDraw fills its bounds with
constexpr COLORREF kPaper = RGB(255, 255, 255);
constexpr UINT kControlId = 77;
constexpr RECT kControlRect{10, 10, 110, 60};
constexpr int kControlArea = 100 * 50;

// The host: Everything with every argument kind, Ping received as a text (coerced from LONG).
class CControlHost : public CWnd
{
public:
    BOOL Create()
    {
        return CreateEx(0, nullptr, L"control host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 20, 20, 320,
                        200, nullptr, nullptr);
    }
    struct Everything
    {
        short i2;
        long i4;
        ULONG ui4;
        BOOL flag;
        std::wstring text;
        long collectionCount;
        std::vector<BYTE> bytes;
    };
    std::vector<Everything> m_everything;
    std::vector<std::wstring> m_pings;

protected:
    void OnEverything(short i2, long i4, ULONG ui4, BOOL flag, LPCWSTR text, IDispatch* object, VARIANT* bytes)
    {
        Everything heard{i2, i4, ui4, flag, text, -1, {}};
        CComQIPtr<ITestCollection> collection(object);
        if (collection) collection->get_Count(&heard.collectionCount);
        // The bytes live only during the event: copied now
        if (bytes && bytes->vt == (VT_ARRAY | VT_UI1) && bytes->parray)
        {
            const auto* data = static_cast<const BYTE*>(bytes->parray->pvData);
            heard.bytes.assign(data, data + bytes->parray->rgsabound[0].cElements);
        }
        m_everything.push_back(heard);
    }
    void OnPing(LPCWSTR n) { m_pings.emplace_back(n); }
    DECLARE_EVENTSINK_MAP()
};

BEGIN_EVENTSINK_MAP(CControlHost, CWnd)
ON_EVENT(CControlHost, kControlId, 1, &CControlHost::OnEverything,
         VTS_I2 VTS_I4 VTS_UI4 VTS_BOOL VTS_BSTR VTS_DISPATCH VTS_PVARIANT)
ON_EVENT(CControlHost, kControlId, 2, &CControlHost::OnPing, VTS_BSTR)
END_EVENTSINK_MAP()
} // namespace

class ComControlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(m_apartment.Result()));
        ASSERT_TRUE(m_context.IsActive()) << m_context.Error();
        ASSERT_TRUE(m_host.Create());
        AfxEnableControlContainer();
        ASSERT_TRUE(m_control.CreateControl(CLSID_TestControl, L"TestControl", WS_CHILD | WS_VISIBLE, kControlRect,
                                            &m_host, kControlId))
            << std::hex << ::GetLastError();
    }
    void TearDown() override
    {
        m_control.DestroyWindow();
        m_host.DestroyWindow();
    }

    CComApartment m_apartment;
    CActivationContextScope m_context{PathBesideProgram(L"ComTestServer.manifest")};
    CControlHost m_host;
    CWnd m_control;
};

// Hosting is the program's choice at start-up: until it is turned on, no control is made and the
// host window is left without a container.
TEST_F(ComControlTest, NoControlIsHostedUntilTheProgramEnablesTheContainer)
{
    AfxEnableControlContainer(FALSE);
    CWnd refused;
    EXPECT_FALSE(
        refused.CreateControl(CLSID_TestControl, L"TestControl", WS_CHILD, kControlRect, &m_host, kControlId + 1));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED)));
    EXPECT_EQ(refused.m_hWnd, nullptr);
    EXPECT_EQ(::GetDlgItem(m_host.m_hWnd, kControlId + 1), nullptr);
    AfxEnableControlContainer();
    CWnd hosted;
    EXPECT_TRUE(
        hosted.CreateControl(CLSID_TestControl, L"TestControl", WS_CHILD, kControlRect, &m_host, kControlId + 1))
        << std::hex << ::GetLastError();
    EXPECT_NE(hosted.GetControlUnknown(), nullptr);
    hosted.DestroyWindow();
}

TEST_F(ComControlTest, HostedInPlaceAsAChildThatPaintsWithOnDraw)
{
    ASSERT_NE(m_control.GetSafeHwnd(), nullptr);
    EXPECT_TRUE(::IsChild(m_host, m_control));
    EXPECT_EQ(m_control.GetDlgCtrlID(), static_cast<int>(kControlId));
    EXPECT_TRUE(m_control.IsWindowVisible());
    RECT rc{};
    m_control.GetWindowRect(&rc);
    m_host.ScreenToClient(&rc);
    EXPECT_EQ(rc.left, kControlRect.left);
    EXPECT_EQ(rc.top, kControlRect.top);
    EXPECT_EQ(rc.right, kControlRect.right);
    EXPECT_EQ(rc.bottom, kControlRect.bottom);

    CPixelCanvas canvas(100, 50, kPaper);
    m_control.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.GetDC()), PRF_CLIENT);
    EXPECT_EQ(canvas.CountPixels(kControlFill, RECT{0, 0, 100, 50}), kControlArea);

    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_FALSE(::GetUpdateRect(m_control, nullptr, FALSE));
    m_control.SetProperty(1, VT_BSTR, L"changed");
    EXPECT_TRUE(::GetUpdateRect(m_control, nullptr, FALSE)) << "a change did not ask for a repaint";
}

TEST_F(ComControlTest, CalledByDispIdWithResultsAndFailures)
{
    CString caption;
    m_control.GetProperty(1, VT_BSTR, &caption);
    EXPECT_EQ(caption, L"TestControl");
    static const BYTE kTwoLongs[] = VTS_I4 VTS_I4;
    long sum = 0;
    m_control.InvokeHelper(2, DISPATCH_METHOD, VT_I4, &sum, kTwoLongs, 40L, 2L);
    EXPECT_EQ(sum, 42);
    short shortSum = 0;
    m_control.InvokeHelper(2, DISPATCH_METHOD, VT_I2, &shortSum, kTwoLongs, -40L, 2L);
    EXPECT_EQ(shortSum, -38) << "the result was not brought to the asked type";
    SCODE sc = S_OK;
    try
    {
        static const BYTE kThree[] = VTS_I4 VTS_I4 VTS_I4;
        m_control.InvokeHelper(2, DISPATCH_METHOD, VT_I4, &sum, kThree, 1L, 2L, 3L);
    }
    catch (COleDispatchException* e)
    {
        sc = e->m_scError;
        e->Delete();
    }
    EXPECT_EQ(sc, DISP_E_BADPARAMCOUNT);
}

TEST_F(ComControlTest, EventsReachTheMapWithEveryArgumentKind)
{
    m_control.InvokeHelper(3, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr); // FireEverything
    ASSERT_EQ(m_host.m_everything.size(), 1u);
    const CControlHost::Everything& heard = m_host.m_everything[0];
    EXPECT_EQ(heard.i2, -2);
    EXPECT_EQ(heard.i4, -4);
    EXPECT_EQ(heard.ui4, 4000000000UL);
    EXPECT_TRUE(heard.flag);
    EXPECT_EQ(heard.text, L"text");
    EXPECT_EQ(heard.collectionCount, 1);
    EXPECT_EQ(heard.bytes, (std::vector<BYTE>{1, 2, 3, 250}));

    static const BYTE kOneLong[] = VTS_I4;
    long lastResult = E_FAIL;
    m_control.InvokeHelper(4, DISPATCH_METHOD, VT_I4, &lastResult, kOneLong, 7L); // FirePing(7)
    EXPECT_EQ(m_host.m_pings, (std::vector<std::wstring>{L"7"})) << "the LONG was not coerced to the entry's text";
    EXPECT_EQ(lastResult, S_OK);
}

TEST_F(ComControlTest, DestroyingTheWindowClosesTheControlAndTakesTheSiteBack)
{
    CComQIPtr<IOleObject> object(m_control.GetControlUnknown());
    ASSERT_TRUE(object);
    const HWND hwnd = m_control.GetSafeHwnd();
    ASSERT_TRUE(m_control.DestroyWindow());
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(m_control.GetSafeHwnd(), nullptr);
    EXPECT_EQ(m_control.GetControlSite(), nullptr);
    EXPECT_TRUE(PumpUntil([&] {
        CComPtr<IOleClientSite> site;
        object->GetClientSite(&site);
        return !site;
    })) << "the control kept its site";
}

TEST_F(ComControlTest, ObjectReportsWhatAContainerAsksBeforeActivation)
{
    CComPtr<ITestControl> control;
    ASSERT_EQ(control.CoCreateInstance(CLSID_TestControl, nullptr, CLSCTX_INPROC_SERVER), S_OK);
    CComQIPtr<IOleObject> object(control.p);
    ASSERT_TRUE(object);
    DWORD status = 0;
    EXPECT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, 148882u);
    CLSID clsid{};
    EXPECT_EQ(object->GetUserClassID(&clsid), S_OK);
    EXPECT_TRUE(::IsEqualCLSID(clsid, CLSID_TestControl));
    SIZEL extent{};
    EXPECT_EQ(object->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
    EXPECT_GT(extent.cx, 0);
    EXPECT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, nullptr, nullptr), E_UNEXPECTED)
        << "activated without a site";

    CComQIPtr<IViewObject> view(control.p);
    ASSERT_TRUE(view);
    CPixelCanvas canvas(50, 20, kPaper);
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.GetDC(), nullptr, nullptr, nullptr, 0),
              E_INVALIDARG)
        << "no bounds and no place of its own";
    const RECTL bounds{0, 0, 50, 20};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.GetDC(), &bounds, nullptr, nullptr, 0),
              S_OK);
    EXPECT_EQ(canvas.CountPixels(kControlFill, RECT{0, 0, 50, 20}), 50 * 20);
}
