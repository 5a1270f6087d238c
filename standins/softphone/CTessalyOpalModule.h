#pragma once
#include "framework/CAtlDllModuleT.h"
#include "Tessaly_Opal.h"
// The stand-in's module: counts what keeps the library loaded.
class CTessalyOpalModule : public CAtlDllModuleT<CTessalyOpalModule>
{
public:
    DECLARE_LIBID(LIBID_TessalyOpalLib)
};
