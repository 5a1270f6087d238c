#include "standins/tarvex/CResponseBlock.h"

CResponseBlockPane* CResponseBlock::GetAdrPane(int i)
{
    return i >= 0 && i < GetPaneCount() ? &m_panes[static_cast<size_t>(i)] : nullptr;
}
