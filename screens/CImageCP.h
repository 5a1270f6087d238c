#pragma once
#include "screens/CImageBase.h"
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>
// The DIB holder of the image family: makes, copies, hands over and draws one packed DIB, reads and
// writes files through the format class of a file-type code, and edits pixels and palettes.
// Only four pixel layouts exist: 1, 4 and 8 bits with 2, 16 and 256 palette entries, and 24 bits
// (blue, green, red) without a palette. Failures are a false result plus GetErrorText.
class CImageCP : public CImageBase
{
public:
    enum FileType
    {
        typeBMP = 0,
        typeGIF = 1,
        typeJPEG = 2,
        typePNG = 3,
        typeIcon = 4,
        typeTIFF = 5
    };
    static constexpr uint64_t kMaxBlockBytes = 256ull << 20; // larger images are refused, never allocated

    CImageCP();
    explicit CImageCP(int nFileType);
    CImageCP(int nWidth, int nHeight, int nBitCount);
    CImageCP(const CImageCP& other);
    CImageCP(HBITMAP hBitmap, int nBitCount);
    // A packed DIB (header, colour table, rows) in a global block; left empty unless it is an
    // uncompressed 1-, 4-, 8- or 24-bit DIB that the block covers whole.
    explicit CImageCP(HGLOBAL hPackedDib);
    // Icons are not converted: the image stays empty, without an error text.
    explicit CImageCP(HICON hIcon);
    CImageCP(HGLOBAL hMemory, int nFileType);
    CImageCP(const char* pszPath, int nFileType);
    CImageCP(const wchar_t* pszPath, int nFileType);
    ~CImageCP() override;
    CImageCP& operator=(const CImageCP& other);

    // Holder
    BYTE* Create(int nWidth, int nHeight, int nBitCount);
    void Release() override;
    BOOL Copy(const CImageCP& other);
    CImageCP* Transfer(CImageCP* pOther);
    void Share(const CImageCP& other);
    BYTE* GetBits() const;
    RGBQUAD* GetPalette() const;
    DWORD GetSize() const;
    DWORD GetPaletteSize() const { return 4 * m_header.biClrUsed; }
    bool IsInside(int x, int y) const;
    HGLOBAL CopyToHandle(HGLOBAL hOld) const;
    HBITMAP MakeBitmap() const;
    BOOL CreateFromBitmap(HBITMAP hBitmap, int nBitCount);

    int GetWidth() const { return m_pDib ? m_header.biWidth : 0; }
    int GetHeight() const { return m_pDib ? m_header.biHeight : 0; }
    int GetBitCount() const { return m_pDib ? m_header.biBitCount : 0; }
    int GetColorsUsed() const { return m_pDib ? static_cast<int>(m_header.biClrUsed) : 0; }
    int GetEffWidth() const { return m_nEffWidth; }
    int GetColorType() const { return m_nColorType; }
    bool IsValid() const { return m_pDib != nullptr; }
    const BITMAPINFOHEADER& GetHeader() const { return m_header; }
    BYTE* GetDib() const { return m_pDib; }
    const char* GetErrorText() const { return m_szError; }
    void SetErrorText(const char* pszText);
    int GetTransparentIndex() const { return m_nTransparentIndex; }
    void SetTransparentIndex(int nIndex) { m_nTransparentIndex = nIndex; }
    BYTE GetJpegQuality() const { return m_nJpegQuality; }
    void SetJpegQuality(BYTE nQuality) { m_nJpegQuality = nQuality; }
    WORD GetFrameDelay() const { return static_cast<WORD>(m_nFrameDelay); }
    void SetFrameDelay(WORD nDelay) { m_nFrameDelay = nDelay; }

    // Drawing (sizes of -1 mean the image's own)
    int Draw(HDC hDC, int x, int y, int cx = -1, int cy = -1, int xSrc = 0, int ySrc = 0, int cxSrc = -1,
             int cySrc = -1) override;
    int DrawTransparent(HDC hDC, COLORREF crTransparent, int x, int y, int cx = -1, int cy = -1, int xSrc = 0,
                        int ySrc = 0, int cxSrc = -1, int cySrc = -1);
    static BOOL TransparentBlitDC(HDC hTarget, HDC hSource, COLORREF crTransparent, int x, int y, int cx, int cy,
                                  int cxSrc, int cySrc);
    BOOL Tile(HDC hDC, const RECT& rc);

    // Files
    virtual BOOL ReadFile(FILE* pFile, int nFileType);
    virtual BOOL WriteFile(FILE* pFile, int nFileType);
    BOOL Open(const char* pszPath, int nFileType);
    BOOL Open(const wchar_t* pszPath, int nFileType);
    BOOL Save(const char* pszPath, int nFileType);
    BOOL Save(const wchar_t* pszPath, int nFileType);
    BOOL ReadMemory(HGLOBAL hMemory, int nFileType);
    BOOL LoadFromResource(HRSRC hResource, int nFileType, HMODULE hModule);
    // The temporary file behind LoadFromResource: in the temporary folder, deleted when closed.
    static FILE* OpenTemporaryFile(std::wstring* pPath = nullptr);

    // Pixels (y counts DIB rows from the bottom row)
    BYTE GetPixelIndex(int x, int y) const;
    void SetPixelIndex(int x, int y, BYTE nIndex);
    RGBQUAD GetPixelColor(int x, int y) const;
    void SetPixelColor(int x, int y, DWORD dwEntryColor);
    void SetPixelColorRef(int x, int y, COLORREF cr);

    // Palette
    RGBQUAD GetPaletteColor(int nIndex) const;
    BOOL GetPaletteColor(int nIndex, BYTE& r, BYTE& g, BYTE& b) const;
    void SetPalette(DWORD nCount, const BYTE* pRed, const BYTE* pGreen, const BYTE* pBlue);
    void SetPalette(DWORD nCount, const BYTE* pTriplets);
    void SetPalette(const RGBQUAD* pEntries, DWORD nCount);
    BOOL SetPaletteColor(int nIndex, BYTE r, BYTE g, BYTE b);
    BOOL SetPaletteColor(int nIndex, COLORREF cr);
    BOOL SetPaletteEntry(int nIndex, DWORD dwEntryColor);
    void SetGrayPalette();
    int FindPaletteIndex(COLORREF cr) const;
    int GetNearestIndex(DWORD dwEntryColor) const;
    BOOL SetTransparentColor(COLORREF cr);
    int BlendPalette(COLORREF cr, int nPercent);

    // Whole picture
    using ColorFunction = COLORREF (*)(BYTE r, BYTE g, BYTE b, LPARAM lUser);
    void Clear(BYTE nValue = 0);
    BOOL Negative();
    BOOL Flip();
    BOOL Mirror();
    BOOL Rotate(double dDegrees);
    BOOL ForEachColor(ColorFunction pFunction, LPARAM lUser);
    BOOL GrayScale();
    BOOL ExchangeColors(COLORREF cr1, COLORREF cr2);

    // Colour forms: COLORREF has red in the low byte, a palette entry blue
    static void SwapRedBlue(BYTE* pBuffer, size_t nLength);
    static RGBQUAD ColorRefToRgbQuad(COLORREF cr);
    static DWORD SwapColorOrder(DWORD dwColor);
    static void RgbToHls(DWORD dwEntryColor, BYTE& l, BYTE& s, BYTE& h);
    static RGBQUAD HlsToRgb(BYTE l, BYTE s, BYTE h);
    static RGBQUAD HlsToRgbSwapped(BYTE h, BYTE s, BYTE l);
    // Rewrites a 4- or 8-bit packed DIB to the palette's entries; the block may move.
    static BOOL RemapToPalette(HGLOBAL& hDib, HPALETTE hPalette);
    static BOOL RemapToPalette(const BYTE* pDib, size_t nSize, HPALETTE hPalette, std::vector<BYTE>& result);

    static int NormalizeBitCount(int nBitCount);

protected:
    void Init();
    // Takes over the rows of a 1-, 4-, 8- or 24-bit DIB laid out in memory; false leaves it empty.
    BOOL LoadPackedDib(const BYTE* pDib, size_t nSize);
    // Little-endian fields of the file formats, whatever their alignment in the buffer.
    static WORD GetWord(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }
    static DWORD GetDword(const BYTE* p) { return GetWord(p) | static_cast<DWORD>(GetWord(p + 2)) << 16; }
    static void PutWord(BYTE* p, WORD n)
    {
        p[0] = static_cast<BYTE>(n);
        p[1] = static_cast<BYTE>(n >> 8);
    }
    static void PutDword(BYTE* p, DWORD n)
    {
        PutWord(p, static_cast<WORD>(n));
        PutWord(p + 2, static_cast<WORD>(n >> 16));
    }

    BITMAPINFOHEADER m_header;
    int m_nEffWidth;
    BYTE* m_pBits;
    const CImageCP* m_pSharedFrom;
    BYTE m_nColorType;
    char m_szError[256];
    int m_nTransparentIndex;
    BYTE m_nJpegQuality;
    DWORD m_nFrameDelay;
};
