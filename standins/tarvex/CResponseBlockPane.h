#pragma once
#include "framework/CRect.h"
#include "framework/CString.h"
#include <memory>
#include <vector>

class CElement;
class CPolice;
class CQuestion;
class CResponseBlock;

// One cell of a response block: a row and column, the text measured for the row's height, the cell
// in pixels (written by the screen) and the cell's own element, if any.
class CResponseBlockPane
{
public:
    CResponseBlockPane();
    CResponseBlockPane(CResponseBlockPane&&) noexcept;
    CResponseBlockPane& operator=(CResponseBlockPane&&) noexcept;
    ~CResponseBlockPane();

    // 3 (multiple-choice boxes) for a question that takes several answers, else 2.
    static int GetTypicalControlType(const CQuestion* pQuestion, const CElement* pBlock);
    // Row and column boundaries in pixels, one more than rows and columns: rows of kRowHeight, a
    // caption column and a box column.
    static void FindSizeOfRowsAndCols(const CResponseBlock* pBlock, const std::vector<CResponseBlockPane>& panes,
                                      std::vector<int>& rows, std::vector<int>& columns, int nControlType);
    // The header row (row 0) is bold; everything black on white, left aligned.
    void ApplyPaneSettings(const CResponseBlock* pBlock, bool bLastRow, bool bLastColumn, CPolice& font,
                           COLORREF& textColor, COLORREF& backColor, short& nAlign) const;
    CRect GetTextRect() const; // the cell less 2 pixels on each side

    static constexpr int kRowHeight = 20;
    static constexpr int kCaptionWidth = 240;
    static constexpr int kBoxWidth = 30;

    int m_nRow = 0;
    int m_nColumn = 0;
    CString m_strText;
    CRect m_rect;
    std::unique_ptr<CElement> m_pElement;
};
