#pragma once
#include "framework/Platform.h"

class CWnd;

// Whether the desktop shows itself, as SHOWLC on either application port and an application that
// leaves the desktop alone decide. The session core and both application ports call it; the
// desktop's application object serves it.
class IDesktopWindows
{
public:
    static constexpr const char* kRoleName = "IDesktopWindows";
    virtual ~IDesktopWindows() = default;

    virtual BOOL IsVisible() = 0;
    // Makes the desktop visible again: main window, connection dialog and the open log-on dialogs.
    virtual void ShowWindows() = 0;
    // What SHOWLC on either port sets and shows (CSessionCore::ShowDesktop).
    virtual void SetVisible(BOOL bVisible) = 0;
    virtual CWnd* GetConnectionDialogWnd() = 0; // null while it is not open
};
