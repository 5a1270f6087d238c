#pragma once
#include "framework/CEdit.h"
#include "uikit/IEditedValueSink.h"
// An edit the number dialogs place over a free-text field while the agent edits it. The whole text
// is handed to the owners at every change; it hides itself when it loses the focus.
class CLumoListFindText : public CEdit
{
public:
    CLumoListFindText() = default;
    IEditedValueSink* m_pFindDlg = nullptr;    // the search dialog, when it owns the edit
    IEditedNumberSink* m_pChangeDlg = nullptr; // the number-change dialog, when it owns the edit

protected:
    void OnChange();
    void OnLoseFocus();
    DECLARE_MESSAGE_MAP()
};
