#pragma once
#include "framework/Platform.h"
#include <vector>
// A dialog template in memory (DLGTEMPLATE and its DLGITEMTEMPLATEs, in dialog units), for tests
// that need the dialog manager and controls made from a template, without a resource file.
class CDialogTemplateBuilder
{
public:
    // lpszFace: the face of the dialog's 8-point font.
    CDialogTemplateBuilder(LPCWSTR lpszCaption, DWORD dwStyle, short cx, short cy, LPCWSTR lpszFace = L"MS Shell Dlg");
    // lpszClass: a registered class name ("EDIT", "SysListView32", ...).
    CDialogTemplateBuilder& AddControl(LPCWSTR lpszClass, LPCWSTR lpszText, DWORD dwStyle, short x, short y, short cx,
                                       short cy, WORD nID);
    LPCDLGTEMPLATE Get() const { return reinterpret_cast<LPCDLGTEMPLATE>(m_words.data()); }

private:
    void AddText(LPCWSTR text);
    void AlignToDword();
    std::vector<WORD> m_words;
};
