#include "uikit/ITEM_DATA.h"

namespace
{
int g_nLiveItemData = 0;
}

ITEM_DATA::CELL::CELL(const LVITEMW& item) : m_item(item)
{
    m_item.pszText = nullptr;
    m_item.cchTextMax = 0;
    if (item.mask & LVIF_TEXT) SetText(item.pszText);
}

void ITEM_DATA::CELL::SetText(LPCWSTR pszText)
{
    if (!IsRealListText(pszText))
    {
        m_strText.clear();
        m_item.pszText = const_cast<LPWSTR>(pszText);
        return;
    }
    m_strText = pszText;
    m_item.pszText = m_strText.data();
}

ITEM_DATA::ITEM_DATA() noexcept
{
    ++g_nLiveItemData;
}

ITEM_DATA::~ITEM_DATA()
{
    --g_nLiveItemData;
}

int ITEM_DATA::LiveCount() noexcept
{
    return g_nLiveItemData;
}
