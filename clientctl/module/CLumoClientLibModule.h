#pragma once
#include "framework/CAtlDllModuleT.h"
#include "LumoClient.h"
#include "LumoClientResources.h"
// The COM module of LumoClient.ocx: its type library and the application identity that every
// registry script may name.
class CLumoClientLibModule : public CAtlDllModuleT<CLumoClientLibModule>
{
public:
    DECLARE_LIBID(LIBID_LumoClientLib)
    DECLARE_REGISTRY_APPID_RESOURCEID(IDR_LUMOCLIENTLIB, L"{7D674C26-EA60-4C25-82DB-23877E466414}")
};
