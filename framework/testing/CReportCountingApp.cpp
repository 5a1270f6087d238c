#include "framework/testing/CReportCountingApp.h"

LRESULT CReportCountingApp::ProcessWndProcException(CException* e, const MSG* pMsg)
{
    ++m_nReports;
    return CWinApp::ProcessWndProcException(e, pMsg);
}
