#pragma once
// Resource ids of Lumo.exe's resource script; the code loads them by these numbers.

#define IDS_LUMO_APP_TITLE 57344      // "LUMO": names the program key and the work folder
#define IDS_SOCKETS_INIT_FAILED 61103 // "Windows sockets initialization failed."
#define IDS_REMOTE_HOST_MISSING 61240 // "Unable to locate remote host (check registry)"
