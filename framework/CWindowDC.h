#pragma once
#include "framework/CDC.h"
class CWnd;
// The DC of a whole window, frame included (of the screen for null), given back in the destructor.
class CWindowDC : public CDC
{
    DECLARE_DYNAMIC(CWindowDC)

public:
    explicit CWindowDC(CWnd* pWnd);
    ~CWindowDC() override;

private:
    CReleasedDCHandle m_release;
};
