#include "sessions/CSmartObject.h"

void SmartObjectPtrAddRef(CSmartObject* pObject)
{
    if (pObject) pObject->m_nRefCount.fetch_add(1);
}

void SmartObjectPtrRelease(CSmartObject* pObject)
{
    // Only the thread that takes the count from 1 to 0 sees 1 here; the object is not touched
    // after another thread may have deleted it.
    if (pObject && pObject->m_nRefCount.fetch_sub(1) == 1) delete pObject;
}
