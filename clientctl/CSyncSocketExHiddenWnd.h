#pragma once
#include "framework/CWnd.h"

class CSyncSocketEx;

// The message-only window through which the socket thread hands answers, the close and the server clock
// back to the owner's thread.
class CSyncSocketExHiddenWnd : public CWnd
{
public:
    explicit CSyncSocketExHiddenWnd(CSyncSocketEx& owner); // creates the window on the calling thread

protected:
    LRESULT OnReceiveCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnSocketClosed(WPARAM wParam, LPARAM lParam);
    LRESULT OnServerTime(WPARAM wParam, LPARAM lParam);
    LRESULT OnOwnerError(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    CSyncSocketEx& m_owner;
};
