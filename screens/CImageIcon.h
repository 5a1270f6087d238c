#pragma once
#include "screens/CImageCP.h"
// ICO files (file-type code 4): reads the first image of the directory when it is a 1-, 4- or
// 8-bit DIB (not PNG, not 32-bit), and writes a one-image file with an all-opaque mask.
class CImageIcon : public CImageCP
{
public:
    CImageIcon() : CImageCP(typeIcon) {}

    virtual BOOL Read(FILE* pFile);
    virtual BOOL Write(FILE* pFile);
};
