#pragma once
#include "framework/Platform.h"

// The connection dialog's side of an update download: the Jex link reports its progress here.
class IUpdateWindowSink
{
public:
    virtual ~IUpdateWindowSink() = default;
    virtual void ShowUpdateWindow() = 0;
    virtual void ShowUpdateProgress(long nReceived, long nTotal) = 0;
    virtual void ShowUpdateDone() = 0;
    // Set while the link shows a message box, so that the dialog's timer leaves the box alone.
    virtual void SetMessageBoxShown(BOOL bShown) = 0;
};
