#pragma once
#include "framework/CWnd.h"
#include <functional>
#include <map>
#include <ostream>
#include <vector>
// A real top-level window to put controls on in tests. It logs what reaches it as a parent:
// WM_COMMAND and WM_NOTIFY that no child took by reflection, WM_CONTEXTMENU (id: the control id of
// the window clicked, code: the packed screen point) and private messages (WM_USER and above).
// Clear() before the act, then compare Seen() with what the act should cause.
//
// Answer functions reply to a notification code or a private message. They run while the
// sender's record lives (records belong to the sender): copy what the test needs, fill answers.

struct CSeenMessage
{
    UINT message;  // WM_COMMAND, WM_NOTIFY or the private message
    UINT_PTR id;   // control id (wParam for private messages)
    LONG_PTR code; // notification code as a UINT (lParam for private messages)
    bool operator==(const CSeenMessage&) const = default;
};
std::ostream& operator<<(std::ostream& os, const CSeenMessage& m);
using Seq = std::vector<CSeenMessage>;

class CRecordingParent : public CWnd
{
public:
    // A visible overlapped window of the given client size at the top-left of the screen.
    BOOL Create(int nWidth = 400, int nHeight = 300, LPCWSTR lpszTitle = L"test parent");
    // The dialog form: a visible modeless dialog from a template in memory (the dialog manager
    // applies; null: an empty one), recording the same way.
    BOOL CreateDialogForm(LPCDLGTEMPLATE lpTemplate = nullptr);
    void Clear() { m_seen.clear(); }
    const Seq& Seen() const { return m_seen; }
    // What the parent answers to WM_NOTIFY (some notifications read it, e.g. to refuse an edit).
    LRESULT m_notifyResult = 0;
    using NotifyAnswer = std::function<LRESULT(NMHDR* pNotify)>;
    using MessageAnswer = std::function<LRESULT(WPARAM wParam, LPARAM lParam)>;
    void AnswerNotify(UINT nCode, NotifyAnswer answer) { m_notifyAnswers[nCode] = std::move(answer); }
    void AnswerMessage(UINT message, MessageAnswer answer) { m_messageAnswers[message] = std::move(answer); }

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    Seq m_seen;
    std::map<UINT, NotifyAnswer> m_notifyAnswers;
    std::map<UINT, MessageAnswer> m_messageAnswers;
};
