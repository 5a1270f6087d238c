#pragma once
#include "screens/CImageCP.h"
// PNG files (file-type code 3) over libpng. Reading turns every file into one of our four layouts:
// palettes of 1, 2 (widened to 8), 4 and 8 bits, grey as 8 bits with the grey ramp, everything
// in colour (grey with alpha too) as 24 bits; alpha and transparency are composited onto blue
// (31, 127, 255). Writing gives a palette PNG for palette images and an RGB PNG for 24-bit ones.
class CImagePNG : public CImageCP
{
public:
    CImagePNG() : CImageCP(typePNG) {}

    virtual BOOL Read(FILE* pFile);
    virtual BOOL Write(FILE* pFile);

    // The library's steps, each in a frame without destructors: a library error jumps back to it.
    struct ReadJob;
    struct WriteJob;

private:
    bool ReadInto(ReadJob& job);
    bool WriteFrom(WriteJob& job);
};
