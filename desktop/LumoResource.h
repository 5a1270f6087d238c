#pragma once
// Resource ids of Lumo.exe's resource script; the code loads them by these numbers.

#define IDS_LUMO_APP_TITLE 57344      // "LUMO": names the program key and the work folder
#define IDS_SOCKETS_INIT_FAILED 61103 // "Windows sockets initialization failed."
#define IDS_REMOTE_HOST_MISSING 61240 // "Unable to locate remote host (check registry)"

// The connection dialog and the reconnect question.
#define IDD_CONNECTION 156
#define IDC_CONNECTION_STATUS 1013
#define IDS_JEX_NO_RESPONSE 61154     // "No response from Jex [%s:%d] (Error %d: %s)"
#define IDS_JEX_WAITING 61155         // "Waiting for Jex [%s:%d]"
#define IDS_RECONNECT_QUESTION 61163  // "Lost connection. Do you want to reconnect ?"
#define IDS_GREETING_UNREADABLE 64000 // added: Jex's greeting had no number for its flags
