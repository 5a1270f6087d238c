#include "framework/CImageList.h"
#include "framework/CBitmap.h"
#include "framework/CDC.h"
#include "framework/CTempHandleMap.h"
#include "framework/CWnd.h"

IMPLEMENT_DYNAMIC(CImageList, CObject)

namespace
{
using ImageListTempMap = CTempHandleMap<HIMAGELIST, CImageList>;
} // namespace

CImageList* CImageList::FromHandle(HIMAGELIST hImageList)
{
    if (!hImageList) return nullptr;
    return ImageListTempMap::Get(hImageList, [hImageList] {
        auto* p = new CImageList;
        p->m_hImageList.Attach(hImageList);
        return p;
    });
}

BOOL CImageList::Attach(HIMAGELIST hImageList)
{
    if (!hImageList || m_hImageList.IsValid())
    {
        ::SetLastError(hImageList ? ERROR_ALREADY_EXISTS : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    m_hImageList.Attach(hImageList);
    return TRUE;
}

BOOL CImageList::DeleteImageList()
{
    if (!m_hImageList.IsValid()) return FALSE;
    return ::ImageList_Destroy(m_hImageList.Detach());
}

BOOL CImageList::Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow)
{
    if (m_hImageList.IsValid()) return FALSE;
    HIMAGELIST h = ::ImageList_Create(cx, cy, nFlags, nInitial, nGrow);
    return h ? Attach(h) : FALSE;
}

BOOL CImageList::Create(UINT nBitmapID, int cx, int nGrow, COLORREF crMask)
{
    if (m_hImageList.IsValid()) return FALSE;
    LPCWSTR name = MAKEINTRESOURCEW(nBitmapID);
    HIMAGELIST h = ::ImageList_LoadImageW(AfxFindResourceHandle(name, RT_BITMAP), name, cx, nGrow, crMask, IMAGE_BITMAP,
                                          LR_CREATEDIBSECTION);
    return h ? Attach(h) : FALSE;
}

int CImageList::Add(CBitmap* pbmImage, CBitmap* pbmMask)
{
    if (!pbmImage) return -1;
    return ::ImageList_Add(*this, *pbmImage, pbmMask ? static_cast<HBITMAP>(*pbmMask) : nullptr);
}

int CImageList::Add(CBitmap* pbmImage, COLORREF crMask)
{
    if (!pbmImage) return -1;
    return ::ImageList_AddMasked(*this, *pbmImage, crMask);
}

BOOL CImageList::Replace(int nImage, CBitmap* pbmImage, CBitmap* pbmMask)
{
    if (!pbmImage) return FALSE;
    return ::ImageList_Replace(*this, nImage, *pbmImage, pbmMask ? static_cast<HBITMAP>(*pbmMask) : nullptr);
}

BOOL CImageList::Draw(CDC* pDC, int nImage, POINT pt, UINT nStyle)
{
    if (!pDC) return FALSE;
    return ::ImageList_Draw(*this, nImage, pDC->GetSafeHdc(), pt.x, pt.y, nStyle);
}
