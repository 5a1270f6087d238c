#pragma once
#include "framework/CAtlDllModuleT.h"
#include "ComTestServer.h"
#include "ComTestServerResources.h"

class CComTestServerModule : public CAtlDllModuleT<CComTestServerModule>
{
public:
    DECLARE_LIBID(LIBID_ComTestServerLib)
    DECLARE_REGISTRY_APPID_RESOURCEID(IDR_COMTESTSERVER, L"{208F51F3-7898-4824-AA8E-7ACB77BEBF13}")
};
