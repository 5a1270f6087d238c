#pragma once
#include "framework/CArchive.h"

// The archive the engine reads surveys and interviews from: a framework archive that also carries the
// version of the engine's forms.
class CArchiveVersion : public CArchive
{
public:
    CArchiveVersion(CFile* pFile, UINT nMode, int nBufSize = 4096, void* lpBuf = nullptr)
        : CArchive(pFile, nMode, nBufSize, lpBuf)
    {
    }
    int m_nVersion = 1;
};
