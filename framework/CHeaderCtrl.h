#pragma once
#include "framework/CWnd.h"
class CImageList;
// A header control (a list view's, usually). Every member sends the control's W message.
// HDF_OWNERDRAW items are drawn by DrawItem, reflected from the parent's WM_DRAWITEM.
class CHeaderCtrl : public CWnd
{
    DECLARE_DYNAMIC(CHeaderCtrl)

public:
    CHeaderCtrl() = default;
    using CWnd::Create;
    static CHeaderCtrl* FromHandle(HWND hWnd); // temporary wrapper unless the window is one of ours
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

    int GetItemCount() const { return static_cast<int>(SendMessage(HDM_GETITEMCOUNT)); }
    BOOL GetItem(int nPos, HDITEMW* pHeaderItem) const
    {
        return static_cast<BOOL>(SendMessage(HDM_GETITEMW, nPos, reinterpret_cast<LPARAM>(pHeaderItem)));
    }
    BOOL SetItem(int nPos, HDITEMW* pHeaderItem)
    {
        return static_cast<BOOL>(SendMessage(HDM_SETITEMW, nPos, reinterpret_cast<LPARAM>(pHeaderItem)));
    }
    int InsertItem(int nPos, HDITEMW* phdi)
    {
        return static_cast<int>(SendMessage(HDM_INSERTITEMW, nPos, reinterpret_cast<LPARAM>(phdi)));
    }
    BOOL DeleteItem(int nPos) { return static_cast<BOOL>(SendMessage(HDM_DELETEITEM, nPos)); }
    BOOL GetItemRect(int nIndex, LPRECT lpRect) const
    {
        return static_cast<BOOL>(SendMessage(HDM_GETITEMRECT, nIndex, reinterpret_cast<LPARAM>(lpRect)));
    }
    int OrderToIndex(int nOrder) const { return static_cast<int>(SendMessage(HDM_ORDERTOINDEX, nOrder)); }
    BOOL GetOrderArray(LPINT piArray, int iCount) const
    {
        return static_cast<BOOL>(SendMessage(HDM_GETORDERARRAY, iCount, reinterpret_cast<LPARAM>(piArray)));
    }
    BOOL SetOrderArray(int iCount, LPINT piArray)
    {
        return static_cast<BOOL>(SendMessage(HDM_SETORDERARRAY, iCount, reinterpret_cast<LPARAM>(piArray)));
    }
    int HitTest(LPHDHITTESTINFO pHeaderHitTestInfo)
    {
        return static_cast<int>(SendMessage(HDM_HITTEST, 0, reinterpret_cast<LPARAM>(pHeaderHitTestInfo)));
    }
    BOOL Layout(HDLAYOUT* pHeaderLayout)
    {
        return static_cast<BOOL>(SendMessage(HDM_LAYOUT, 0, reinterpret_cast<LPARAM>(pHeaderLayout)));
    }
    // The previous list (a temporary wrapper), or null.
    CImageList* SetImageList(CImageList* pImageList);
    CImageList* GetImageList() const;

    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};
