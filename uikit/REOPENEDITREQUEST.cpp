#include "uikit/REOPENEDITREQUEST.h"
#include "uikit/CListEditCounters.h"

REOPENEDITREQUEST::REOPENEDITREQUEST(int nItem, int nColumn, LPCWSTR lpszText)
    : m_nItem(nItem), m_nColumn(nColumn), m_bHasText(lpszText != nullptr), m_strText(lpszText ? lpszText : L"")
{
    ++CListEditCounters::s_nReopens;
}

REOPENEDITREQUEST::~REOPENEDITREQUEST()
{
    --CListEditCounters::s_nReopens;
}
