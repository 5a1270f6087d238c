#pragma once
#include "screens/CImageCP.h"
// GIF files (file-type code 1) with a codec of our own: reads the first image of a file into an
// 8-bit palette image, and writes a palette image as a GIF87a file with one graphic control block.
// Reading state belongs to the object; the encoder's tables live for one Write only, so two
// images can be written at once.
class CImageGIF : public CImageCP
{
public:
    CImageGIF() : CImageCP(typeGIF) {}

    virtual BOOL Read(FILE* pFile);
    virtual BOOL Write(FILE* pFile);

    static constexpr int kReadAhead = 16384;
    static constexpr int kMaxCodes = 4096; // codes of at most 12 bits

private:
    int NextByte();
    int NextCode();
    bool DecodeImage(int nWidth);
    bool OutputLine(const BYTE* pLine, int nCount);

    FILE* m_pFile = nullptr;
    int m_nReadPos = 0; // reaching m_nReadEnd refills
    int m_nReadEnd = 0;
    bool m_bFileEnded = false;
    BYTE m_readAhead[kReadAhead];

    // Line output: the picture row next written, and the interlace passes
    int m_nRow = 0;
    int m_nStep = 8;
    int m_nPass = 0;
    bool m_bInterlaced = false;

    // Decoder
    int m_nCodeSize = 0;
    int m_nBlockLeft = 0; // bytes left in the current data sub-block
    int m_nBitsLeft = 0;  // unread bits of m_nCurrentByte
    int m_nCurrentByte = 0;
    bool m_bDataEnded = false;
    BYTE m_stack[kMaxCodes];
    BYTE m_suffix[kMaxCodes];
    WORD m_prefix[kMaxCodes];
};
