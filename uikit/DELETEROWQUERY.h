#pragma once
#include "framework/Platform.h"
// WM_LISTEDIT_DELETE: may the row (its current index) be deleted.
struct DELETEROWQUERY
{
    int m_nItem = 0;
    BYTE m_bAllow = FALSE;
};
