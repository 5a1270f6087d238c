#pragma once
#include "framework/Platform.h"

class CObject;
class CArchive;

// Run-time class information of a CObject class: its name, its base, and how to create one.
// Instances are constant data made by IMPLEMENT_DYNAMIC / IMPLEMENT_DYNCREATE.
struct CRuntimeClass
{
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;                  // 0xFFFF: not serialisable
    CObject* (*m_pfnCreateObject)(); // null unless the class is dynamically creatable
    const CRuntimeClass* m_pBaseClass;

    CObject* CreateObject() const; // null when the class cannot be created by name
    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
};

// The root of the framework's objects: a virtual destructor, so that containers of CObject pointers
// delete the whole object, and run-time class information for IsKindOf.
class CObject
{
public:
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;
    virtual void Serialize(CArchive& ar); // nothing to store at this level
    virtual void AssertValid() const {}

    BOOL IsKindOf(const CRuntimeClass* pClass) const;
    BOOL IsSerializable() const;

    static const CRuntimeClass classCObject;

protected:
    CObject() = default;
    // Derived records may choose to be copyable; a bare CObject is never copied or sliced.
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                                                                                    \
public:                                                                                                                \
    static const CRuntimeClass class##class_name;                                                                      \
    const CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name)                                                                                  \
    DECLARE_DYNAMIC(class_name)                                                                                        \
    static CObject* CreateObject();

#define IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, pfnNew)                                           \
    const CRuntimeClass class_name::class##class_name = {#class_name, static_cast<int>(sizeof(class_name)), wSchema,   \
                                                         pfnNew, RUNTIME_CLASS(base_class_name)};                      \
    const CRuntimeClass* class_name::GetRuntimeClass() const                                                           \
    {                                                                                                                  \
        return RUNTIME_CLASS(class_name);                                                                              \
    }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                                                 \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)                                                               \
    CObject* class_name::CreateObject()                                                                                \
    {                                                                                                                  \
        return new class_name;                                                                                         \
    }                                                                                                                  \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, class_name::CreateObject)

// An opaque place in a CList or CMap; NULL is "before the first" or "after the last".
struct CPositionTag; // never defined: a POSITION is only handed back to the container that made it
using POSITION = CPositionTag*;
