#pragma once
// Resource ids of LumoClient.ocx. Clients and registry entries name some of them (the type
// library 1, the tool-box bitmap 106), so they never change.
#define IDS_PROJNAME 100
#define IDR_LUMOCLIENTLIB 101
#define IDS_SOCKETS_INIT_FAILED 50000
#define IDS_VERSION_MISMATCH 50001
#define IDS_NOT_CONNECTED 50002
