#pragma once
#include "framework/CComControlBase.h"
#include <ocidl.h>
// IOleInPlaceObjectWindowless for a control T: deactivation and position. A windowless control
// takes no window message of the container (OnWindowMessage: S_FALSE, not handled).
template <class T> class IOleInPlaceObjectWindowlessImpl : public IOleInPlaceObjectWindowless
{
public:
    STDMETHOD(GetWindow)(HWND* phwnd) override { return Control()->IOleWindow_GetWindow(phwnd); }
    STDMETHOD(ContextSensitiveHelp)(BOOL) override { return E_NOTIMPL; }
    STDMETHOD(InPlaceDeactivate)() override { return Control()->IOleInPlaceObject_InPlaceDeactivate(); }
    STDMETHOD(UIDeactivate)() override { return S_OK; } // never UI active
    STDMETHOD(SetObjectRects)(LPCRECT lprcPosRect, LPCRECT lprcClipRect) override
    {
        return Control()->IOleInPlaceObject_SetObjectRects(lprcPosRect, lprcClipRect);
    }
    STDMETHOD(ReactivateAndUndo)() override { return E_NOTIMPL; }
    STDMETHOD(OnWindowMessage)(UINT, WPARAM, LPARAM, LRESULT* plResult) override
    {
        if (plResult) *plResult = 0;
        return S_FALSE;
    }
    STDMETHOD(GetDropTarget)(IDropTarget** ppDropTarget) override
    {
        if (ppDropTarget) *ppDropTarget = nullptr;
        return E_NOTIMPL;
    }

private:
    T* Control() noexcept { return static_cast<T*>(this); }
};
