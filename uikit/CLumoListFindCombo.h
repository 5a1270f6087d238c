#pragma once
#include "framework/CComboBox.h"
#include "uikit/IEditedValueSink.h"
// A combo box the search dialog places over a field with a fixed choice while the agent edits it.
// Each selection is handed to the owner at once: nothing for the first entry, then "-1", "0", "1"
// ... by entry. It hides itself when it loses the focus.
class CLumoListFindCombo : public CComboBox
{
public:
    CLumoListFindCombo() = default;
    // Set by the owner before the combo is shown; while it is null the combo hands nothing over.
    IEditedValueSink* m_pFindDlg = nullptr;

protected:
    void OnSelChange();
    void OnLoseFocus();
    DECLARE_MESSAGE_MAP()
};
