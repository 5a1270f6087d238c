// Reading a 4000 x 3000 24-bit BMP file against one fread of the same file into a fresh buffer,
// in the same run: the reader should cost little more than the bytes it moves.
#include "framework/testing/BestSeconds.h"
#include "screens/CImageCP.h"
#include <cstdio>
#include <memory>
#include <string>

int main()
{
    wchar_t szFolder[MAX_PATH + 1];
    if (!GetTempPathW(MAX_PATH + 1, szFolder)) return 1;
    const std::wstring path = std::wstring(szFolder) + L"lumo-bmp-bench.bmp";
    {
        CImageCP image(4000, 3000, 24);
        if (!image.IsValid()) return 1;
        for (DWORD i = 0; i < image.GetHeader().biSizeImage; ++i)
            image.GetBits()[i] = static_cast<BYTE>(i * 7 + (i >> 12));
        if (!image.Save(path.c_str(), CImageCP::typeBMP)) return 1;
    }
    const int rounds = 7; // best of several: the machines are shared
    bool bReadOk = true;
    const double tOurs = BestSeconds(
        [&] {
            CImageCP image;
            bReadOk = bReadOk && image.Open(path.c_str(), CImageCP::typeBMP) && image.GetWidth() == 4000;
        },
        rounds);
    size_t nFile = 0;
    const double tFread = BestSeconds(
        [&] {
            FILE* pFile = _wfopen(path.c_str(), L"rb");
            if (!pFile) return;
            _fseeki64(pFile, 0, SEEK_END);
            const size_t n = static_cast<size_t>(_ftelli64(pFile));
            rewind(pFile);
            std::unique_ptr<BYTE[]> buffer(new BYTE[n]);
            nFile = fread(buffer.get(), 1, n, pFile);
            fclose(pFile);
        },
        rounds);
    DeleteFileW(path.c_str());
    if (!bReadOk || nFile == 0)
    {
        std::printf("bmp read 4000x3000x24: the read failed\n");
        return 1;
    }
    const double mib = nFile / (1024.0 * 1024.0);
    std::printf("bmp read 4000x3000x24 (%.0f MiB): CImageCP::Open %.1f ms, fread %.1f ms, ratio %.2fx fread\n", mib,
                tOurs * 1000, tFread * 1000, tOurs / tFread);
    return 0;
}
