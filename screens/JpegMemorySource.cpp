#include "screens/JpegMemorySource.h"
#include <algorithm>
#include <cstring>
#include <jerror.h>

namespace
{
constexpr size_t kBufferSize = 4096;

struct CSource
{
    jpeg_source_mgr pub;
    FILE* pFile;
    HGLOBAL hMemory;
    DWORD nPosition;
    DWORD nSize;
    JOCTET* pBuffer;
    boolean bStartOfFile;
};

void InitSource(j_decompress_ptr pInfo)
{
    reinterpret_cast<CSource*>(pInfo->src)->bStartOfFile = TRUE;
}

boolean FillInputBuffer(j_decompress_ptr pInfo)
{
    auto* pSource = reinterpret_cast<CSource*>(pInfo->src);
    size_t nRead = 0;
    if (pSource->pFile)
        nRead = std::fread(pSource->pBuffer, 1, kBufferSize, pSource->pFile);
    else if (pSource->hMemory && pSource->nPosition < pSource->nSize)
    {
        const BYTE* pData = static_cast<const BYTE*>(::GlobalLock(pSource->hMemory));
        if (pData)
        {
            nRead = std::min<size_t>(kBufferSize, pSource->nSize - pSource->nPosition);
            std::memcpy(pSource->pBuffer, pData + pSource->nPosition, nRead);
            pSource->nPosition += static_cast<DWORD>(nRead);
            ::GlobalUnlock(pSource->hMemory);
        }
    }
    if (nRead == 0)
    {
        if (pSource->bStartOfFile) ERREXIT(pInfo, JERR_INPUT_EMPTY);
        WARNMS(pInfo, JWRN_JPEG_EOF);
        // What is missing decodes as whatever the decoder makes of an end of image here.
        pSource->pBuffer[0] = 0xFF;
        pSource->pBuffer[1] = JPEG_EOI;
        nRead = 2;
    }
    pSource->pub.next_input_byte = pSource->pBuffer;
    pSource->pub.bytes_in_buffer = nRead;
    pSource->bStartOfFile = FALSE;
    return TRUE;
}

void SkipInputData(j_decompress_ptr pInfo, long nCount)
{
    if (nCount <= 0) return;
    jpeg_source_mgr* pSource = pInfo->src;
    // Every refill brings at least two bytes, so the skip ends.
    while (nCount > static_cast<long>(pSource->bytes_in_buffer))
    {
        nCount -= static_cast<long>(pSource->bytes_in_buffer);
        FillInputBuffer(pInfo);
    }
    pSource->next_input_byte += nCount;
    pSource->bytes_in_buffer -= nCount;
}

void TermSource(j_decompress_ptr) {}
} // namespace

void JpegMemorySource(j_decompress_ptr pInfo, FILE* pFile, HGLOBAL hMemory, DWORD nSize)
{
    if (!pInfo->src)
    {
        auto* pSource = static_cast<CSource*>(
            (*pInfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(pInfo), JPOOL_PERMANENT, sizeof(CSource)));
        pSource->pBuffer = static_cast<JOCTET*>(
            (*pInfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(pInfo), JPOOL_PERMANENT, kBufferSize));
        pInfo->src = &pSource->pub;
    }
    auto* pSource = reinterpret_cast<CSource*>(pInfo->src);
    pSource->pub.init_source = InitSource;
    pSource->pub.fill_input_buffer = FillInputBuffer;
    pSource->pub.skip_input_data = SkipInputData;
    pSource->pub.resync_to_restart = jpeg_resync_to_restart;
    pSource->pub.term_source = TermSource;
    pSource->pub.bytes_in_buffer = 0;
    pSource->pub.next_input_byte = nullptr;
    pSource->pFile = pFile;
    pSource->hMemory = hMemory;
    pSource->nPosition = 0;
    pSource->nSize = nSize;
    pSource->bStartOfFile = TRUE;
}
