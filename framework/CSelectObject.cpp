#include "framework/CSelectObject.h"
#include "framework/CDC.h"
#include "framework/CGdiObject.h"

CSelectObject::CSelectObject(CDC& dc, CGdiObject& object) : CSelectObject(dc.GetSafeHdc(), object.GetSafeHandle()) {}

CSelectObject::CSelectObject(HDC hDC, HGDIOBJ hObject)
{
    if (!hDC || !hObject) return;
    HGDIOBJ hOld = ::SelectObject(hDC, hObject);
    // Anything else (a failure, or a region's kind number) is not an object to put back.
    if (hOld && hOld != HGDI_ERROR && ::GetObjectType(hObject) != OBJ_REGION) m_selection.Attach({hDC, hOld});
}
