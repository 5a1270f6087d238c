#include "screens/TiffStreamIO.h"
#include "framework/AfxMessageBox.h"
#include "screens/CImageCP.h"
#include <cstdarg>
#include <io.h>
#include <string>
#include <tiffio.h>

namespace
{
tmsize_t ReadProc(thandle_t h, void* pBuffer, tmsize_t nCount)
{
    return static_cast<tmsize_t>(std::fread(pBuffer, 1, static_cast<size_t>(nCount), static_cast<FILE*>(h)));
}

tmsize_t WriteProc(thandle_t h, void* pBuffer, tmsize_t nCount)
{
    return static_cast<tmsize_t>(std::fwrite(pBuffer, 1, static_cast<size_t>(nCount), static_cast<FILE*>(h)));
}

toff_t SeekProc(thandle_t h, toff_t nOffset, int nOrigin)
{
    FILE* pFile = static_cast<FILE*>(h);
    // 0 would be a valid position to the library: a failure must look like one.
    if (_fseeki64(pFile, static_cast<__int64>(nOffset), nOrigin) != 0) return static_cast<toff_t>(-1);
    if (nOrigin == SEEK_SET) return nOffset;
    const __int64 nPosition = _ftelli64(pFile);
    return nPosition < 0 ? static_cast<toff_t>(-1) : static_cast<toff_t>(nPosition);
}

int CloseProc(thandle_t) // the caller closes its stream
{
    return 0;
}

toff_t SizeProc(thandle_t h)
{
    const __int64 nSize = _filelengthi64(_fileno(static_cast<FILE*>(h)));
    return nSize < 0 ? 0 : static_cast<toff_t>(nSize);
}

int MapProc(thandle_t, void**, toff_t*)
{
    return 0;
}

void UnmapProc(thandle_t, void*, toff_t) {}

std::wstring Widen(const char* psz)
{
    const int n = ::MultiByteToWideChar(CP_ACP, 0, psz, -1, nullptr, 0);
    if (n <= 0) return {};
    std::wstring text(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, psz, -1, text.data(), n);
    text.resize(static_cast<size_t>(n - 1));
    return text;
}

void ShowBox(const char* pszModule, const char* pszTitleFormat, UINT nIcon, const char* pszFormat, va_list args)
{
    char szTitle[128];
    char szText[1024];
    std::snprintf(szTitle, sizeof(szTitle), pszTitleFormat, pszModule ? pszModule : "TIFFLIB");
    std::vsnprintf(szText, sizeof(szText), pszFormat, args);
    AfxMessageBoxFor(::GetFocus(), Widen(szText).c_str(), Widen(szTitle).c_str(), MB_OK | nIcon);
}

void WarningHandler(const char* pszModule, const char* pszFormat, va_list args)
{
    ShowBox(pszModule, "%s Warning", MB_ICONINFORMATION, pszFormat, args);
}

void ErrorHandler(const char* pszModule, const char* pszFormat, va_list args)
{
    ShowBox(pszModule, "%s Error", MB_ICONWARNING, pszFormat, args);
}
} // namespace

tiff* TiffOpenStream(FILE* pFile, const char* pszMode)
{
    if (!pFile) return nullptr;
    TIFFSetWarningHandler(WarningHandler);
    TIFFSetErrorHandler(ErrorHandler);
    CTiffOptions options(TIFFOpenOptionsAlloc());
    if (!options.IsValid()) return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(CImageCP::kMaxBlockBytes));
    return TIFFClientOpenExt("TIFF IMAGE", pszMode, static_cast<thandle_t>(pFile), ReadProc, WriteProc, SeekProc,
                             CloseProc, SizeProc, MapProc, UnmapProc, options);
}
