#include "sessions/CLumoObject.h"

CLumoObject::CLumoObject() = default;

CLumoObject::~CLumoObject() = default;

void DeleteObArray(CObArray& arr)
{
    for (CObject* pObject : arr)
        delete pObject;
    arr.RemoveAll();
}
