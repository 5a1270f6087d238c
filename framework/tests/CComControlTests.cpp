// The test server's control in a container site on a real window, windowed and windowless.
#include "framework/CComBSTR.h"
#include "framework/CComPtr.h"
#include "framework/CComQIPtr.h"
#include "framework/testing/CActivationContextScope.h"
#include "framework/testing/CComApartment.h"
#include "framework/testing/CPixelCanvas.h"
#include "framework/testing/CTestContainerSite.h"
#include "framework/testing/MessagePump.h"
#include "ComTestServer.h"
#include <gtest/gtest.h>

namespace
{
constexpr COLORREF kControlFill = RGB(0, 128, 255); // what the test control's OnDraw fills its bounds with
constexpr COLORREF kPaper = RGB(255, 255, 255);
constexpr int kControlArea = 100 * 50; // CTestContainerSite::kControlRect
} // namespace

class ComControlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(m_apartment.Result()));
        ASSERT_TRUE(m_context.IsActive()) << m_context.Error();
        ASSERT_EQ(m_control.CoCreateInstance(CLSID_TestControl, nullptr, CLSCTX_INPROC_SERVER), S_OK);
    }

    CComApartment m_apartment;
    CActivationContextScope m_context{PathBesideProgram(L"ComTestServer.manifest")};
    CComPtr<ITestControl> m_control;
};

TEST_F(ComControlTest, WindowedSiteGetsAChildWindowThatPaintsWithOnDraw)
{
    CTestContainerSite site(false);
    ASSERT_NE(site.HostWindow(), nullptr);
    ASSERT_EQ(site.Site(m_control), S_OK);
    EXPECT_EQ(site.m_nActivations, 1);
    EXPECT_EQ(site.m_activateFlags, 0u) << "activated windowless where no windowless site was offered";

    CComQIPtr<IOleInPlaceObject> inPlace(m_control.p);
    ASSERT_TRUE(inPlace);
    HWND hwnd = nullptr;
    ASSERT_EQ(inPlace->GetWindow(&hwnd), S_OK);
    EXPECT_TRUE(::IsChild(site.HostWindow(), hwnd));
    RECT rc{};
    ::GetWindowRect(hwnd, &rc);
    ::MapWindowPoints(nullptr, site.HostWindow(), reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(rc.left, CTestContainerSite::kControlRect.left);
    EXPECT_EQ(rc.top, CTestContainerSite::kControlRect.top);
    EXPECT_EQ(rc.right, CTestContainerSite::kControlRect.right);
    EXPECT_EQ(rc.bottom, CTestContainerSite::kControlRect.bottom);

    CPixelCanvas canvas(100, 50, kPaper);
    ::SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.GetDC()), PRF_CLIENT);
    EXPECT_EQ(canvas.CountPixels(kControlFill, RECT{0, 0, 100, 50}), kControlArea);

    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_FALSE(::GetUpdateRect(hwnd, nullptr, FALSE));
    ASSERT_EQ(m_control->put_Caption(CComBSTR(L"changed")), S_OK);
    EXPECT_TRUE(::GetUpdateRect(hwnd, nullptr, FALSE)) << "a change did not ask for a repaint";

    ASSERT_EQ(site.Unsite(), S_OK);
    EXPECT_FALSE(::IsWindow(hwnd)) << "closing left the control's window";
    EXPECT_EQ(site.m_nDeactivations, 1);
    m_control.Release();
    EXPECT_EQ(site.RefCount(), 1) << "the control kept references to its site";
}

TEST_F(ComControlTest, WindowlessSiteDrawsTheControlThroughItsView)
{
    CTestContainerSite site(true);
    ASSERT_EQ(site.Site(m_control), S_OK);
    EXPECT_EQ(site.m_nActivations, 1);
    EXPECT_EQ(site.m_activateFlags, static_cast<DWORD>(ACTIVATE_WINDOWLESS));
    CComQIPtr<IOleInPlaceObjectWindowless> inPlace(m_control.p);
    ASSERT_TRUE(inPlace);
    HWND hwnd = nullptr;
    EXPECT_EQ(inPlace->GetWindow(&hwnd), E_FAIL);
    EXPECT_EQ(hwnd, nullptr);

    CPixelCanvas canvas(200, 100, kPaper);
    const RECT bounds{20, 10, 120, 60};
    ASSERT_EQ(site.Draw(canvas.GetDC(), &bounds), S_OK);
    EXPECT_EQ(canvas.CountPixels(kControlFill, bounds), kControlArea);
    EXPECT_EQ(canvas.CountPixels(kControlFill, RECT{0, 0, 200, 100}), kControlArea) << "drew outside its bounds";

    canvas.Fill(kPaper);
    ASSERT_EQ(site.Draw(canvas.GetDC(), nullptr), S_OK) << "a windowless control draws at its own place";
    EXPECT_EQ(canvas.CountPixels(kControlFill, CTestContainerSite::kControlRect), kControlArea);

    const int before = site.m_nInvalidations;
    ASSERT_EQ(m_control->put_Caption(CComBSTR(L"changed")), S_OK);
    EXPECT_EQ(site.m_nInvalidations, before + 1) << "a windowless change goes through the site";
    ASSERT_TRUE(PumpUntilIdle()); // the host paints the control in its own WM_PAINT

    ASSERT_EQ(site.Unsite(), S_OK);
    EXPECT_EQ(site.m_nDeactivations, 1);
    m_control.Release();
    EXPECT_EQ(site.RefCount(), 1) << "the control kept references to its site";
}

TEST_F(ComControlTest, ObjectReportsWhatAContainerAsksBeforeActivation)
{
    CComQIPtr<IOleObject> object(m_control.p);
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

    CComQIPtr<IViewObject> view(m_control.p);
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
