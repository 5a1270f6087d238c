#include "framework/testing/CListener.h"

void CListener::OnAccept(int nErrorCode)
{
    if (nErrorCode == 0 && m_pInto && !m_bAccepted) m_bAccepted = Accept(*m_pInto) != FALSE;
}
