// The owner-drawn button: its looks on a canvas, images, result codes and what a user's input does.
#include "ButtonTestResources.h"
#include "framework/CDC.h"
#include "framework/testing/CPixelCanvas.h"
#include "framework/testing/CRecordingParent.h"
#include "framework/testing/DrawItemRequest.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/UserInput.h"
#include "uikit/CFlatButton.h"
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr UINT kButtonId = 11;
constexpr COLORREF kColors[6] = {RGB(200, 0, 0),   RGB(0, 200, 0),   RGB(0, 0, 200),
                                 RGB(200, 200, 0), RGB(0, 200, 200), RGB(200, 0, 200)};
constexpr COLORREF kMagenta = RGB(255, 0, 255);

// Opens the drawing state to the test.
class CTestFlatButton : public CFlatButton
{
public:
    void SetHovered(bool bHovered) { m_bHovered = bHovered; }
    bool IsHovered() const { return m_bHovered != FALSE; }
    void SetDefaultFlag(bool bDefault) { m_bIsDefault = bDefault; }
    bool IsMenuShowing() const { return m_bMenuShowing != FALSE; }
    std::vector<HGDIOBJ> Bitmaps() const
    {
        return {m_bitmaps[0].hBitmap.Get(), m_bitmaps[0].hMask.Get(), m_bitmaps[1].hBitmap.Get(),
                m_bitmaps[1].hMask.Get()};
    }
    int ToolCount() const { return m_toolTip.m_hWnd ? m_toolTip.GetToolCount() : 0; }
    std::vector<HICON> Icons() const { return {m_icons[0].hIcon.Get(), m_icons[1].hIcon.Get()}; }
};

HBITMAP SolidBitmap(int cx, int cy, COLORREF color)
{
    CPixelCanvas canvas(cx, cy, color);
    HDC screen = ::GetDC(nullptr);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, cx, cy);
    HDC dc = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    ::BitBlt(dc, 0, 0, cx, cy, canvas.GetDC(), 0, 0, SRCCOPY);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return bitmap;
}

// A 32x32 colour icon of one colour, fully opaque.
HICON SolidIcon(COLORREF color)
{
    HBITMAP colour = SolidBitmap(32, 32, color);
    HBITMAP mask = ::CreateBitmap(32, 32, 1, 1, nullptr);
    ICONINFO info{TRUE, 16, 16, mask, colour};
    HICON icon = ::CreateIconIndirect(&info);
    ::DeleteObject(colour);
    ::DeleteObject(mask);
    return icon;
}

// Only the commands the parent got, without the private messages the test itself sends.
Seq Commands(const CRecordingParent& parent)
{
    Seq out;
    for (const auto& m : parent.Seen())
        if (m.message == WM_COMMAND) out.push_back(m);
    return out;
}

// Draws the button as the parent's WM_DRAWITEM would ask, onto a canvas of the given size.
void Draw(CFlatButton& button, CPixelCanvas& canvas, UINT itemState)
{
    DRAWITEMSTRUCT dis =
        DrawItemRequest(button, canvas.GetDC(), {0, 0, canvas.Width(), canvas.Height()}, ODT_BUTTON, itemState);
    button.DrawItem(&dis);
}

class FlatButtonTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_parent = new CRecordingParent;
        ASSERT_TRUE(s_parent->Create(400, 300));
    }
    static void TearDownTestSuite()
    {
        delete s_parent;
        s_parent = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(s_parent, nullptr);
        ASSERT_TRUE(m_button.Create(L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, CRect(10, 10, 110, 50),
                                    s_parent, kButtonId));
        for (BYTE i = 0; i < 6; ++i)
            m_button.SetColor(i, kColors[i], FALSE);
        PumpUntilIdle();
        s_parent->Clear();
    }
    static inline CRecordingParent* s_parent = nullptr;
    CTestFlatButton m_button;
};

struct LookCase
{
    bool flat;
    const char* look;
    UINT state;
    bool hovered, isDefault;
    COLORREF face;
};

TEST_F(FlatButtonTest, EachLookHasItsFaceAndBorder)
{
    const COLORREF highlight = ::GetSysColor(COLOR_BTNHIGHLIGHT), dkShadow = ::GetSysColor(COLOR_3DDKSHADOW),
                   shadow = ::GetSysColor(COLOR_BTNSHADOW);
    const LookCase cases[] = {
        {false, "normal", 0, false, false, kColors[2]},
        {false, "hovered", 0, true, false, kColors[0]},
        {false, "pressed", ODS_SELECTED, false, false, kColors[0]},
        {false, "focused", ODS_FOCUS, false, false, kColors[4]},
        {false, "default", 0, false, true, kColors[2]},
        {false, "disabled", ODS_DISABLED, false, false, kColors[2]},
        {true, "normal", 0, false, false, kColors[2]},
        {true, "hovered", 0, true, false, kColors[0]},
        {true, "pressed", ODS_SELECTED, false, false, kColors[0]},
        {true, "focused", ODS_FOCUS, false, false, kColors[4]},
        {true, "default", 0, false, true, kColors[2]},
        {true, "disabled", ODS_DISABLED, false, false, kColors[2]},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.flat ? "flat " : "non-flat ") + c.look);
        m_button.SetFlat(c.flat, FALSE);
        m_button.SetHovered(c.hovered);
        m_button.SetDefaultFlag(c.isDefault);
        CPixelCanvas canvas(60, 30, RGB(1, 2, 3));
        Draw(m_button, canvas, c.state);
        EXPECT_EQ(canvas.GetPixel(30, 15), c.face) << "interior";
        const bool pressed = (c.state & ODS_SELECTED) != 0;
        const bool framed = !c.flat && ((c.state & ODS_FOCUS) || c.isDefault);
        const int in = framed ? 1 : 0;
        if (framed)
        {
            EXPECT_EQ(canvas.GetPixel(0, 0), RGB(0, 0, 0)) << "black frame";
        }
        if (!c.flat && !pressed)
        {
            EXPECT_EQ(canvas.GetPixel(in, in), highlight);
            EXPECT_EQ(canvas.GetPixel(59 - in, 29 - in), dkShadow);
        }
        if (!c.flat && pressed)
        {
            EXPECT_EQ(canvas.GetPixel(0, 0), shadow) << "pressed frame";
        }
        if (c.flat && pressed)
        {
            EXPECT_EQ(canvas.GetPixel(0, 0), shadow) << "sunken";
        }
        if (c.flat && !pressed && c.hovered)
        {
            EXPECT_EQ(canvas.GetPixel(0, 0), highlight) << "raised";
        }
        if (c.flat && !pressed && !c.hovered)
        {
            EXPECT_EQ(canvas.GetPixel(0, 0), c.face) << "no border when idle";
        }
    }
    m_button.SetHovered(false);
    m_button.SetDefaultFlag(false);
    m_button.SetFlat(TRUE, FALSE);
    m_button.SetIdleFrame(TRUE, FALSE);
    CPixelCanvas canvas(60, 30);
    Draw(m_button, canvas, 0);
    EXPECT_EQ(canvas.GetPixel(0, 0), highlight) << "idle frame";
    EXPECT_EQ(canvas.GetPixel(59, 29), highlight) << "idle frame";
}

TEST_F(FlatButtonTest, FocusRectangleOfANonFlatButtonLiesThreePixelsInsideItsFrame)
{
    m_button.SetFlat(FALSE, FALSE);
    CPixelCanvas canvas(60, 30);
    Draw(m_button, canvas, ODS_FOCUS);
    // After the black frame the rectangle is (1,1)-(59,29); the focus rectangle is 3 inside it.
    EXPECT_TRUE(canvas.AnyPixelOtherThan(kColors[4], CRect(4, 4, 56, 5))) << "focus rectangle drawn on row 4";
    EXPECT_FALSE(canvas.AnyPixelOtherThan(kColors[4], CRect(3, 3, 57, 4))) << "nothing on row 3";
}

TEST_F(FlatButtonTest, TransparentPixelsKeepTheBackgroundAndSecondImagesAreDerived)
{
    m_button.SetFlat(TRUE, FALSE);
    // Left half magenta (transparent), right half red.
    HBITMAP hBitmap = SolidBitmap(16, 16, kMagenta);
    {
        HDC dc = ::CreateCompatibleDC(nullptr);
        HGDIOBJ old = ::SelectObject(dc, hBitmap);
        RECT right{8, 0, 16, 16};
        HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
        ::FillRect(dc, &right, red);
        ::DeleteObject(red);
        ::SelectObject(dc, old);
        ::DeleteDC(dc);
    }
    ASSERT_EQ(
        m_button.SetBitmapHandles(hBitmap, kMagenta, reinterpret_cast<HBITMAP>(CFlatButton::FB_AUTO_GREY), kMagenta),
        0u);
    CPixelCanvas canvas(100, 40);
    Draw(m_button, canvas, 0); // normal look: the grey copy, centred at (42,12)
    EXPECT_EQ(canvas.GetPixel(43, 13), kColors[2]) << "transparent pixels keep the face";
    EXPECT_EQ(canvas.GetPixel(52, 13), RGB(76, 76, 76)) << "pure red in grey";
    m_button.SetHovered(true);
    Draw(m_button, canvas, 0);
    EXPECT_EQ(canvas.GetPixel(43, 13), kColors[0]);
    EXPECT_EQ(canvas.GetPixel(52, 13), RGB(255, 0, 0)) << "the hot look shows the first image";
    m_button.SetHovered(false);

    ASSERT_EQ(m_button.SetBitmapHandles(SolidBitmap(16, 16, RGB(200, 255, 1)), kMagenta,
                                        reinterpret_cast<HBITMAP>(CFlatButton::FB_AUTO_DARKER), kMagenta),
              0u);
    Draw(m_button, canvas, 0);
    EXPECT_EQ(canvas.GetPixel(50, 20), RGB(150, 191, 0)) << "25 per cent darker";

    ASSERT_EQ(m_button.SetBitmapHandles(SolidBitmap(16, 16, kMagenta), kMagenta, nullptr, 0), 0u);
    Draw(m_button, canvas, 0);
    EXPECT_FALSE(canvas.AnyPixelOtherThan(kColors[2], CRect(0, 0, 100, 40))) << "all transparent draws nothing";
}

TEST_F(FlatButtonTest, ImagesArePlacedByAlignmentAndShiftedWhenPressed)
{
    const COLORREF image = RGB(10, 20, 30);
    ASSERT_EQ(m_button.SetBitmapHandles(SolidBitmap(16, 16, image), kMagenta, nullptr, 0), 0u);
    struct PlaceCase
    {
        BYTE align;
        const wchar_t* caption;
        UINT state;
        int pressedStyle;
        POINT topLeft;
        const char* why;
    };
    const PlaceCase cases[] = {
        {2, L"", 0, 0, {42, 0}, "right without caption: centred, touching the top"},
        {2, L"", ODS_SELECTED, 0, {43, 1}, "pressed shift (1,1)"},
        {2, L"", ODS_SELECTED, 1, {42, 2}, "pressed style 1: (0,2)"},
        {1, L"Go", 0, 0, {42, 3}, "above a caption: top at the margin"},
        {0, L"", 0, 0, {42, 12}, "left without caption: centred"},
        {0, L"Go", 0, 0, {3, 12}, "left of a caption: at the margin"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        m_button.SetWindowText(c.caption);
        m_button.SetAlign(c.align, FALSE);
        m_button.SetPressedShift(c.pressedStyle, FALSE);
        CPixelCanvas canvas(100, 40);
        Draw(m_button, canvas, c.state);
        const int x = c.topLeft.x, y = c.topLeft.y;
        EXPECT_EQ(canvas.GetPixel(x, y), image);
        EXPECT_EQ(canvas.GetPixel(x + 15, y + 15), image);
        EXPECT_NE(canvas.GetPixel(x + 16, y + 15), image);
        if (x > 0)
        {
            EXPECT_NE(canvas.GetPixel(x - 1, y), image);
        }
        if (y > 0)
        {
            EXPECT_NE(canvas.GetPixel(x, y - 1), image);
        }
    }
    m_button.SetWindowText(L"");
}

TEST_F(FlatButtonTest, TransparentModePaintsTheParentsPixelsUnderTheButton)
{
    // The parent's client area as a DC: the button sits at (10,10)-(110,50) in it.
    CPixelCanvas parentArea(400, 300, RGB(10, 200, 30));
    parentArea.Fill(CRect(10, 10, 60, 50), RGB(90, 0, 90));
    m_button.SetDrawTransparent(FALSE);
    EXPECT_EQ(m_button.SetBackgroundFromDC(CDC::FromHandle(parentArea.GetDC())), 0u);
    CPixelCanvas canvas(100, 40, RGB(0, 0, 0));
    Draw(m_button, canvas, 0);
    EXPECT_EQ(canvas.GetPixel(20, 20), RGB(90, 0, 90)) << "the patch under the button's left half";
    EXPECT_EQ(canvas.GetPixel(70, 20), RGB(10, 200, 30));
    EXPECT_EQ(canvas.GetPixel(0, 0), RGB(90, 0, 90)) << "a flat idle button draws no face";
    EXPECT_EQ(m_button.SetBackgroundFromDC(nullptr), 5u) << "no DC";
}

TEST_F(FlatButtonTest, SettersReportTheirResultCodes)
{
    COLORREF before = 0, after = 0;
    m_button.GetColor(2, &before);
    EXPECT_EQ(m_button.SetColor(6, RGB(1, 1, 1)), 3u);
    EXPECT_EQ(m_button.GetColor(6, &after), 3u);
    EXPECT_EQ(m_button.ShiftColor(1, 300), 5u);
    EXPECT_EQ(m_button.ShiftColor(6, 10), 3u);
    EXPECT_EQ(m_button.SetAlign(4), 4u);
    EXPECT_EQ(m_button.SetPressedShift(2), 6u);
    EXPECT_EQ(m_button.SetBackgroundFromDC(CDC::FromHandle(CPixelCanvas(4, 4).GetDC())), 5u)
        << "outside transparent mode";
    m_button.GetColor(2, &after);
    EXPECT_EQ(after, before) << "a refused setter changes nothing";

    struct ShiftCase
    {
        COLORREF from;
        short shade;
        COLORREF to;
    };
    const ShiftCase shifts[] = {{RGB(250, 10, 10), 40, RGB(255, 15, 15)},
                                {RGB(200, 100, 50), -60, RGB(150, 50, 0)},
                                {RGB(255, 255, 255), 40, RGB(255, 255, 255)},
                                {RGB(10, 20, 30), 0, RGB(10, 20, 30)}};
    for (const auto& s : shifts)
    {
        m_button.SetColor(0, s.from, FALSE);
        EXPECT_EQ(m_button.ShiftColor(0, s.shade, FALSE), 0u);
        m_button.GetColor(0, &after);
        EXPECT_EQ(after, s.to) << "shift " << s.shade;
    }

    std::wstring longLink(300, L'x');
    m_button.SetLink(longLink.c_str());
    EXPECT_EQ(std::wstring(m_button.GetLink()), longLink.substr(0, 259)) << "cut to 259 characters";
    m_button.SetLink(nullptr);
    EXPECT_EQ(std::wstring(m_button.GetLink()), L"");
}

TEST_F(FlatButtonTest, ImagesBelongToTheButton)
{
    ASSERT_EQ(m_button.SetBitmapHandles(SolidBitmap(8, 8, RGB(1, 1, 1)), kMagenta,
                                        reinterpret_cast<HBITMAP>(CFlatButton::FB_AUTO_DARKER), kMagenta),
              0u);
    const std::vector<HGDIOBJ> bitmaps = m_button.Bitmaps();
    for (HGDIOBJ h : bitmaps)
        ASSERT_NE(::GetObjectType(h), 0u);
    EXPECT_EQ(m_button.SetIconHandles(reinterpret_cast<HICON>(static_cast<INT_PTR>(0x4321)), nullptr), 1u)
        << "a bad icon handle";
    for (HGDIOBJ h : bitmaps)
        EXPECT_EQ(::GetObjectType(h), 0u) << "every image is freed";

    auto button = std::make_unique<CTestFlatButton>();
    ASSERT_EQ(button->SetBitmapHandles(SolidBitmap(8, 8, RGB(1, 1, 1)), kMagenta,
                                       reinterpret_cast<HBITMAP>(CFlatButton::FB_AUTO_GREY), kMagenta),
              0u);
    const std::vector<HGDIOBJ> held = button->Bitmaps();
    auto iconButton = std::make_unique<CTestFlatButton>();
    ASSERT_EQ(iconButton->SetIconHandles(SolidIcon(RGB(9, 9, 9)), reinterpret_cast<HICON>(CFlatButton::FB_AUTO_GREY)),
              0u);
    const std::vector<HICON> icons = iconButton->Icons();
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(icons[1], &info)) << "the grey icon was made";
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    button.reset();
    iconButton.reset();
    for (HGDIOBJ h : held)
        EXPECT_EQ(::GetObjectType(h), 0u);
    for (HICON h : icons)
        EXPECT_FALSE(::GetIconInfo(h, &info));
}

// The caller hands both images over with the call: when the button refuses the first, the
// second must not stay behind as a handle nobody frees.
TEST_F(FlatButtonTest, TheSecondImageIsFreedWhenTheFirstIsRefused)
{
    const auto unreadable = [] { return static_cast<INT_PTR>(0x4321); };
    struct BitmapCase
    {
        const char* what;
        HBITMAP first;
        DWORD result;
    };
    for (const BitmapCase& c : {BitmapCase{"no first bitmap", nullptr, 0u},
                                BitmapCase{"an unreadable first bitmap", reinterpret_cast<HBITMAP>(unreadable()), 1u}})
    {
        HBITMAP second = SolidBitmap(8, 8, RGB(1, 2, 3));
        ASSERT_EQ(::GetObjectType(second), static_cast<DWORD>(OBJ_BITMAP));
        EXPECT_EQ(m_button.SetBitmapHandles(c.first, kMagenta, second, kMagenta), c.result) << c.what;
        EXPECT_EQ(::GetObjectType(second), 0u) << c.what << ": the second bitmap is freed";
        for (HGDIOBJ h : m_button.Bitmaps())
            EXPECT_EQ(h, nullptr) << c.what;
    }

    HICON second = SolidIcon(RGB(4, 5, 6));
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(second, &info));
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    EXPECT_EQ(m_button.SetIconHandles(reinterpret_cast<HICON>(unreadable()), second), 1u);
    EXPECT_FALSE(::GetIconInfo(second, &info)) << "the second icon is destroyed";
    for (HICON h : m_button.Icons())
        EXPECT_EQ(h, nullptr);
}

// A caption wider or higher than the button ends in an ellipsis inside it: clipped at the edge it
// would end mid-letter ("Take back" read as "Take bacl").
TEST_F(FlatButtonTest, ACaptionThatDoesNotFitEndsInAnEllipsisInsideTheButton)
{
    constexpr COLORREF kFace = RGB(255, 255, 255), kText = RGB(0, 0, 0);
    m_button.SetColor(CFlatButton::FB_COLOR_FACE, kFace, FALSE);
    m_button.SetColor(CFlatButton::FB_COLOR_TEXT, kText, FALSE);
    struct CaptionCase
    {
        const wchar_t* caption;
        int cx, cy;
        const char* why;
    };
    const CaptionCase cases[] = {
        {L"Conference", 30, 30, "one word wider than the button"},
        {L"In conference", 30, 30, "the second word wider than the button"},
        {L"Take back the call now", 40, 14, "more lines than the button's height holds"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        m_button.SetWindowText(c.caption);
        CPixelCanvas canvas(c.cx, c.cy, kFace);
        // The button draws with the font its window selected, as the system's WM_DRAWITEM gives it.
        const HGDIOBJ old = ::SelectObject(canvas.GetDC(), ::GetStockObject(DEFAULT_GUI_FONT));
        Draw(m_button, canvas, 0);
        ::SelectObject(canvas.GetDC(), old);
        EXPECT_GT(canvas.CountPixels(kText, {0, 0, c.cx, c.cy}), 0) << "the caption is drawn";
        EXPECT_FALSE(canvas.AnyPixelOf(kText, {0, 0, 1, c.cy})) << "the text reaches the left edge";
        EXPECT_FALSE(canvas.AnyPixelOf(kText, {c.cx - 1, 0, c.cx, c.cy})) << "the text reaches the right edge";
        EXPECT_FALSE(canvas.AnyPixelOf(kText, {0, c.cy - 1, c.cx, c.cy})) << "the text reaches the bottom edge";
    }
}

TEST_F(FlatButtonTest, GreyIconShowsUntilTheMouseIsOver)
{
    ASSERT_EQ(m_button.SetIconHandles(SolidIcon(RGB(255, 0, 0)), reinterpret_cast<HICON>(CFlatButton::FB_AUTO_GREY)),
              0u);
    CPixelCanvas canvas(100, 40);
    Draw(m_button, canvas, 0);
    EXPECT_EQ(canvas.GetPixel(50, 20), RGB(76, 76, 76));
    m_button.SetHovered(true);
    Draw(m_button, canvas, 0);
    EXPECT_EQ(canvas.GetPixel(50, 20), RGB(255, 0, 0));
    m_button.m_bForceIcon = TRUE;
    m_button.m_bForcedIconChoice = TRUE;
    Draw(m_button, canvas, 0);
    EXPECT_EQ(canvas.GetPixel(50, 20), RGB(76, 76, 76)) << "a forced choice no longer follows hover";
}

TEST_F(FlatButtonTest, CheckBoxModeTogglesAndTheParentStillHearsTheClick)
{
    CTestFlatButton check;
    ASSERT_TRUE(check.Create(L"", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, CRect(120, 10, 180, 40), s_parent, 12));
    EXPECT_EQ(check.GetStyle() & 0x0F, static_cast<DWORD>(BS_OWNERDRAW));
    s_parent->Clear();
    ClickCenter(check);
    ASSERT_TRUE(PumpUntil([&] { return s_parent->Seen().size() >= 1; }, 2000));
    EXPECT_EQ(check.SendMessage(BM_GETCHECK), 1);
    ClickCenter(check);
    ASSERT_TRUE(PumpUntil([&] { return s_parent->Seen().size() >= 2; }, 2000));
    EXPECT_EQ(check.SendMessage(BM_GETCHECK), 0);
    EXPECT_EQ(s_parent->Seen(), (Seq{{WM_COMMAND, 12, BN_CLICKED}, {WM_COMMAND, 12, BN_CLICKED}}));
    check.SendMessage(BM_SETCHECK, BST_INDETERMINATE);
    EXPECT_EQ(check.GetCheck(), TRUE);
}

TEST_F(FlatButtonTest, DoubleClickCountsAsTwoClicks)
{
    const LPARAM at = MAKELPARAM(20, 10);
    m_button.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
    m_button.PostMessage(WM_LBUTTONUP, 0, at);
    m_button.PostMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    m_button.PostMessage(WM_LBUTTONUP, 0, at);
    PumpUntil([&] { return s_parent->Seen().size() >= 2; }, 2000);
    PumpUntilIdle();
    EXPECT_EQ(s_parent->Seen(), (Seq{{WM_COMMAND, kButtonId, BN_CLICKED}, {WM_COMMAND, kButtonId, BN_CLICKED}}));
}

TEST_F(FlatButtonTest, DefaultStyleIsKeptAsAFlagAndTheTypeStaysOwnerDrawn)
{
    EXPECT_FALSE(m_button.IsDefault());
    m_button.SendMessage(BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    EXPECT_TRUE(m_button.IsDefault());
    EXPECT_EQ(m_button.GetStyle() & 0x0F, static_cast<DWORD>(BS_OWNERDRAW));
    const LRESULT code = m_button.SendMessage(WM_GETDLGCODE);
    EXPECT_EQ(code & 0x40, 0x40);
    EXPECT_EQ(code & 0x10, 0x10);
    m_button.SendMessage(BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_FALSE(m_button.IsDefault());
    EXPECT_EQ(m_button.SendMessage(WM_GETDLGCODE) & 0x20, 0x20);

    // The interviewing client also subclasses buttons of its dialogs.
    CRecordingParent form;
    CTestFlatButton subclassed;
    ASSERT_TRUE(form.Create(100, 60, L"form"));
    HWND hButton = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 0, 0, 40, 20, form,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(13)), nullptr, nullptr);
    ASSERT_TRUE(subclassed.SubclassWindow(hButton));
    EXPECT_TRUE(subclassed.IsDefault());
    EXPECT_EQ(subclassed.GetStyle() & 0x0F, static_cast<DWORD>(BS_OWNERDRAW));
    CTestFlatButton created;
    ASSERT_TRUE(created.Create(L"", WS_CHILD | BS_DEFPUSHBUTTON, CRect(0, 30, 40, 50), &form, 14));
    EXPECT_TRUE(created.IsDefault()) << "a created button behaves like a subclassed one";
    EXPECT_EQ(created.GetStyle() & 0x0F, static_cast<DWORD>(BS_OWNERDRAW));
}

TEST_F(FlatButtonTest, HoverFollowsThePointerAndEndsWhenItLeaves)
{
    CRect rc;
    m_button.GetWindowRect(&rc);
    ASSERT_TRUE(::SetCursorPos(rc.CenterPoint().x, rc.CenterPoint().y));
    m_button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(50, 20));
    EXPECT_TRUE(m_button.IsHovered());
    ::SetCursorPos(rc.right + 100, rc.bottom + 100);
    EXPECT_TRUE(PumpUntil([&] { return !m_button.IsHovered(); }, 1000)) << "the leave notification ends hover";

    // Another thread's window takes the activation: this thread then has no active window.
    CKernelHandle ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    CKernelHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread other([&] {
        CWnd wnd;
        EXPECT_TRUE(wnd.CreateEx(0, nullptr, L"other", WS_POPUP | WS_VISIBLE, 300, 300, 50, 50, nullptr, nullptr));
        ::SetForegroundWindow(wnd);
        ::SetActiveWindow(wnd);
        ::SetEvent(ready);
        const HANDLE stop = done;
        while (::MsgWaitForMultipleObjects(1, &stop, FALSE, 5000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
        {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                ::DispatchMessageW(&msg);
        }
        wnd.DestroyWindow();
    });
    ::WaitForSingleObject(ready, 5000);
    EXPECT_TRUE(PumpUntil([] { return ::GetActiveWindow() == nullptr; }, 1000)) << "this thread lost the activation";
    m_button.SetHoverWhenInactive(FALSE);
    ::SetCursorPos(rc.CenterPoint().x, rc.CenterPoint().y);
    m_button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(50, 20));
    EXPECT_FALSE(m_button.IsHovered()) << "no hover while another thread's window is active";
    m_button.SetHoverWhenInactive(TRUE);
    m_button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(50, 20));
    EXPECT_TRUE(m_button.IsHovered()) << "with hover when inactive on it hovers";
    ::SetEvent(done);
    other.join();
    s_parent->SetForegroundWindow();
    m_button.SendMessage(WM_MOUSELEAVE);
    m_button.SetFlat(FALSE, FALSE);
    m_button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(50, 20));
    EXPECT_FALSE(m_button.IsHovered()) << "hover is tracked only for flat buttons";
    m_button.SetFlat(TRUE, FALSE);
    ::SetCursorPos(0, 0);
}

TEST_F(FlatButtonTest, HoverEndsWithTheMouseTheFocusTheActivationACancelOrTheEnabling)
{
    struct EndCase
    {
        UINT message;
        WPARAM wParam;
        const char* why;
    };
    const EndCase cases[] = {
        {WM_MOUSELEAVE, 0, "the mouse left"},
        {WM_KILLFOCUS, 0, "the focus went elsewhere"},
        {WM_ACTIVATE, WA_INACTIVE, "another application became active"},
        {WM_CANCELMODE, 0, "a mode was cancelled"},
        {WM_ENABLE, FALSE, "the button was disabled"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        m_button.SetHovered(true);
        m_button.ValidateRect(nullptr);
        m_button.SendMessage(c.message, c.wParam, 0);
        EXPECT_FALSE(m_button.IsHovered());
        CRect update;
        EXPECT_TRUE(::GetUpdateRect(m_button, &update, FALSE)) << "repainted";
        CPixelCanvas canvas(60, 30);
        Draw(m_button, canvas, 0);
        EXPECT_EQ(canvas.GetPixel(30, 15), kColors[2]) << "the normal face again";
        EXPECT_EQ(canvas.GetPixel(0, 0), kColors[2]) << "no raised border";
    }
    PumpUntilIdle();
}

TEST_F(FlatButtonTest, ASystemColourChangeBringsBackTheSystemColoursAndANewSnapshot)
{
    CPixelCanvas parentArea(400, 300, RGB(90, 0, 90));
    m_button.SetDrawTransparent(FALSE);
    ASSERT_EQ(m_button.SetBackgroundFromDC(CDC::FromHandle(parentArea.GetDC())), 0u);
    CPixelCanvas canvas(100, 40);
    Draw(m_button, canvas, 0);
    ASSERT_EQ(canvas.GetPixel(50, 20), RGB(90, 0, 90));

    m_button.SendMessage(WM_SYSCOLORCHANGE);
    for (BYTE i = 0; i < 6; ++i)
    {
        COLORREF color = 0;
        m_button.GetColor(i, &color);
        EXPECT_EQ(color, ::GetSysColor(i % 2 == 0 ? COLOR_BTNFACE : COLOR_BTNTEXT)) << "colour " << int(i);
    }
    Draw(m_button, canvas, 0);
    EXPECT_NE(canvas.GetPixel(50, 20), RGB(90, 0, 90)) << "the snapshot was dropped: the parent's own pixels now";
    PumpUntilIdle();
}

TEST_F(FlatButtonTest, DisablingMovesOnlyAFocusTheButtonHeld)
{
    CTestFlatButton next;
    ASSERT_TRUE(next.Create(L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(120, 60, 180, 90), s_parent, 15));
    m_button.SetFocus();
    m_button.EnableWindow(FALSE);
    EXPECT_EQ(::GetFocus(), next.m_hWnd) << "the focus moves to the next tab stop";
    m_button.EnableWindow(TRUE);
    CTestFlatButton other;
    ASSERT_TRUE(other.Create(L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(200, 60, 260, 90), s_parent, 16));
    other.SetFocus();
    m_button.EnableWindow(FALSE);
    EXPECT_EQ(::GetFocus(), other.m_hWnd) << "focus elsewhere stays put";
    m_button.EnableWindow(TRUE);
}

// The link's shell call, recorded.
struct CShellCall
{
    std::wstring verb, file;
    int show = -1;
    ULONG mask = 0;
};
CShellCall g_shellCall;
BOOL WINAPI RecordShellExecute(SHELLEXECUTEINFOW* pInfo)
{
    g_shellCall = {pInfo->lpVerb, pInfo->lpFile, pInfo->nShow, pInfo->fMask};
    return TRUE;
}

TEST_F(FlatButtonTest, PopupMenuPostsTheChosenCommandAndDrawsPressedMeanwhile)
{
    constexpr UINT kCallback = WM_APP + 5, kEndMenu = WM_APP + 6;
    ASSERT_EQ(m_button.SetPopupMenu(IDM_TEST_POPUP, *s_parent), 0u);
    m_button.SetPopupCallback(*s_parent, kCallback, 77);
    HMENU seenMenu = nullptr;
    LPARAM seenValue = 0;
    COLORREF faceWhileOpen = 0;
    bool dismiss = false;
    s_parent->AnswerMessage(kCallback, [&](WPARAM w, LPARAM l) {
        seenMenu = reinterpret_cast<HMENU>(w);
        seenValue = l;
        CPixelCanvas canvas(60, 30);
        Draw(m_button, canvas, 0);
        faceWhileOpen = canvas.GetPixel(30, 15);
        if (dismiss)
            s_parent->PostMessage(kEndMenu);
        else
        {
            PressKey(m_button, VK_DOWN);
            PressKey(m_button, VK_RETURN);
        }
        return 0;
    });
    s_parent->AnswerMessage(kEndMenu, [](WPARAM, LPARAM) {
        ::EndMenu();
        return 0;
    });

    ClickCenter(m_button);
    ASSERT_TRUE(PumpUntil([&] { return Commands(*s_parent).size() >= 2; }, 5000));
    PumpUntilIdle();
    EXPECT_NE(seenMenu, nullptr);
    EXPECT_EQ(::GetMenuItemID(seenMenu, 0), static_cast<UINT>(ID_TEST_ONE)) << "the first submenu";
    EXPECT_EQ(seenValue, 77);
    EXPECT_EQ(faceWhileOpen, kColors[0]) << "drawn pressed while the menu is open";
    EXPECT_FALSE(m_button.IsMenuShowing());
    Seq expected{{WM_COMMAND, kButtonId, BN_CLICKED}, {WM_COMMAND, ID_TEST_ONE, 0}};
    EXPECT_EQ(Commands(*s_parent), expected);

    dismiss = true;
    s_parent->Clear();
    ClickCenter(m_button);
    ASSERT_TRUE(PumpUntil([&] { return !Commands(*s_parent).empty() && !m_button.IsMenuShowing(); }, 5000));
    PumpUntilIdle();
    EXPECT_EQ(Commands(*s_parent), (Seq{{WM_COMMAND, kButtonId, BN_CLICKED}})) << "a dismissed menu posts no command";
    s_parent->AnswerMessage(kCallback, nullptr);
    s_parent->AnswerMessage(kEndMenu, nullptr);
    m_button.SetPopupMenu(0, nullptr);

    CFlatButton::SetShellExecuteFunction(&RecordShellExecute);
    m_button.SetLink(L"https://example.invalid/page");
    ClickCenter(m_button);
    PumpUntilIdle();
    CFlatButton::SetShellExecuteFunction(nullptr);
    EXPECT_EQ(g_shellCall.verb, L"open");
    EXPECT_EQ(g_shellCall.file, L"https://example.invalid/page");
    EXPECT_EQ(g_shellCall.show, SW_SHOWMAXIMIZED);
    EXPECT_EQ(g_shellCall.mask & SEE_MASK_FLAG_NO_UI, static_cast<ULONG>(SEE_MASK_FLAG_NO_UI));
}

TEST_F(FlatButtonTest, ResourcesThatCannotBeLoadedGiveOne)
{
    EXPECT_EQ(m_button.SetPopupMenu(999, *s_parent), 1u);
    EXPECT_EQ(m_button.SetCursorResource(999), 1u);
    EXPECT_EQ(m_button.SetCursorResource(0), 0u);
    EXPECT_EQ(m_button.SetTooltipActive(TRUE), 0) << "no tool yet";
    m_button.SetTooltipText(IDS_TEST_TIP);
    EXPECT_EQ(m_button.ToolCount(), 1) << "the string became the tool's text";
    m_button.SetTooltipString(L"other");
    EXPECT_EQ(m_button.ToolCount(), 1) << "one tool, its text replaced";
}
} // namespace
