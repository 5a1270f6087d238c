#pragma once
#include "framework/Platform.h"
#include <cstddef>
// The root of the image family: one heap block holding a packed DIB (header, colour table, rows),
// or none. Every block of the family comes from AllocBlock, so that a test can place each one
// before a no-access page and see any write past its end.
class CImageBase
{
public:
    using BlockAllocFn = void* (*)(size_t nBytes); // zero-filled block, or null
    using BlockFreeFn = void (*)(void* pBlock);

    CImageBase() = default;
    virtual ~CImageBase();
    CImageBase(const CImageBase&) = delete; // a block has one owner; copies go through CImageCP::Copy
    CImageBase& operator=(const CImageBase&) = delete;

    // Frees the block unconditionally; CImageCP's override spares a block it only shares.
    virtual void Release();
    virtual int Draw(HDC hDC, int x, int y, int cx = -1, int cy = -1, int xSrc = 0, int ySrc = 0, int cxSrc = -1,
                     int cySrc = -1) = 0;

    void FreeBits();

    // Both null restores the default (calloc and free).
    static void SetBlockAllocator(BlockAllocFn pAlloc, BlockFreeFn pFree);
    static void* AllocBlock(size_t nBytes);
    static void FreeBlock(void* pBlock);

protected:
    BYTE* m_pDib = nullptr;
};
