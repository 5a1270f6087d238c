#include "screens/CImageRowCursor.h"
#include <algorithm>
#include <cstring>

CImageRowCursor::CImageRowCursor(CImageCP& image) : m_pRow(image.GetBits()), m_image(image) {}

void CImageRowCursor::Top()
{
    if (!m_image.GetBits()) return;
    m_nRow = m_image.GetHeight() - 1;
    m_pRow = m_image.GetBits() + static_cast<size_t>(m_nRow) * m_image.GetEffWidth();
}

bool CImageRowCursor::IsValid() const
{
    return m_image.IsValid() && m_image.IsInside(m_nColumn, m_nRow);
}

bool CImageRowCursor::PreviousRow()
{
    if (m_nRow - 1 < 0) return false;
    --m_nRow;
    m_pRow -= m_image.GetEffWidth();
    return true;
}

void CImageRowCursor::SetRowIndex(int nRow)
{
    if (!m_image.IsInside(0, nRow)) return;
    m_nRow = nRow;
    m_pRow = m_image.GetBits() + static_cast<size_t>(nRow) * m_image.GetEffWidth();
}

void CImageRowCursor::GetRow(BYTE* pBuffer, int nCount) const
{
    if (!pBuffer || nCount <= 0 || !IsValid()) return;
    std::memcpy(pBuffer, m_pRow, std::min(nCount, m_image.GetEffWidth()));
}

void CImageRowCursor::SetRow(const BYTE* pBuffer, int nCount)
{
    if (!pBuffer || !IsValid()) return;
    if (nCount < 0) nCount = m_image.GetWidth();
    if (nCount > 0) std::memcpy(m_pRow, pBuffer, std::min(nCount, m_image.GetEffWidth()));
}
