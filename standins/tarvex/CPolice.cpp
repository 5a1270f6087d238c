#include "standins/tarvex/CPolice.h"
#include "framework/CDC.h"
#include "framework/CFont.h"
#include "standins/tarvex/CTarvexJournal.h"
#include <memory>

CFont* CPolice::DonnerFont(CDC* pDC) const
{
    return DonnerFont(pDC, m_bBold, m_bItalic, m_bUnderline);
}

CFont* CPolice::DonnerFont(CDC* pDC, bool bBold, bool bItalic, bool bUnderline) const
{
    const int nDpi = pDC && pDC->GetSafeHdc() ? pDC->GetDeviceCaps(LOGPIXELSY) : 96;
    LOGFONTW lf = {};
    lf.lfHeight = -MulDiv(m_nSize, nDpi, 72);
    lf.lfWeight = bBold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = bItalic ? TRUE : FALSE;
    lf.lfUnderline = bUnderline ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, m_strFace.GetString(), LF_FACESIZE);
    auto pFont = std::make_unique<CFont>();
    const bool bMade = pFont->CreateFontIndirect(&lf) != FALSE;
    CString strArguments;
    strArguments.Format(L"%s, %d, %d%d%d", m_strFace.GetString(), m_nSize, bBold, bItalic, bUnderline);
    CTarvexJournal::Append(L"CPolice", L"DonnerFont", strArguments, CTarvexJournal::FromBool(bMade));
    return bMade ? pFont.release() : nullptr;
}
