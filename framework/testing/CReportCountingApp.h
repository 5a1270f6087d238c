#pragma once
#include "framework/CWinApp.h"
// An application object for tests that counts what reaches the thread's exception report
// (ProcessWndProcException), then reports it as usual.
class CReportCountingApp : public CWinApp
{
public:
    int m_nReports = 0;
    LRESULT ProcessWndProcException(CException* e, const MSG* pMsg) override;
};
