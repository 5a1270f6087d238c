#pragma once
#include "framework/CHandleOwner.h"
class CDC;
class CGdiObject;
// Selects a pen, brush, font or bitmap into a DC for its lifetime and selects the old object
// back in its destructor. Declare it after the object it selects, so that the object is
// deselected before its owner deletes it. (Regions are not selected but copied: use SelectClipRgn.)
class CSelectObject
{
public:
    CSelectObject(CDC& dc, CGdiObject& object);
    CSelectObject(HDC hDC, HGDIOBJ hObject);
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;
    ~CSelectObject() = default;

    // False when the selection failed (null DC or object, or a kind the DC refuses).
    bool IsSelected() const noexcept { return m_selection.IsValid(); }
    // The object that was selected before, and goes back.
    HGDIOBJ GetOldObject() const noexcept { return m_selection.Get().hOld; }

private:
    CGdiSelectionHandle m_selection;
};
