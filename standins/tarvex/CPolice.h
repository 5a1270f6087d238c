#pragma once
#include "framework/CString.h"

class CDC;
class CFont;

// A font as the survey describes it: face, size in points and style.
class CPolice
{
public:
    CPolice() = default;
    CPolice(const CString& strFace, int nSize) : m_strFace(strFace), m_nSize(nSize) {}

    // A new font for the device context's resolution; the caller owns it. Null when it cannot be made.
    CFont* DonnerFont(CDC* pDC) const;
    // The same with the style flags given instead of the font's own.
    CFont* DonnerFont(CDC* pDC, bool bBold, bool bItalic, bool bUnderline) const;

    CString m_strFace = L"Microsoft Sans Serif";
    int m_nSize = 10;
    bool m_bBold = false;
    bool m_bItalic = false;
    bool m_bUnderline = false;
};
