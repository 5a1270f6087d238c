// The codecs against the libraries' own plain loops on the same files, in the same run:
// JPEG 4000 x 3000 decode and encode (aim <= 1.15x libjpeg into a plain buffer), PNG read and
// write (aim <= 1.15x libpng's own row loop), 24-bit TIFF read (aim <= 1.2x TIFFReadRGBAImage
// into a plain raster; ours reads plain RGB strips directly), and GIF 2048 x 2048 decode and encode (aim <= 1.5x WIC's).
#include "framework/testing/BestSeconds.h"
#include "screens/CImageCP.h"
#include "screens/TiffStreamIO.h"
#include <cstdio>
#include <jpeglib.h>
#include <png.h>
#include <string>
#include <tiffio.h>
#include <vector>
#include <wincodec.h>

namespace
{
constexpr int kRounds = 5; // best of several: the machines are shared

std::wstring TempPath(const wchar_t* name)
{
    wchar_t szFolder[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, szFolder);
    return std::wstring(szFolder) + name;
}

// A picture with some structure, so the encoders have work like a photograph's.
CImageCP Picture(int w, int h, int bits)
{
    CImageCP image(w, h, bits);
    for (int i = 0; i < image.GetColorsUsed(); ++i)
        image.SetPaletteColor(i, RGB(i, (i * 7) & 255, 255 - i));
    BYTE* p = image.GetBits();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < image.GetEffWidth(); ++x)
            p[static_cast<size_t>(y) * image.GetEffWidth() + x] = static_cast<BYTE>((x / 3 + y / 2) ^ (x * y >> 9));
    return image;
}

// The picture's pixels as a plain top-down buffer: red, green, blue, or palette indices.
std::vector<BYTE> Plain(const CImageCP& image)
{
    const int w = image.GetWidth(), h = image.GetHeight(), n = image.GetBitCount() / 8;
    std::vector<BYTE> plain(static_cast<size_t>(w) * h * n);
    for (int y = 0; y < h; ++y)
    {
        const BYTE* pRow = image.GetBits() + static_cast<size_t>(h - 1 - y) * image.GetEffWidth();
        BYTE* pTo = plain.data() + static_cast<size_t>(y) * w * n;
        for (int x = 0; x < w * n; x += n)
            for (int k = 0; k < n; ++k)
                pTo[x + k] = pRow[x + n - 1 - k];
    }
    return plain;
}

void Report(const char* what, double tOurs, double tTheirs, const char* theirs, double aim)
{
    std::printf("%s: ours %.1f ms, %s %.1f ms, ratio %.2fx (aim <= %.2fx)\n", what, tOurs * 1000, theirs,
                tTheirs * 1000, tOurs / tTheirs, aim);
}

void Jpeg()
{
    const std::wstring path = TempPath(L"lumo-bench.jpg");
    CImageCP picture = Picture(4000, 3000, 24);
    const int w = picture.GetWidth(), h = picture.GetHeight();
    const double tEncode = BestSeconds([&] { picture.Save(path.c_str(), CImageCP::typeJPEG); }, kRounds);
    const std::vector<BYTE> plain = Plain(picture);
    const double tLibEncode = BestSeconds(
        [&] {
            FILE* pFile = _wfopen(TempPath(L"lumo-bench-lib.jpg").c_str(), L"wb");
            jpeg_compress_struct info;
            jpeg_error_mgr errors;
            info.err = jpeg_std_error(&errors);
            jpeg_create_compress(&info);
            jpeg_stdio_dest(&info, pFile);
            info.image_width = w;
            info.image_height = h;
            info.input_components = 3;
            info.in_color_space = JCS_RGB;
            jpeg_set_defaults(&info);
            jpeg_set_quality(&info, 75, TRUE);
            jpeg_start_compress(&info, TRUE);
            while (info.next_scanline < info.image_height)
            {
                JSAMPROW row = const_cast<BYTE*>(plain.data()) + static_cast<size_t>(info.next_scanline) * w * 3;
                jpeg_write_scanlines(&info, &row, 1);
            }
            jpeg_finish_compress(&info);
            jpeg_destroy_compress(&info);
            fclose(pFile);
        },
        kRounds);
    Report("jpeg encode 4000x3000", tEncode, tLibEncode, "libjpeg", 1.15);
    const double tDecode = BestSeconds([&] { CImageCP(path.c_str(), CImageCP::typeJPEG); }, kRounds);
    const double tLibDecode = BestSeconds(
        [&] {
            FILE* pFile = _wfopen(path.c_str(), L"rb");
            jpeg_decompress_struct info;
            jpeg_error_mgr errors;
            info.err = jpeg_std_error(&errors);
            jpeg_create_decompress(&info);
            jpeg_stdio_src(&info, pFile);
            jpeg_read_header(&info, TRUE);
            jpeg_start_decompress(&info);
            std::vector<BYTE> buffer(static_cast<size_t>(info.output_width) * info.output_height * 3);
            while (info.output_scanline < info.output_height)
            {
                JSAMPROW row = buffer.data() + static_cast<size_t>(info.output_scanline) * info.output_width * 3;
                jpeg_read_scanlines(&info, &row, 1);
            }
            jpeg_finish_decompress(&info);
            jpeg_destroy_decompress(&info);
            fclose(pFile);
        },
        kRounds);
    Report("jpeg decode 4000x3000", tDecode, tLibDecode, "libjpeg", 1.15);
    DeleteFileW(path.c_str());
    DeleteFileW(TempPath(L"lumo-bench-lib.jpg").c_str());
}

void Png()
{
    const std::wstring path = TempPath(L"lumo-bench.png");
    const std::wstring libPath = TempPath(L"lumo-bench-lib.png");
    CImageCP picture = Picture(2000, 1500, 24);
    const int w = picture.GetWidth(), h = picture.GetHeight();
    const double tWrite = BestSeconds([&] { picture.Save(path.c_str(), CImageCP::typePNG); }, kRounds);
    const std::vector<BYTE> plain = Plain(picture);
    const double tLibWrite = BestSeconds(
        [&] {
            FILE* pFile = _wfopen(libPath.c_str(), L"wb");
            png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
            png_infop info = png_create_info_struct(png);
            png_init_io(png, pFile);
            png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                         PNG_FILTER_TYPE_DEFAULT);
            png_write_info(png, info);
            for (int y = 0; y < h; ++y)
                png_write_row(png, const_cast<BYTE*>(plain.data()) + static_cast<size_t>(y) * w * 3);
            png_write_end(png, nullptr);
            png_destroy_write_struct(&png, &info);
            fclose(pFile);
        },
        kRounds);
    Report("png write 2000x1500x24", tWrite, tLibWrite, "libpng rows", 1.15);
    const double tRead = BestSeconds([&] { CImageCP(path.c_str(), CImageCP::typePNG); }, kRounds);
    const double tLibRead = BestSeconds(
        [&] {
            FILE* pFile = _wfopen(path.c_str(), L"rb");
            png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
            png_infop info = png_create_info_struct(png);
            png_init_io(png, pFile);
            png_read_info(png, info);
            std::vector<BYTE> buffer(static_cast<size_t>(w) * h * 3);
            for (int y = 0; y < h; ++y)
                png_read_row(png, buffer.data() + static_cast<size_t>(y) * w * 3, nullptr);
            png_read_end(png, nullptr);
            png_destroy_read_struct(&png, &info, nullptr);
            fclose(pFile);
        },
        kRounds);
    Report("png read 2000x1500x24", tRead, tLibRead, "libpng rows", 1.15);
    DeleteFileW(path.c_str());
    DeleteFileW(libPath.c_str());
}

void Tiff()
{
    const std::wstring path = TempPath(L"lumo-bench.tif");
    CImageCP picture = Picture(2000, 1500, 24);
    if (!picture.Save(path.c_str(), CImageCP::typeTIFF)) return;
    const double tRead = BestSeconds([&] { CImageCP(path.c_str(), CImageCP::typeTIFF); }, kRounds);
    const double tLibRead = BestSeconds(
        [&] {
            const CTiffHandle pTiff(TIFFOpenW(path.c_str(), "r"));
            uint32_t w = 0, h = 0;
            TIFFGetField(pTiff, TIFFTAG_IMAGEWIDTH, &w);
            TIFFGetField(pTiff, TIFFTAG_IMAGELENGTH, &h);
            std::vector<uint32_t> raster(static_cast<size_t>(w) * h);
            TIFFReadRGBAImage(pTiff, w, h, raster.data(), 1);
        },
        kRounds);
    Report("tiff read 2000x1500x24", tRead, tLibRead, "TIFFReadRGBAImage", 1.2);
    DeleteFileW(path.c_str());
}

void Gif()
{
    const std::wstring path = TempPath(L"lumo-bench.gif");
    const std::wstring wicPath = TempPath(L"lumo-bench-wic.gif");
    CImageCP picture = Picture(2048, 2048, 8);
    const UINT w = 2048, h = 2048;
    const double tEncode = BestSeconds([&] { picture.Save(path.c_str(), CImageCP::typeGIF); }, kRounds);
    const double tDecode = BestSeconds([&] { CImageCP(path.c_str(), CImageCP::typeGIF); }, kRounds);
    CComInitialization com(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    IWICImagingFactory* pFactory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&pFactory))))
    {
        std::printf("gif: WIC is not available\n");
        return;
    }
    std::vector<BYTE> pixels = Plain(picture);
    std::vector<WICColor> colours(256);
    for (UINT i = 0; i < 256; ++i)
        colours[i] = 0xFF000000u | i << 16 | ((i * 7) & 255) << 8 | (255 - i);
    bool bWicOk = true;
    const double tWicEncode = BestSeconds(
        [&] {
            IWICStream* pStream = nullptr;
            IWICBitmapEncoder* pEncoder = nullptr;
            IWICBitmapFrameEncode* pFrame = nullptr;
            IWICPalette* pPalette = nullptr;
            WICPixelFormatGUID format = GUID_WICPixelFormat8bppIndexed;
            bWicOk = bWicOk && SUCCEEDED(pFactory->CreateStream(&pStream)) &&
                     SUCCEEDED(pStream->InitializeFromFilename(wicPath.c_str(), GENERIC_WRITE)) &&
                     SUCCEEDED(pFactory->CreateEncoder(GUID_ContainerFormatGif, nullptr, &pEncoder)) &&
                     SUCCEEDED(pEncoder->Initialize(pStream, WICBitmapEncoderNoCache)) &&
                     SUCCEEDED(pEncoder->CreateNewFrame(&pFrame, nullptr)) && SUCCEEDED(pFrame->Initialize(nullptr)) &&
                     SUCCEEDED(pFrame->SetSize(w, h)) && SUCCEEDED(pFrame->SetPixelFormat(&format)) &&
                     SUCCEEDED(pFactory->CreatePalette(&pPalette)) &&
                     SUCCEEDED(pPalette->InitializeCustom(colours.data(), 256)) &&
                     SUCCEEDED(pFrame->SetPalette(pPalette)) &&
                     SUCCEEDED(pFrame->WritePixels(h, w, w * h, pixels.data())) && SUCCEEDED(pFrame->Commit()) &&
                     SUCCEEDED(pEncoder->Commit());
            if (pPalette) pPalette->Release();
            if (pFrame) pFrame->Release();
            if (pEncoder) pEncoder->Release();
            if (pStream) pStream->Release();
        },
        kRounds);
    const double tWicDecode = BestSeconds(
        [&] {
            IWICBitmapDecoder* pDecoder = nullptr;
            IWICBitmapFrameDecode* pFrame = nullptr;
            bWicOk = bWicOk &&
                     SUCCEEDED(pFactory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                                   WICDecodeMetadataCacheOnDemand, &pDecoder)) &&
                     SUCCEEDED(pDecoder->GetFrame(0, &pFrame)) &&
                     SUCCEEDED(pFrame->CopyPixels(nullptr, w, w * h, pixels.data()));
            if (pFrame) pFrame->Release();
            if (pDecoder) pDecoder->Release();
        },
        kRounds);
    pFactory->Release();
    com.Close();
    if (!bWicOk) std::printf("gif: a WIC step failed; its times are not comparable\n");
    Report("gif encode 2048x2048", tEncode, tWicEncode, "WIC", 1.5);
    Report("gif decode 2048x2048", tDecode, tWicDecode, "WIC", 1.5);
    DeleteFileW(path.c_str());
    DeleteFileW(wicPath.c_str());
}
} // namespace

int main()
{
    Jpeg();
    Png();
    Tiff();
    Gif();
    return 0;
}
