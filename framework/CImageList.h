#pragma once
#include "framework/CHandleOwner.h"
#include "framework/CObject.h"
#include "framework/CRect.h"
class CBitmap;
class CDC;
// CImageList: an image list it owns (destroyed with the object). FromHandle gives a temporary
// wrapper of the calling thread (e.g. of a list view's list), freed at its next idle time.
class CImageList : public CObject
{
    DECLARE_DYNAMIC(CImageList)

public:
    CImageList() = default;
    ~CImageList() override = default;
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    HIMAGELIST GetSafeHandle() const noexcept { return m_hImageList.Get(); }
    operator HIMAGELIST() const noexcept { return m_hImageList.Get(); }
    static CImageList* FromHandle(HIMAGELIST hImageList);
    BOOL Attach(HIMAGELIST hImageList); // FALSE when null or this object holds one
    HIMAGELIST Detach() noexcept { return m_hImageList.Detach(); }
    BOOL DeleteImageList();

    // nFlags: ILC_COLOR32, ILC_MASK, ...
    BOOL Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow);
    // From a bitmap resource of images cx wide; crMask is the transparent colour (CLR_NONE: none).
    BOOL Create(UINT nBitmapID, int cx, int nGrow, COLORREF crMask);

    int GetImageCount() const { return ::ImageList_GetImageCount(*this); }
    BOOL GetImageInfo(int nImage, IMAGEINFO* pImageInfo) const
    {
        return ::ImageList_GetImageInfo(*this, nImage, pImageInfo);
    }
    BOOL GetIconSize(int* cx, int* cy) const { return ::ImageList_GetIconSize(*this, cx, cy); }
    // The new image's index, or -1.
    int Add(CBitmap* pbmImage, CBitmap* pbmMask);
    int Add(CBitmap* pbmImage, COLORREF crMask);
    int Add(HICON hIcon) { return ::ImageList_ReplaceIcon(*this, -1, hIcon); }
    BOOL Replace(int nImage, CBitmap* pbmImage, CBitmap* pbmMask);
    int Replace(int nImage, HICON hIcon) { return ::ImageList_ReplaceIcon(*this, nImage, hIcon); }
    BOOL Remove(int nImage) { return ::ImageList_Remove(*this, nImage); }
    BOOL SetImageCount(UINT uNewCount) { return ::ImageList_SetImageCount(*this, uNewCount); }
    COLORREF SetBkColor(COLORREF cr) { return ::ImageList_SetBkColor(*this, cr); }
    COLORREF GetBkColor() const { return ::ImageList_GetBkColor(*this); }
    BOOL SetOverlayImage(int nImage, int nOverlay) { return ::ImageList_SetOverlayImage(*this, nImage, nOverlay); }
    // nStyle: ILD_NORMAL, ILD_TRANSPARENT, ILD_SELECTED, ...
    BOOL Draw(CDC* pDC, int nImage, POINT pt, UINT nStyle);
    // A new icon the caller destroys (DestroyIcon), or null.
    HICON ExtractIcon(int nImage) { return ::ImageList_GetIcon(*this, nImage, ILD_NORMAL); }

private:
    CImageListHandle m_hImageList;
};
