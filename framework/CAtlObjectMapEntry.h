#pragma once
#include "framework/Platform.h"
#include <objbase.h>
// One creatable class of a COM server: what DllGetClassObject and the registration need of it.
// OBJECT_ENTRY_AUTO links one per class into the module's object map while the server's
// statics are built, so the map is complete before DllMain runs.
struct CAtlObjectMapEntry
{
    const CLSID* pclsid;
    HRESULT(WINAPI* pfnCreateInstance)(void* pUnkOuter, REFIID riid, void** ppv); // pUnkOuter: IUnknown* or null
    HRESULT (*pfnUpdateRegistry)(BOOL bRegister);
    LPCWSTR (*pfnGetObjectDescription)();
    DWORD (*pfnGetMiscStatus)();
    CAtlObjectMapEntry* pNext;
};

// Appends an entry to the object map of the module it is linked into (kept in declaration order).
void AtlAddObjectMapEntry(CAtlObjectMapEntry* pEntry);
// The first entry of this module's object map; null when the module has none.
CAtlObjectMapEntry* AtlGetFirstObjectMapEntry();

#define OBJECT_ENTRY_AUTO(clsid, class_)                                                                               \
    namespace                                                                                                          \
    {                                                                                                                  \
    CAtlObjectMapEntry g_objectMapEntry_##class_ = {&clsid,                                                            \
                                                    &class_::_CreatorClass::CreateInstance,                            \
                                                    &class_::UpdateRegistry,                                           \
                                                    &class_::GetObjectDescription,                                     \
                                                    &class_::GetMiscStatus,                                            \
                                                    nullptr};                                                          \
    const bool g_objectMapEntryAdded_##class_ = (AtlAddObjectMapEntry(&g_objectMapEntry_##class_), true);              \
    }
