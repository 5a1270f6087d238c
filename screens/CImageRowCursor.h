#pragma once
#include "screens/CImageCP.h"
// Walks an image's rows for the format readers and writers. Rows count the DIB's way, from the
// bottom; a picture is walked from the top with Top, then PreviousRow after every row.
class CImageRowCursor
{
public:
    explicit CImageRowCursor(CImageCP& image);

    void Top();
    bool IsValid() const;
    bool PreviousRow();
    void SetRowIndex(int nRow);
    int GetRowIndex() const { return m_nRow; }
    BYTE* GetRowPointer() const { return m_pRow; }
    // Both copy at most one row's bytes (the effective width), whatever the count asks.
    void GetRow(BYTE* pBuffer, int nCount) const;
    void SetRow(const BYTE* pBuffer, int nCount); // a negative count means the image's width

private:
    int m_nColumn = 0;
    int m_nRow = 0;
    BYTE* m_pRow;
    CImageCP& m_image;
};
