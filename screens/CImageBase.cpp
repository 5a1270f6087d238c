#include "screens/CImageBase.h"
#include <cstdlib>

namespace
{
void* DefaultAlloc(size_t nBytes)
{
    return std::calloc(1, nBytes);
}
void DefaultFree(void* pBlock)
{
    std::free(pBlock);
}
CImageBase::BlockAllocFn g_pAlloc = DefaultAlloc;
CImageBase::BlockFreeFn g_pFree = DefaultFree;
} // namespace

CImageBase::~CImageBase()
{
    FreeBits();
}

void CImageBase::Release()
{
    FreeBits();
}

void CImageBase::FreeBits()
{
    if (m_pDib) FreeBlock(m_pDib);
    m_pDib = nullptr;
}

void CImageBase::SetBlockAllocator(BlockAllocFn pAlloc, BlockFreeFn pFree)
{
    g_pAlloc = pAlloc ? pAlloc : DefaultAlloc;
    g_pFree = pFree ? pFree : DefaultFree;
}

void* CImageBase::AllocBlock(size_t nBytes)
{
    return nBytes ? g_pAlloc(nBytes) : nullptr;
}

void CImageBase::FreeBlock(void* pBlock)
{
    if (pBlock) g_pFree(pBlock);
}
