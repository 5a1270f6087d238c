#pragma once
#include "framework/CWnd.h"
#include <ostream>
#include <vector>
// A real top-level window to put controls on in tests. It logs what reaches it as a parent:
// WM_COMMAND and WM_NOTIFY that no child took by reflection, and private messages (WM_USER and
// above). Clear() before the act, then compare Seen() with what the act should cause.

struct CSeenMessage
{
    UINT message;  // WM_COMMAND, WM_NOTIFY or the private message
    UINT_PTR id;   // control id (wParam for private messages)
    LONG_PTR code; // notification code (lParam for private messages)
    bool operator==(const CSeenMessage&) const = default;
};
std::ostream& operator<<(std::ostream& os, const CSeenMessage& m);
using Seq = std::vector<CSeenMessage>;

class CRecordingParent : public CWnd
{
public:
    // A visible overlapped window of the given client size at the top-left of the screen.
    BOOL Create(int nWidth = 400, int nHeight = 300, LPCWSTR lpszTitle = L"test parent");
    void Clear() { m_seen.clear(); }
    const Seq& Seen() const { return m_seen; }
    // What the parent answers to WM_NOTIFY (some notifications read it, e.g. to refuse an edit).
    LRESULT m_notifyResult = 0;

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    Seq m_seen;
};
