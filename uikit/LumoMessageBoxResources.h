#pragma once
// The message box's template and texts, in res/LumoMessageBox.rc, which each program's resource
// script includes (#include "uikit/res/LumoMessageBox.rc").
#define IDD_LUMOMESSAGEBOX 101
#define IDS_MSGBOX_OK 0x7D00
#define IDS_MSGBOX_CANCEL 0x7D01
#define IDS_MSGBOX_ABORT 0x7D02
#define IDS_MSGBOX_RETRY 0x7D03
#define IDS_MSGBOX_IGNORE 0x7D04
#define IDS_MSGBOX_YES 0x7D05
#define IDS_MSGBOX_NO 0x7D06
#define IDS_MSGBOX_CONTINUE 0x7D07
#define IDS_MSGBOX_HELP 0x7D08
#define IDS_MSGBOX_YESTOALL 0x7D09
#define IDS_MSGBOX_NOTOALL 0x7D0A
#define IDS_MSGBOX_SKIP 0x7D0B
#define IDS_MSGBOX_SKIPALL 0x7D0C
#define IDS_MSGBOX_IGNOREALL 0x7D0D
#define IDS_MSGBOX_DONTSHOWAGAIN 0x7D0E
#define IDS_MSGBOX_DONTASKAGAIN 0x7D0F
