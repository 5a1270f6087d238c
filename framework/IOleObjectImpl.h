#pragma once
#include "framework/CComControlBase.h"
#include <oleidl.h>
// IOleObject for a control T (derived from CComControl<T> and CComCoClass): site, in-place
// activation by verb, extent, advise holder and misc status. No monikers, no data transfer; the
// user type and verbs come from the registry (OLE_S_USEREG).
template <class T> class IOleObjectImpl : public IOleObject
{
public:
    STDMETHOD(SetClientSite)(IOleClientSite* pClientSite) override
    {
        return Control()->IOleObject_SetClientSite(pClientSite);
    }
    STDMETHOD(GetClientSite)(IOleClientSite** ppClientSite) override
    {
        return Control()->m_spClientSite.CopyTo(ppClientSite);
    }
    STDMETHOD(SetHostNames)(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHOD(Close)(DWORD dwSaveOption) override { return Control()->IOleObject_Close(dwSaveOption); }
    STDMETHOD(SetMoniker)(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHOD(GetMoniker)(DWORD, DWORD, IMoniker** ppmk) override
    {
        if (ppmk) *ppmk = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(InitFromData)(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(GetClipboardData)(DWORD, IDataObject** ppDataObject) override
    {
        if (ppDataObject) *ppDataObject = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(DoVerb)(LONG iVerb, LPMSG, IOleClientSite* pActiveSite, LONG, HWND, LPCRECT lprcPosRect) override
    {
        T* pControl = Control();
        if (!pControl->m_spClientSite && pActiveSite) pControl->IOleObject_SetClientSite(pActiveSite);
        switch (iVerb)
        {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE:
        case OLEIVERB_UIACTIVATE:
            return pControl->InPlaceActivate(iVerb, lprcPosRect);
        case OLEIVERB_HIDE:
            if (pControl->m_hWnd) ::ShowWindow(pControl->m_hWnd, SW_HIDE);
            return S_OK;
        default:
            return E_NOTIMPL; // no property pages, no opening in a window of its own
        }
    }
    STDMETHOD(EnumVerbs)(IEnumOLEVERB** ppEnumOleVerb) override
    {
        if (ppEnumOleVerb) *ppEnumOleVerb = nullptr;
        return OLE_S_USEREG;
    }
    STDMETHOD(Update)() override { return S_OK; }
    STDMETHOD(IsUpToDate)() override { return S_OK; }
    STDMETHOD(GetUserClassID)(CLSID* pClsid) override
    {
        if (!pClsid) return E_POINTER;
        *pClsid = T::GetObjectCLSID();
        return S_OK;
    }
    STDMETHOD(GetUserType)(DWORD, LPOLESTR* pszUserType) override
    {
        if (pszUserType) *pszUserType = nullptr;
        return OLE_S_USEREG;
    }
    STDMETHOD(SetExtent)(DWORD dwDrawAspect, SIZEL* psizel) override
    {
        if (!psizel) return E_POINTER;
        if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        Control()->m_sizeExtent = *psizel;
        return S_OK;
    }
    STDMETHOD(GetExtent)(DWORD dwDrawAspect, SIZEL* psizel) override
    {
        if (!psizel) return E_POINTER;
        if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        *psizel = Control()->m_sizeExtent;
        return S_OK;
    }
    STDMETHOD(Advise)(IAdviseSink* pAdvSink, DWORD* pdwConnection) override
    {
        T* pControl = Control();
        if (!pControl->m_spOleAdviseHolder)
        {
            const HRESULT hr = ::CreateOleAdviseHolder(&pControl->m_spOleAdviseHolder);
            if (FAILED(hr)) return hr;
        }
        return pControl->m_spOleAdviseHolder->Advise(pAdvSink, pdwConnection);
    }
    STDMETHOD(Unadvise)(DWORD dwConnection) override
    {
        T* pControl = Control();
        return pControl->m_spOleAdviseHolder ? pControl->m_spOleAdviseHolder->Unadvise(dwConnection)
                                             : OLE_E_NOCONNECTION;
    }
    STDMETHOD(EnumAdvise)(IEnumSTATDATA** ppenumAdvise) override
    {
        if (!ppenumAdvise) return E_POINTER;
        *ppenumAdvise = nullptr;
        T* pControl = Control();
        return pControl->m_spOleAdviseHolder ? pControl->m_spOleAdviseHolder->EnumAdvise(ppenumAdvise) : E_FAIL;
    }
    STDMETHOD(GetMiscStatus)(DWORD, DWORD* pdwStatus) override
    {
        if (!pdwStatus) return E_POINTER;
        *pdwStatus = T::GetMiscStatus();
        return S_OK;
    }
    STDMETHOD(SetColorScheme)(LOGPALETTE*) override { return E_NOTIMPL; }

private:
    T* Control() noexcept { return static_cast<T*>(this); }
};
