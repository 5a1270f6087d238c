#include "framework/CBitmap.h"
#include "framework/CDC.h"
#include "framework/CWnd.h"

IMPLEMENT_DYNAMIC(CBitmap, CGdiObject)

BOOL CBitmap::LoadBitmap(LPCWSTR lpszResourceName)
{
    HINSTANCE hInst = AfxFindResourceHandle(lpszResourceName, RT_BITMAP);
    return AttachCreated(::LoadBitmapW(hInst, lpszResourceName));
}

BOOL CBitmap::LoadOEMBitmap(UINT nIDBitmap)
{
    return AttachCreated(::LoadBitmapW(nullptr, MAKEINTRESOURCEW(nIDBitmap)));
}

BOOL CBitmap::CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitcount, const void* lpBits)
{
    return AttachCreated(::CreateBitmap(nWidth, nHeight, nPlanes, nBitcount, lpBits));
}

BOOL CBitmap::CreateBitmapIndirect(const BITMAP* lpBitmap)
{
    return AttachCreated(::CreateBitmapIndirect(lpBitmap));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight)
{
    if (!pDC || !pDC->GetSafeHdc())
    {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return AttachCreated(::CreateCompatibleBitmap(pDC->GetSafeHdc(), nWidth, nHeight));
}

CSize CBitmap::SetBitmapDimension(int nWidth, int nHeight)
{
    SIZE old{0, 0};
    ::SetBitmapDimensionEx(*this, nWidth, nHeight, &old);
    return CSize(old);
}

CSize CBitmap::GetBitmapDimension() const
{
    SIZE size{0, 0};
    ::GetBitmapDimensionEx(*this, &size);
    return CSize(size);
}
