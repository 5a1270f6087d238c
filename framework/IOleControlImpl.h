#pragma once
#include <ocidl.h>
// IOleControl for a control T without mnemonics: ambient changes and frozen events need no work.
template <class T> class IOleControlImpl : public IOleControl
{
public:
    STDMETHOD(GetControlInfo)(CONTROLINFO*) override { return E_NOTIMPL; }
    STDMETHOD(OnMnemonic)(MSG*) override { return E_NOTIMPL; }
    STDMETHOD(OnAmbientPropertyChange)(DISPID) override { return S_OK; }
    STDMETHOD(FreezeEvents)(BOOL) override { return S_OK; }
};
