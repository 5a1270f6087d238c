#pragma once
#include "screens/CImageCP.h"
// JPEG files (file-type code 2) over libjpeg, from a stream or a global memory block. Grey files
// become 8-bit images with the grey ramp, colour files 24-bit images; other colour spaces (CMYK,
// YCCK) are refused. The writer encodes every image as colour at the image's JPEG quality.
class CImageJPEG : public CImageCP
{
public:
    CImageJPEG() : CImageCP(typeJPEG) {}

    // Exactly one of pFile and hMemory is given.
    virtual BOOL Read(FILE* pFile, HGLOBAL hMemory, DWORD nSize);
    virtual BOOL Write(FILE* pFile);
    BOOL Read(FILE* pFile) { return Read(pFile, nullptr, 0); }

    static constexpr int kMaxScans = 500; // a progressive file needs at most a few dozen

    // The library's steps, each in a frame without destructors: a library error jumps back to it.
    struct ReadJob;
    struct WriteJob;

private:
    bool ReadInto(ReadJob& job);
    bool WriteFrom(WriteJob& job);
};
