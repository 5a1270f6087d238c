#pragma once
#include "framework/CComControlBase.h"
#include <oleidl.h>
// IOleInPlaceActiveObject for a control T that is never UI active: it takes no accelerator and
// has no tools to show or hide.
template <class T> class IOleInPlaceActiveObjectImpl : public IOleInPlaceActiveObject
{
public:
    STDMETHOD(GetWindow)(HWND* phwnd) override { return static_cast<T*>(this)->IOleWindow_GetWindow(phwnd); }
    STDMETHOD(ContextSensitiveHelp)(BOOL) override { return E_NOTIMPL; }
    STDMETHOD(TranslateAccelerator)(LPMSG) override { return S_FALSE; }
    STDMETHOD(OnFrameWindowActivate)(BOOL) override { return S_OK; }
    STDMETHOD(OnDocWindowActivate)(BOOL) override { return S_OK; }
    STDMETHOD(ResizeBorder)(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHOD(EnableModeless)(BOOL) override { return S_OK; }
};
