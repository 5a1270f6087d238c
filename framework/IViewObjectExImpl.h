#pragma once
#include "framework/CComControlBase.h"
#include <ocidl.h>
// IViewObjectEx (and IViewObject2, IViewObject) for a control T: Draw runs T's OnDraw; the view's
// advise sink is told when the control asks for a redraw while not active in place.
template <class T> class IViewObjectExImpl : public IViewObjectEx
{
public:
    STDMETHOD(Draw)
    (DWORD dwDrawAspect, LONG lindex, void*, DVTARGETDEVICE* ptd, HDC hdcTargetDev, HDC hdcDraw, LPCRECTL lprcBounds,
     LPCRECTL lprcWBounds, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override
    {
        return Control()->IViewObject_Draw(dwDrawAspect, lindex, ptd, hdcTargetDev, hdcDraw, lprcBounds, lprcWBounds);
    }
    STDMETHOD(GetColorSet)(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** ppColorSet) override
    {
        if (ppColorSet) *ppColorSet = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(Freeze)(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(Unfreeze)(DWORD) override { return E_NOTIMPL; }
    STDMETHOD(SetAdvise)(DWORD, DWORD advf, IAdviseSink* pAdvSink) override
    {
        Control()->m_spAdviseSink = pAdvSink;
        Control()->m_dwViewAdviseFlags = advf;
        return S_OK;
    }
    STDMETHOD(GetAdvise)(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) override
    {
        if (pAspects) *pAspects = DVASPECT_CONTENT;
        if (pAdvf) *pAdvf = Control()->m_dwViewAdviseFlags;
        return ppAdvSink ? Control()->m_spAdviseSink.CopyTo(ppAdvSink) : S_OK;
    }
    STDMETHOD(GetExtent)(DWORD dwDrawAspect, LONG, DVTARGETDEVICE*, LPSIZEL lpsizel) override
    {
        if (!lpsizel) return E_POINTER;
        if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        *lpsizel = Control()->m_sizeExtent;
        return S_OK;
    }
    STDMETHOD(GetRect)(DWORD dwAspect, LPRECTL pRect) override
    {
        if (!pRect) return E_POINTER;
        if (dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        const RECT& rc = Control()->m_rcPos;
        *pRect = RECTL{rc.left, rc.top, rc.right, rc.bottom};
        return S_OK;
    }
    STDMETHOD(GetViewStatus)(DWORD* pdwStatus) override
    {
        if (!pdwStatus) return E_POINTER;
        *pdwStatus = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
        return S_OK;
    }
    STDMETHOD(QueryHitPoint)(DWORD dwAspect, LPCRECT pRectBounds, POINT ptlLoc, LONG, DWORD* pHitResult) override
    {
        if (!pRectBounds || !pHitResult) return E_POINTER;
        if (dwAspect != DVASPECT_CONTENT) return E_FAIL;
        *pHitResult = ::PtInRect(pRectBounds, ptlLoc) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
        return S_OK;
    }
    STDMETHOD(QueryHitRect)(DWORD dwAspect, LPCRECT pRectBounds, LPCRECT pRectLoc, LONG, DWORD* pHitResult) override
    {
        if (!pRectBounds || !pRectLoc || !pHitResult) return E_POINTER;
        if (dwAspect != DVASPECT_CONTENT) return E_FAIL;
        RECT overlap{};
        *pHitResult = ::IntersectRect(&overlap, pRectBounds, pRectLoc) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
        return S_OK;
    }
    STDMETHOD(GetNaturalExtent)(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL) override
    {
        return E_NOTIMPL;
    }

private:
    T* Control() noexcept { return static_cast<T*>(this); }
};
