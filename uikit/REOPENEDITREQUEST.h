#pragma once
#include "framework/CString.h"
// WM_LISTEDIT_REOPEN: the cell whose edit was rejected, and the rejected text. Lives on the heap
// from the post until the list handles it or removes it from its queue.
struct REOPENEDITREQUEST
{
    REOPENEDITREQUEST(int nItem, int nColumn, LPCWSTR lpszText);
    ~REOPENEDITREQUEST();
    REOPENEDITREQUEST(const REOPENEDITREQUEST&) = delete;
    REOPENEDITREQUEST& operator=(const REOPENEDITREQUEST&) = delete;

    int m_nItem;
    int m_nColumn;
    bool m_bHasText; // the rejected edit reported a text
    CString m_strText;
};
