#pragma once
#include "framework/IConnectionPointImpl.h"
#include "ComTestServer.h"
// The test control's event source: one firing operation per event of _ITestEvents.
template <class T> class CProxy_ITestEvents : public IConnectionPointImpl<T, &DIID__ITestEvents>
{
public:
    HRESULT Fire_Everything(SHORT i2, LONG i4, ULONG ui4, bool flag, BSTR text, ITestCollection* object, VARIANT* bytes)
    {
        VARIANT byRef;
        ::VariantInit(&byRef);
        byRef.vt = VT_BYREF | VT_VARIANT;
        byRef.pvarVal = bytes;
        return this->FireEvent(1, false, i2, i4, ui4, flag, text, object, byRef);
    }
    HRESULT Fire_Ping(LONG n) { return this->FireEvent(2, false, n); }
};
