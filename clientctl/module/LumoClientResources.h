#pragma once
// Resource ids of LumoClient.ocx. Clients and registry entries name some of them (the type
// library 1, the tool-box bitmap 106), so they never change.
#define IDS_PROJNAME 100
#define IDR_LUMOCLIENTLIB 101
#define IDB_LUMOCLIENTCTRL 106
#define IDR_LUMOCLIENTCTRL 107
#define IDR_LUMOCLIENTSTRINGCOLLECTION 108
#define IDR_LUMOCLIENTMAP 109
#define IDR_LUMOCLIENTMESSAGE 110
#define IDR_LUMOCLIENTEMAIL 111
#define IDR_LUMOCLIENTCALL 112
#define IDR_LUMOCLIENTCALLCOLLECTION 113
#define IDS_SOCKETS_INIT_FAILED 50000
#define IDS_VERSION_MISMATCH 50001
#define IDS_NOT_CONNECTED 50002
