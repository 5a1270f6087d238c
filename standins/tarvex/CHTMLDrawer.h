#pragma once
#include "framework/CRect.h"
#include "framework/CString.h"
#include <vector>

class CDC;
class CPolice;

// Draws the small HTML of captions: <b>, <i>, <u> (nested, closed in any order), <br>, the entities
// &amp; &lt; &gt; &quot;, and word wrap at the width of the box. Other tags are left out; blanks
// and line ends in the text are one blank, as in a browser.
class CHTMLDrawer
{
public:
    struct CRun
    {
        CString m_strText;
        bool m_bBold = false;
        bool m_bItalic = false;
        bool m_bUnderline = false;
        int m_nLeft = 0; // from the left of the box
        int m_nWidth = 0;
    };
    struct CLine
    {
        std::vector<CRun> m_runs;
        int m_nTop = 0; // from the top of the box
        int m_nHeight = 0;
    };

    // Alignment: 0 left, 1 centre, 2 right. Returns the height the text takes; drawing is clipped to the box.
    int DrawHTMLText(CDC* pDC, const CString& strText, const CPolice& font, COLORREF color, const CRect& box,
                     int nAlign);
    int FindHeight(CDC* pDC, const CString& strText, const CPolice& font, const CRect& box);
    std::vector<CLine> LayOut(CDC* pDC, const CString& strText, const CPolice& font, int nWidth, int nAlign);
};
