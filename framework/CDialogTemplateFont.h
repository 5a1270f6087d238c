#pragma once
#include "framework/CString.h"
#include "framework/Platform.h"
#include <vector>
// The font a dialog template names (DS_SETFONT), and a copy of the template for a system that lacks
// that face. Without the face the system picks any font it has, whatever its widths, and every
// control laid out in dialog units for the named font gets texts of another size. The copy names
// instead the installed face whose dialog base units at that size are the platform dialog font's.
class CDialogTemplateFont
{
public:
    // Reads the font of a DIALOG or DIALOGEX template; false when the template sets none.
    bool Read(LPCDLGTEMPLATE pTemplate);
    const CString& GetFaceName() const { return m_strFace; }
    WORD GetPointSize() const { return m_nPointSize; }

    // Fills a copy of the template naming the fallback face when the template's face is missing;
    // false (the copy left empty) when the template can be used as it is.
    bool MakeFallbackCopy(LPCDLGTEMPLATE pTemplate, std::vector<BYTE>& copy);

    // Whether the system has the face itself, or the face its font substitutes name for it.
    static bool IsFaceInstalled(LPCWSTR pszFace, WORD nPointSize);
    // The installed proportional face whose dialog base width at the point size is nearest to the
    // platform dialog font's, sans-serif faces first; empty when the system lists no face.
    static CString FindFallbackFace(WORD nPointSize);
    // The horizontal dialog base unit of a face at a point size on the screen, as dialogs compute it.
    static int MeasureBaseWidth(LPCWSTR pszFace, WORD nPointSize);

private:
    bool Parse(LPCDLGTEMPLATE pTemplate);

    CString m_strFace;
    WORD m_nPointSize = 0;
    size_t m_nFaceOffset = 0;  // bytes from the template's start
    size_t m_nItemsOffset = 0; // the first control, DWORD aligned
    size_t m_nSize = 0;        // the whole template, controls included
};
