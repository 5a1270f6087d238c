#pragma once
#include "framework/CHandleOwner.h"
#include <tiffio.h>
#include <cstdio>
// libtiff's platform layer: opens a TIFF on the caller's C stream (which the TIFF never closes),
// caps the library's largest single allocation at what an image may take, and shows the
// library's warnings and errors as message boxes (through the framework's box, which tests answer).
// pszMode is "r" or "w"; null when the stream is no TIFF or cannot be written.
tiff* TiffOpenStream(FILE* pFile, const char* pszMode);

// libtiff's open files and open options.
struct CTiffHandleTraits
{
    using HandleType = TIFF*;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::TIFFClose(h); }
};
using CTiffHandle = CHandleOwner<CTiffHandleTraits>;
struct CTiffOptionsTraits
{
    using HandleType = TIFFOpenOptions*;
    static HandleType Invalid() noexcept { return nullptr; }
    static void Close(HandleType h) noexcept { ::TIFFOpenOptionsFree(h); }
};
using CTiffOptions = CHandleOwner<CTiffOptionsTraits>;
