#include "screens/CImageCP.h"
#include "framework/CHandleOwner.h"
#include "screens/CImageBMP.h"
#include "screens/CImageGIF.h"
#include "screens/CImageIcon.h"
#include "screens/CImageJPEG.h"
#include "screens/CImagePNG.h"
#include "screens/CImageTIFF.h"
#include <algorithm>
#include <cstring>
#include <memory>

namespace
{
// Reads the file through a temporary of the format class; on success the picture moves over,
// otherwise only the reader's text does and the old picture stays.
template <class TFormat> BOOL ReadThrough(CImageCP& image, FILE* pFile)
{
    TFormat temp;
    const BOOL bOk = temp.Read(pFile);
    if (bOk)
        image.Transfer(&temp);
    else
        image.SetErrorText(temp.GetErrorText());
    return bOk;
}

template <class TFormat> BOOL WriteThrough(CImageCP& image, FILE* pFile)
{
    TFormat temp;
    temp.Share(image);
    const BOOL bOk = temp.Write(pFile);
    image.SetErrorText(temp.GetErrorText());
    return bOk;
}
} // namespace

CImageCP::CImageCP()
{
    Init();
}

CImageCP::CImageCP(int /*nFileType*/)
{
    Init();
}

CImageCP::CImageCP(int nWidth, int nHeight, int nBitCount)
{
    Init();
    Create(nWidth, nHeight, nBitCount);
}

CImageCP::CImageCP(const CImageCP& other) : CImageBase()
{
    Init();
    Copy(other);
}

CImageCP::CImageCP(HBITMAP hBitmap, int nBitCount)
{
    Init();
    CreateFromBitmap(hBitmap, nBitCount);
}

CImageCP::CImageCP(HGLOBAL hPackedDib)
{
    Init();
    if (!hPackedDib) return;
    const SIZE_T nSize = ::GlobalSize(hPackedDib);
    const BYTE* pDib = static_cast<const BYTE*>(::GlobalLock(hPackedDib));
    if (!pDib) return;
    LoadPackedDib(pDib, nSize);
    ::GlobalUnlock(hPackedDib);
}

CImageCP::CImageCP(HICON /*hIcon*/)
{
    Init();
}

CImageCP::CImageCP(HGLOBAL hMemory, int nFileType)
{
    Init();
    ReadMemory(hMemory, nFileType);
}

CImageCP::CImageCP(const char* pszPath, int nFileType)
{
    Init();
    Open(pszPath, nFileType);
}

CImageCP::CImageCP(const wchar_t* pszPath, int nFileType)
{
    Init();
    Open(pszPath, nFileType);
}

CImageCP::~CImageCP()
{
    Release();
}

CImageCP& CImageCP::operator=(const CImageCP& other)
{
    Copy(other);
    return *this;
}

void CImageCP::Init()
{
    std::memset(&m_header, 0, sizeof(m_header));
    m_header.biSize = sizeof(BITMAPINFOHEADER);
    m_nEffWidth = 0;
    m_pBits = nullptr;
    m_pSharedFrom = nullptr;
    m_nColorType = 0;
    m_szError[0] = 0;
    m_nTransparentIndex = -1;
    m_nJpegQuality = 75;
    m_nFrameDelay = 0;
}

void CImageCP::SetErrorText(const char* pszText)
{
    if (pszText == m_szError) return;
    const size_t n = pszText ? strnlen(pszText, sizeof(m_szError) - 1) : 0;
    if (n) std::memcpy(m_szError, pszText, n);
    m_szError[n] = 0;
}

int CImageCP::NormalizeBitCount(int nBitCount)
{
    if (nBitCount <= 1) return 1;
    if (nBitCount <= 4) return 4;
    if (nBitCount <= 8) return 8;
    return 24;
}

BYTE* CImageCP::Create(int nWidth, int nHeight, int nBitCount)
{
    Release();
    const int nBits = NormalizeBitCount(nBitCount);
    const DWORD nColors = nBits <= 8 ? 1u << nBits : 0;
    // Sizes in 64 bits: a width or height taken from a file must not wrap into a small block.
    const uint64_t nEffWidth = nWidth > 0 ? (static_cast<uint64_t>(nWidth) * nBits + 31) / 32 * 4 : 0;
    const uint64_t nImage = nHeight > 0 ? nEffWidth * static_cast<uint64_t>(nHeight) : 0;
    const uint64_t nTotal = sizeof(BITMAPINFOHEADER) + 4ull * nColors + nImage;
    const char* pszRefusal = nullptr;
    if (nWidth < 1 || nHeight < 1)
        pszRefusal = "Invalid image size";
    else if (nTotal > kMaxBlockBytes)
        pszRefusal = "Image too large";
    BYTE* pBlock = pszRefusal ? nullptr : static_cast<BYTE*>(AllocBlock(static_cast<size_t>(nTotal)));
    if (!pBlock)
    {
        m_header.biWidth = m_header.biHeight = 0;
        m_header.biBitCount = 0;
        m_header.biClrUsed = m_header.biSizeImage = 0;
        m_nEffWidth = 0;
        m_nColorType = 0;
        if (pszRefusal) SetErrorText(pszRefusal);
        return nullptr;
    }
    // Our headers are always the 40-byte form and the rows uncompressed, whatever a file brought.
    m_header.biSize = sizeof(BITMAPINFOHEADER);
    m_header.biWidth = nWidth;
    m_header.biHeight = nHeight;
    m_header.biPlanes = 1;
    m_header.biBitCount = static_cast<WORD>(nBits);
    m_header.biCompression = BI_RGB;
    m_header.biSizeImage = static_cast<DWORD>(nImage);
    m_header.biXPelsPerMeter = m_header.biYPelsPerMeter = 0;
    m_header.biClrUsed = nColors;
    m_header.biClrImportant = 0;
    m_nEffWidth = static_cast<int>(nEffWidth);
    m_nColorType = nBits <= 8 ? 1 : 2;
    m_pDib = pBlock;
    std::memcpy(m_pDib, &m_header, sizeof(m_header));
    m_pBits = m_pDib + sizeof(m_header) + 4 * nColors;
    return m_pDib;
}

void CImageCP::Release()
{
    if (m_pSharedFrom)
        m_pDib = nullptr; // the owner frees it
    else
        FreeBits();
    m_pSharedFrom = nullptr;
    m_pBits = nullptr;
}

BOOL CImageCP::Copy(const CImageCP& other)
{
    if (&other == this) return TRUE; // copying from itself would read the block it just freed
    if (!other.m_pDib)
    {
        Release();
        const int nTransparent = other.m_nTransparentIndex;
        Init();
        m_nTransparentIndex = nTransparent;
        return TRUE;
    }
    if (!Create(other.m_header.biWidth, other.m_header.biHeight, other.m_header.biBitCount)) return FALSE;
    std::memcpy(m_pDib, other.m_pDib, other.GetSize());
    std::memcpy(&m_header, m_pDib, sizeof(m_header));
    m_nTransparentIndex = other.m_nTransparentIndex;
    return TRUE;
}

CImageCP* CImageCP::Transfer(CImageCP* pOther)
{
    if (!pOther || pOther == this) return pOther;
    Release();
    m_header = pOther->m_header;
    m_nEffWidth = pOther->m_nEffWidth;
    m_pBits = pOther->m_pBits;
    m_pSharedFrom = pOther->m_pSharedFrom;
    m_nColorType = pOther->m_nColorType;
    std::memcpy(m_szError, pOther->m_szError, sizeof(m_szError));
    m_nTransparentIndex = pOther->m_nTransparentIndex;
    m_nJpegQuality = pOther->m_nJpegQuality;
    m_nFrameDelay = pOther->m_nFrameDelay;
    m_pDib = pOther->m_pDib;
    // The source starts over as a new image: a leftover transparent index 0 would otherwise make
    // its next picture draw with holes.
    pOther->m_pDib = nullptr;
    pOther->Init();
    return pOther;
}

void CImageCP::Share(const CImageCP& other)
{
    if (&other == this) return;
    Release();
    m_header = other.m_header;
    m_nEffWidth = other.m_nEffWidth;
    m_pBits = other.m_pBits;
    m_nColorType = other.m_nColorType;
    std::memcpy(m_szError, other.m_szError, sizeof(m_szError));
    m_nTransparentIndex = other.m_nTransparentIndex;
    m_nJpegQuality = other.m_nJpegQuality;
    m_nFrameDelay = other.m_nFrameDelay;
    m_pDib = other.m_pDib;
    m_pSharedFrom = m_pDib ? &other : nullptr;
}

BYTE* CImageCP::GetBits() const
{
    return m_pDib ? m_pDib + m_header.biSize + 4 * m_header.biClrUsed : nullptr;
}

RGBQUAD* CImageCP::GetPalette() const
{
    if (!m_pDib || m_header.biClrUsed == 0) return nullptr;
    return reinterpret_cast<RGBQUAD*>(m_pDib + m_header.biSize);
}

DWORD CImageCP::GetSize() const
{
    return m_pDib ? m_header.biSize + 4 * m_header.biClrUsed + m_header.biSizeImage : 0;
}

bool CImageCP::IsInside(int x, int y) const
{
    return m_pDib && x >= 0 && y >= 0 && x < m_header.biWidth && y < m_header.biHeight;
}

HGLOBAL CImageCP::CopyToHandle(HGLOBAL hOld) const
{
    if (hOld) ::GlobalFree(hOld);
    if (!m_pDib) return nullptr;
    HGLOBAL hNew = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, GetSize());
    if (!hNew) return nullptr;
    void* pTarget = ::GlobalLock(hNew);
    if (!pTarget)
    {
        ::GlobalFree(hNew);
        return nullptr;
    }
    std::memcpy(pTarget, m_pDib, GetSize());
    ::GlobalUnlock(hNew);
    return hNew;
}

BOOL CImageCP::LoadPackedDib(const BYTE* pDib, size_t nSize)
{
    BITMAPINFOHEADER header;
    if (!pDib || nSize < sizeof(header)) return FALSE;
    std::memcpy(&header, pDib, sizeof(header));
    const int nBits = header.biBitCount;
    if (header.biSize < sizeof(header) || header.biSize > nSize || header.biCompression != BI_RGB) return FALSE;
    if (nBits != 1 && nBits != 4 && nBits != 8 && nBits != 24) return FALSE;
    if (header.biWidth < 1 || header.biHeight == 0 || header.biHeight == INT32_MIN) return FALSE;
    const int nHeight = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    const uint64_t nTableEntries = header.biClrUsed ? header.biClrUsed : (nBits <= 8 ? 1u << nBits : 0);
    const uint64_t nEffWidth = (static_cast<uint64_t>(header.biWidth) * nBits + 31) / 32 * 4;
    const uint64_t nRowsAt = header.biSize + 4 * nTableEntries;
    if (nRowsAt + nEffWidth * nHeight > nSize) return FALSE; // the block must cover the whole picture
    if (!Create(header.biWidth, nHeight, nBits)) return FALSE;
    const uint64_t nCopied = std::min<uint64_t>(nTableEntries, m_header.biClrUsed);
    if (nCopied) std::memcpy(GetPalette(), pDib + header.biSize, static_cast<size_t>(nCopied) * 4);
    const BYTE* pRows = pDib + nRowsAt;
    if (header.biHeight > 0)
        std::memcpy(m_pBits, pRows, m_header.biSizeImage);
    else // top-down: the first row given is the top one
        for (int y = 0; y < nHeight; ++y)
            std::memcpy(m_pBits + static_cast<size_t>(nHeight - 1 - y) * m_nEffWidth,
                        pRows + static_cast<size_t>(y) * m_nEffWidth, m_nEffWidth);
    return TRUE;
}

BOOL CImageCP::ReadFile(FILE* pFile, int nFileType)
{
    switch (nFileType)
    {
    case typeBMP:
        return ReadThrough<CImageBMP>(*this, pFile);
    case typeIcon:
        return ReadThrough<CImageIcon>(*this, pFile);
    case typeGIF:
        return ReadThrough<CImageGIF>(*this, pFile);
    case typePNG:
        return ReadThrough<CImagePNG>(*this, pFile);
    case typeJPEG:
        return ReadThrough<CImageJPEG>(*this, pFile);
    case typeTIFF:
        return ReadThrough<CImageTIFF>(*this, pFile);
    default:
        return FALSE;
    }
}

BOOL CImageCP::WriteFile(FILE* pFile, int nFileType)
{
    if (!m_pDib) return FALSE; // nothing to write; a writer would copy from a null block
    switch (nFileType)
    {
    case typeBMP:
        return WriteThrough<CImageBMP>(*this, pFile);
    case typeIcon:
        return WriteThrough<CImageIcon>(*this, pFile);
    case typeGIF:
        return WriteThrough<CImageGIF>(*this, pFile);
    case typePNG:
        return WriteThrough<CImagePNG>(*this, pFile);
    case typeJPEG:
        return WriteThrough<CImageJPEG>(*this, pFile);
    case typeTIFF:
        return WriteThrough<CImageTIFF>(*this, pFile);
    default:
        return FALSE;
    }
}

BOOL CImageCP::Open(const char* pszPath, int nFileType)
{
    CStdioFileHandle file(pszPath ? std::fopen(pszPath, "rb") : nullptr);
    return file.IsValid() && ReadFile(file, nFileType);
}

BOOL CImageCP::Open(const wchar_t* pszPath, int nFileType)
{
    CStdioFileHandle file(pszPath ? _wfopen(pszPath, L"rb") : nullptr);
    return file.IsValid() && ReadFile(file, nFileType);
}

namespace
{
BOOL WriteAndClose(CImageCP& image, FILE* pFile, int nFileType)
{
    if (!pFile) return FALSE;
    const BOOL bWritten = image.WriteFile(pFile, nFileType);
    // Closing flushes the last buffer: a full disk shows here.
    const bool bClosed = std::fclose(pFile) == 0;
    return bWritten && bClosed;
}
} // namespace

BOOL CImageCP::Save(const char* pszPath, int nFileType)
{
    return WriteAndClose(*this, pszPath ? std::fopen(pszPath, "wb") : nullptr, nFileType);
}

BOOL CImageCP::Save(const wchar_t* pszPath, int nFileType)
{
    return WriteAndClose(*this, pszPath ? _wfopen(pszPath, L"wb") : nullptr, nFileType);
}

BOOL CImageCP::ReadMemory(HGLOBAL hMemory, int nFileType)
{
    BOOL bOk = FALSE;
    if (nFileType == typeBMP)
    {
        CImageBMP temp;
        bOk = temp.ReadDib(hMemory);
        if (bOk)
            Transfer(&temp);
        else
            SetErrorText(temp.GetErrorText());
    }
    else if (nFileType == typeJPEG && hMemory)
    {
        CImageJPEG temp;
        bOk = temp.Read(nullptr, hMemory, static_cast<DWORD>(::GlobalSize(hMemory)));
        if (bOk)
            Transfer(&temp);
        else
            SetErrorText(temp.GetErrorText());
    }
    return bOk;
}

FILE* CImageCP::OpenTemporaryFile(std::wstring* pPath)
{
    // Not tmpfile(): msvcrt puts that in the drive root, which only administrators may write.
    wchar_t szFolder[MAX_PATH + 1];
    wchar_t szName[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, szFolder);
    if (n == 0 || n > MAX_PATH) return nullptr;
    if (!::GetTempFileNameW(szFolder, L"img", 0, szName)) return nullptr;
    FILE* pFile = _wfopen(szName, L"w+bTD"); // deleted when closed
    if (!pFile)
    {
        ::DeleteFileW(szName);
        return nullptr;
    }
    if (pPath) *pPath = szName;
    return pFile;
}

BOOL CImageCP::LoadFromResource(HRSRC hResource, int nFileType, HMODULE hModule)
{
    HGLOBAL hLoaded = hResource ? ::LoadResource(hModule, hResource) : nullptr;
    if (!hLoaded)
    {
        SetErrorText("Unable to load resource!");
        return FALSE;
    }
    const void* pData = ::LockResource(hLoaded);
    const DWORD nSize = ::SizeofResource(hModule, hResource);
    if (!pData) return FALSE;
    CStdioFileHandle file(OpenTemporaryFile());
    if (!file.IsValid()) return FALSE;
    if (std::fwrite(pData, 1, nSize, file) != nSize || std::fflush(file) != 0) return FALSE;
    std::rewind(file);
    switch (nFileType)
    {
    case typeIcon:
        return ReadThrough<CImageIcon>(*this, file);
    case typeGIF:
        return ReadThrough<CImageGIF>(*this, file);
    case typePNG:
        return ReadThrough<CImagePNG>(*this, file);
    case typeJPEG:
        return ReadThrough<CImageJPEG>(*this, file);
    default: // bitmaps come as bitmap resources
        SetErrorText("Unsupported operation for this format");
        return FALSE;
    }
}
