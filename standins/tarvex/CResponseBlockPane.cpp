#include "standins/tarvex/CResponseBlockPane.h"
#include "standins/tarvex/CElement.h"
#include "standins/tarvex/CPolice.h"
#include "standins/tarvex/CQuestion.h"
#include <algorithm>

CResponseBlockPane::CResponseBlockPane() = default;
CResponseBlockPane::CResponseBlockPane(CResponseBlockPane&&) noexcept = default;
CResponseBlockPane& CResponseBlockPane::operator=(CResponseBlockPane&&) noexcept = default;
CResponseBlockPane::~CResponseBlockPane() = default;

int CResponseBlockPane::GetTypicalControlType(const CQuestion* pQuestion, const CElement* /*pBlock*/)
{
    return pQuestion && pQuestion->EstCommeUneMultiple() ? 3 : 2;
}

void CResponseBlockPane::FindSizeOfRowsAndCols(const CResponseBlock* /*pBlock*/,
                                               const std::vector<CResponseBlockPane>& panes, std::vector<int>& rows,
                                               std::vector<int>& columns, int /*nControlType*/)
{
    int nRows = 0;
    for (const CResponseBlockPane& pane : panes)
        nRows = std::max(nRows, pane.m_nRow + 1);
    rows.clear();
    for (int i = 0; i <= nRows; ++i)
        rows.push_back(i * kRowHeight);
    columns = {0, kCaptionWidth, kCaptionWidth + kBoxWidth};
}

void CResponseBlockPane::ApplyPaneSettings(const CResponseBlock* /*pBlock*/, bool /*bLastRow*/, bool /*bLastColumn*/,
                                           CPolice& font, COLORREF& textColor, COLORREF& backColor, short& nAlign) const
{
    font.m_bBold = m_nRow == 0;
    textColor = RGB(0, 0, 0);
    backColor = RGB(255, 255, 255);
    nAlign = 0;
}

CRect CResponseBlockPane::GetTextRect() const
{
    return CRect(m_rect.left + 2, m_rect.top + 2, m_rect.right - 2, m_rect.bottom - 2);
}
