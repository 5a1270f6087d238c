#pragma once
#include "framework/CString.h"

// The message boxes the links raise. The desktop shows them; tests answer them.
class IMessageBoxSink
{
public:
    virtual ~IMessageBoxSink() = default;
    // The button pressed (IDYES, IDOK ...).
    virtual int ShowMessage(const CString& strText, UINT nType) = 0;
    virtual int ShowMessage(UINT nStringId, UINT nType) = 0;
};
