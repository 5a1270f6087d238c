#pragma once
class CComboBox;
// WM_LISTEDIT_FILLCOMBO: the parent adds the entries of the combo that edits the cell.
struct FILLCOMBOREQUEST
{
    int m_nItem = 0;
    int m_nColumn = 0; // logical
    CComboBox* m_pCombo = nullptr;
};
