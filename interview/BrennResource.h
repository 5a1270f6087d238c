#pragma once
// Resource ids of BrennClient.exe (res/BrennClient.rc); the language libraries hold the same ids.

#define IDR_MAINFRAME 128
#define IDD_BRENNCLIENT_DIALOG 207
#define IDC_LUMOCLIENTCTRL 1000

#define IDS_SOCKETS_INIT_FAILED 61543
#define IDS_WRONG_LUMOCLIENT_VERSION 61930
// Added: the texts of the start-up's failures and the language switch, which had none of their own.
#define IDS_CANNOT_CONNECT 62001
#define IDS_CANNOT_CONNECT_ON_PORT 62002
#define IDS_PLEASE_RESTART 62003
#define IDS_USAGE 62004
