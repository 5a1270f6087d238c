#pragma once
#include "framework/CHandleOwner.h"
#include "framework/CObject.h"
#include <typeindex>
// CGdiObject: the owner of one GDI object (pen, brush, font, bitmap, region), deleted with the
// object. FromHandle wraps a borrowed handle in a temporary wrapper of the calling thread, freed
// at its next idle time without deleting the handle; never keep such a pointer.
//
// Select an owned object into a DC through CSelectObject, which puts the old one back before the
// owner deletes it.
class CGdiObject : public CObject
{
    DECLARE_DYNAMIC(CGdiObject)

public:
    CGdiObject() = default;
    ~CGdiObject() override = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ GetSafeHandle() const noexcept { return m_hObject.Get(); }
    operator HGDIOBJ() const noexcept { return m_hObject.Get(); }
    // FALSE when the handle is null or this object already holds one.
    BOOL Attach(HGDIOBJ hObject);
    HGDIOBJ Detach() noexcept { return m_hObject.Detach(); }
    // FALSE when there was nothing to delete.
    BOOL DeleteObject();
    int GetObject(int nCount, LPVOID lpObject) const;
    UINT GetObjectType() const;
    BOOL UnrealizeObject();

    static CGdiObject* FromHandle(HGDIOBJ hObject);
    static void DeleteTempMap(); // this thread's temporary wrappers of every GDI kind

protected:
    // The temporary wrapper of the derived kind T (one per handle and kind).
    template <class T> static T* FromHandleOf(HGDIOBJ hObject);
    // Takes a newly created handle; FALSE (last error kept) when creation failed.
    BOOL AttachCreated(HGDIOBJ hObject);

private:
    static CGdiObject* FromHandleOfClass(HGDIOBJ hObject, std::type_index kind, CGdiObject* (*pfnMake)());
    CGdiHandle<HGDIOBJ> m_hObject;
};

template <class T> T* CGdiObject::FromHandleOf(HGDIOBJ hObject)
{
    return static_cast<T*>(
        FromHandleOfClass(hObject, std::type_index(typeid(T)), []() -> CGdiObject* { return new T; }));
}
