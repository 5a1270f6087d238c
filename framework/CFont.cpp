#include "framework/CFont.h"
#include "framework/CClientDC.h"
#include <cstdlib>
#include <cwchar>

IMPLEMENT_DYNAMIC(CFont, CGdiObject)

BOOL CFont::CreateFontIndirect(const LOGFONTW* lpLogFont)
{
    return AttachCreated(::CreateFontIndirectW(lpLogFont));
}

BOOL CFont::CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight, BYTE bItalic,
                       BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet, BYTE nOutPrecision, BYTE nClipPrecision,
                       BYTE nQuality, BYTE nPitchAndFamily, LPCWSTR lpszFacename)
{
    return AttachCreated(::CreateFontW(nHeight, nWidth, nEscapement, nOrientation, nWeight, bItalic, bUnderline,
                                       cStrikeOut, nCharSet, nOutPrecision, nClipPrecision, nQuality, nPitchAndFamily,
                                       lpszFacename));
}

BOOL CFont::CreatePointFont(int nPointSize, LPCWSTR lpszFaceName, CDC* pDC)
{
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    if (lpszFaceName) wcsncpy(lf.lfFaceName, lpszFaceName, LF_FACESIZE - 1);
    CClientDC screen(nullptr);
    HDC hDC = pDC && pDC->GetSafeHdc() ? pDC->GetSafeHdc() : screen.GetSafeHdc();
    // Tenths of a point to device pixels through the DC's mapping mode, as text is drawn.
    POINT pt{0, ::MulDiv(::GetDeviceCaps(hDC, LOGPIXELSY), nPointSize, 720)};
    ::DPtoLP(hDC, &pt, 1);
    POINT origin{0, 0};
    ::DPtoLP(hDC, &origin, 1);
    lf.lfHeight = -std::abs(pt.y - origin.y);
    return CreateFontIndirect(&lf);
}
