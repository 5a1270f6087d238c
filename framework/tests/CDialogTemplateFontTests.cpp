// Dialog templates whose face the system lacks: the template's font is read, and the dialog is
// shown in an installed face of the platform dialog font's metrics, with its controls unchanged.
#include "WindowTestResources.h"
#include "framework/CDialog.h"
#include "framework/CDialogTemplateFont.h"
#include "framework/CHandleOwner.h"
#include "framework/testing/CDialogTemplateBuilder.h"
#include "framework/testing/CSuiteParentTest.h"
#include <gtest/gtest.h>
#include <cstdlib>

namespace
{
constexpr LPCWSTR kMissingFace = L"Lumo Missing Face";

// The platform dialog font ("MS Shell Dlg" at 8 points) is 6 pixels per horizontal dialog base
// unit on 96 dpi; the test machines (Windows, and Wine with Debian's DejaVu faces) have a face of it.
int DialogFontBaseWidth()
{
    CReleasedDCHandle dc(CReleasedDC{nullptr, ::GetDC(nullptr)});
    const int nEm = MulDiv(8, ::GetDeviceCaps(dc.Get().hDC, LOGPIXELSY), 72);
    return (6 * nEm + 5) / 11;
}

struct ShownFont
{
    CString strFace; // as the system selects it
    LOGFONTW lf{};
};

ShownFont FontOf(CWnd& wnd)
{
    ShownFont shown;
    const auto hFont = reinterpret_cast<HFONT>(wnd.SendMessage(WM_GETFONT));
    if (!hFont) return shown;
    ::GetObjectW(hFont, sizeof(shown.lf), &shown.lf);
    CReleasedDCHandle dc(CReleasedDC{nullptr, ::GetDC(nullptr)});
    CGdiSelectionHandle keep(CGdiSelection{dc.Get().hDC, ::SelectObject(dc.Get().hDC, hFont)});
    wchar_t face[LF_FACESIZE] = L"";
    ::GetTextFaceW(dc.Get().hDC, LF_FACESIZE, face);
    shown.strFace = face;
    return shown;
}

// A dialog's horizontal base unit, from its own mapping of dialog units.
int BaseWidthOf(CDialog& dlg)
{
    CRect rc(0, 0, 400, 8);
    dlg.MapDialogRect(&rc);
    return (rc.Width() + 50) / 100;
}

class DialogTemplateFontTest : public CSuiteParentTest
{
};

TEST(DialogTemplateFont, ReadsTheFontOfPlainAndExtendedTemplates)
{
    CDialogTemplateBuilder plain(L"plain", WS_POPUP, 100, 50, L"Some Face");
    plain.AddControl(L"BUTTON", L"OK", BS_PUSHBUTTON, 5, 5, 40, 14, IDOK);
    CDialogTemplateFont font;
    ASSERT_TRUE(font.Read(plain.Get()));
    EXPECT_EQ(font.GetFaceName(), CString(L"Some Face"));
    EXPECT_EQ(font.GetPointSize(), 8);

    const HRSRC hRes = ::FindResourceW(nullptr, MAKEINTRESOURCEW(IDD_MISSING_FACE_DIALOG), RT_DIALOG);
    ASSERT_NE(hRes, nullptr);
    const auto* pExtended = static_cast<LPCDLGTEMPLATE>(::LockResource(::LoadResource(nullptr, hRes)));
    ASSERT_TRUE(font.Read(pExtended));
    EXPECT_EQ(font.GetFaceName(), CString(kMissingFace));
    EXPECT_EQ(font.GetPointSize(), 8);
}

TEST(DialogTemplateFont, ATemplateWithoutItsOwnFontIsLeftAlone)
{
    CDialogTemplateBuilder form(L"system font", WS_POPUP, 100, 50);
    auto* pHeader = const_cast<DLGTEMPLATE*>(form.Get());
    pHeader->style &= ~static_cast<DWORD>(DS_SETFONT); // the font's bytes are then read as none
    CDialogTemplateFont font;
    EXPECT_FALSE(font.Read(form.Get()));
    std::vector<BYTE> copy{1, 2, 3};
    EXPECT_FALSE(font.MakeFallbackCopy(form.Get(), copy));
    EXPECT_TRUE(copy.empty());
}

TEST_F(DialogTemplateFontTest, AMissingFaceIsShownInAFaceOfTheDialogFontsMetrics)
{
    ASSERT_FALSE(CDialogTemplateFont::IsFaceInstalled(kMissingFace, 8)) << "the face must be missing here";
    CDialogTemplateBuilder form(L"missing", WS_POPUP | WS_CAPTION, 120, 60, kMissingFace);
    form.AddControl(L"STATIC", L"Label text", SS_LEFT, 10, 10, 60, 8, 501);
    form.AddControl(L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 10, 35, 50, 14, IDOK);
    CDialog dlg;
    ASSERT_TRUE(dlg.CreateIndirect(form.Get(), &m_parent));

    const ShownFont shown = FontOf(dlg);
    SCOPED_TRACE(shown.strFace.Str());
    EXPECT_TRUE(CDialogTemplateFont::IsFaceInstalled(shown.strFace, 8)) << "an installed face, not the system's guess";
    EXPECT_EQ(BaseWidthOf(dlg), DialogFontBaseWidth()) << "the controls are laid out in the dialog font's units";
    // The copy kept the controls: their texts, ids and places in dialog units.
    CString text;
    dlg.GetDlgItemText(501, text);
    EXPECT_EQ(text, CString(L"Label text"));
    CWnd* pOk = dlg.GetDlgItem(IDOK);
    ASSERT_NE(pOk, nullptr);
    CRect expected(10, 35, 60, 49), actual;
    dlg.MapDialogRect(&expected);
    pOk->GetWindowRect(&actual);
    dlg.ScreenToClient(&actual);
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(FontOf(*pOk).strFace, shown.strFace) << "the controls have the dialog's font";
}

TEST_F(DialogTemplateFontTest, AMissingFaceOfAnExtendedTemplateKeepsWeightAndSlant)
{
    CDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_MISSING_FACE_DIALOG, &m_parent));
    const ShownFont shown = FontOf(dlg);
    SCOPED_TRACE(shown.strFace.Str());
    EXPECT_TRUE(CDialogTemplateFont::IsFaceInstalled(shown.strFace, 8));
    EXPECT_EQ(shown.lf.lfWeight, FW_BOLD);
    EXPECT_TRUE(shown.lf.lfItalic);
    CString text;
    dlg.GetDlgItemText(IDC_MISSING_FACE_LABEL, text);
    EXPECT_EQ(text, CString(L"Label text"));
    EXPECT_NE(dlg.GetDlgItem(IDOK), nullptr);
}

TEST_F(DialogTemplateFontTest, AnInstalledFaceIsKept)
{
    const CString strInstalled = CDialogTemplateFont::FindFallbackFace(8);
    ASSERT_FALSE(strInstalled.IsEmpty()) << "the system lists faces";
    ASSERT_TRUE(CDialogTemplateFont::IsFaceInstalled(strInstalled, 8));
    CDialogTemplateBuilder form(L"installed", WS_POPUP | WS_CAPTION, 120, 60, strInstalled);
    std::vector<BYTE> copy;
    CDialogTemplateFont font;
    EXPECT_FALSE(font.MakeFallbackCopy(form.Get(), copy));
    CDialog dlg;
    ASSERT_TRUE(dlg.CreateIndirect(form.Get(), &m_parent));
    EXPECT_EQ(FontOf(dlg).strFace, strInstalled);
}
} // namespace
