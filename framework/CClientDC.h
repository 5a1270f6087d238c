#pragma once
#include "framework/CDC.h"
class CWnd;
// The client-area DC of a window (of the screen for null), given back in the destructor.
class CClientDC : public CDC
{
    DECLARE_DYNAMIC(CClientDC)

public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;

private:
    CReleasedDCHandle m_release;
};
