#include "framework/CGdiObject.h"
#include "framework/CTempHandleMap.h"

IMPLEMENT_DYNAMIC(CGdiObject, CObject)

namespace
{
// One wrapper per handle and kind: CBrush::FromHandle after CGdiObject::FromHandle of the same
// handle must not hand out the plain object as a brush.
using GdiTempKey = std::pair<HGDIOBJ, std::type_index>;
using GdiTempMap = CTempHandleMap<GdiTempKey, CGdiObject>;
} // namespace

BOOL CGdiObject::Attach(HGDIOBJ hObject)
{
    if (!hObject || m_hObject.IsValid())
    {
        ::SetLastError(hObject ? ERROR_ALREADY_EXISTS : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    m_hObject.Attach(hObject);
    return TRUE;
}

BOOL CGdiObject::AttachCreated(HGDIOBJ hObject)
{
    if (!hObject) return FALSE;
    if (m_hObject.IsValid())
    {
        // A second Create on the same object would leak the first handle's owner; refuse it.
        ::DeleteObject(hObject);
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    m_hObject.Attach(hObject);
    return TRUE;
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject.IsValid()) return FALSE;
    return ::DeleteObject(m_hObject.Detach());
}

int CGdiObject::GetObject(int nCount, LPVOID lpObject) const
{
    return ::GetObjectW(m_hObject.Get(), nCount, lpObject);
}

UINT CGdiObject::GetObjectType() const
{
    return static_cast<UINT>(::GetObjectType(m_hObject.Get()));
}

BOOL CGdiObject::UnrealizeObject()
{
    return ::UnrealizeObject(m_hObject.Get());
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ hObject)
{
    return FromHandleOf<CGdiObject>(hObject);
}

CGdiObject* CGdiObject::FromHandleOfClass(HGDIOBJ hObject, std::type_index kind, CGdiObject* (*pfnMake)())
{
    if (!hObject) return nullptr;
    return GdiTempMap::Get({hObject, kind}, [&] {
        CGdiObject* p = pfnMake();
        p->m_hObject.Attach(hObject);
        return p;
    });
}

void CGdiObject::DeleteTempMap()
{
    GdiTempMap::DeleteAll();
}
