#pragma once
#include "framework/CComControlBase.h"
// The base of an in-place control class T: T also derives from the OLE interface templates
// (IOleObjectImpl<T>, IOleInPlaceObjectWindowlessImpl<T>, IOleInPlaceActiveObjectImpl<T>,
// IViewObjectExImpl<T>, IOleControlImpl<T>), which reach the shared state through this base,
// and overrides OnDraw.
template <class T> class CComControl : public CComControlBase
{
};
