#pragma once
// The library's stateless utility functions. The class is large, so its members live in three
// source files by theme: CStaticToolsNumbers.cpp, CStaticToolsConversions.cpp, CStaticToolsDates.cpp.
#include "framework/CString.h"

class CStaticTools
{
public:
    virtual ~CStaticTools() = default;

    // ---- Numbers, separators and tokenisers (CStaticToolsNumbers.cpp) ----

    // ---- end of numbers, separators and tokenisers ----

    // ---- Variants, HTML, base64, masking and the checksum of memory (CStaticToolsConversions.cpp) ----

    // ---- end of variants, HTML, base64, masking ----

    // ---- Dates, texts and files (CStaticToolsDates.cpp) ----

    // ---- end of dates, texts and files ----
};
