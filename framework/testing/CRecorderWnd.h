#pragma once
#include "framework/CHandleOwner.h"
#include <functional>
#include <vector>
// A raw message-only window (no CWnd, no message map) that records the private messages (WM_APP
// and above, or from the first number it is given: WM_USER for a window's own) that reach it, each with its time of
// arrival, for code that notifies a window handle.
struct CRecordedMessage
{
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    ULONGLONG tick; // GetTickCount64() on arrival
};

class CRecorderWnd
{
public:
    explicit CRecorderWnd(UINT nFirstRecorded = WM_APP);
    CRecorderWnd(const CRecorderWnd&) = delete; // the window holds `this`
    CRecorderWnd& operator=(const CRecorderWnd&) = delete;
    HWND Handle() const { return m_hWnd; }
    void Destroy() { m_hWnd.Close(); }

    std::vector<CRecordedMessage> m_seen;
    std::function<void()> m_onMessage; // runs after each recorded message

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    UINT m_nFirstRecorded;
    CWindowHandle m_hWnd;
};
