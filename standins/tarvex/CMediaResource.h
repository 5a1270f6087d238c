#pragma once
#include "framework/CString.h"
#include "standins/tarvex/CObjet.h"

// A file the survey needs beside it in the survey folder (pictures, sounds, media objects).
class CMediaResource : public CObjet
{
public:
    // Media objects of types 5 and 6 need no preparing here; true when the folder exists.
    bool PrepareAdxObject(const CString& strFolder, CString* pstrError) const;
    CString GetPath(const CString& strFolder) const;

    long m_nId = 0;
    CString m_strFile;
    int m_nType = 0;
};
