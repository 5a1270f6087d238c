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
#define IDS_NO_LISTENER 64001         // added: "Lumo cannot listen on port %d (Error %d: %s)."

// ---- the main window (template 102) ----
#define IDD_LUMO_DIALOG 102
#define IDC_STATUS_EDIT 1043 // gets the status text; the window paints it itself
#define IDC_STATUS_FRAME 1059
#define IDC_CALL_LIST 1060
#define IDC_BUTTON_ON_HOLD 1061
#define IDC_BUTTON_TAKE_BACK 1062
#define IDC_BUTTON_TAKE_CALL 1063
#define IDC_BUTTON_TRANSFER_TO 1064
#define IDC_BUTTON_RECORD 1065
#define IDC_BUTTON_END_TASK 1066
#define IDC_BUTTON_END_CALL 1067
#define IDC_BUTTON_ANONYMIZE 1081
#define IDC_BUTTON_TRANSFER 1085
#define IDC_BUTTON_CONFERENCE 1091
#define IDC_MASTER_VOLUME 1106
#define IDC_MICROPHONE_VOLUME 1107
#define IDC_BUTTON_MUTE_MASTER 1259
#define IDC_BUTTON_MUTE_MICROPHONE 1260
#define IDC_GROUP_LABEL 1075
#define IDC_GROUP_NAME 1076
#define IDC_QUEUE_LABEL 1077
#define IDC_QUEUE_VALUE 1078
#define IDC_TIME_LABEL 1079
#define IDC_TIME_VALUE 1080
#define IDC_AGENTS_VALUE 1083
#define IDC_AGENTS_LABEL 1084
#define IDC_PANEL_FIRST 1254 // place holders 1254-1258 of the panel's image buttons
#define IDC_PANEL_LAST 1258
#define ID_NEXT_CALL 1041      // the panel's and the tool bar's "next call" command
#define ID_ENTER_SWALLOWED 125 // what Enter becomes in the main window: a command nothing handles
#define IDM_ABOUTBOX 0x0010    // system menu item "&About Lumo..."

// The call list's context menu: menu 186, sub-menu "CallInfo".
#define IDR_CALL_MENU 186
#define ID_MENU_ON_HOLD 32773
#define ID_MENU_TRANSFER 32774
#define ID_MENU_RECORD 32775
#define ID_MENU_TAKE_BACK 32776
#define ID_MENU_TRANSFER_TO 32778
#define ID_MENU_END_TASK 32779
#define ID_MENU_END_CALL 32780
#define ID_MENU_TAKE_CALL 32781
#define IDB_MENU_RECORD 191
#define IDB_MENU_ON_HOLD 192
#define IDB_MENU_TAKE_BACK 193

#define IDI_LUMO 128 // the program's icon: window, task bar and drag icon

// Call-button icons, "in" then "out".
#define IDI_END_CALL_IN 200
#define IDI_END_CALL_OUT 198
#define IDI_END_TASK_IN 132
#define IDI_END_TASK_OUT 204
#define IDI_ON_HOLD_IN 129
#define IDI_ON_HOLD_OUT 208
#define IDI_RECORD_IN 202
#define IDI_RECORD_OUT 203
#define IDI_ANONYMIZE_IN 227
#define IDI_ANONYMIZE_OUT 228
#define IDI_TAKE_BACK_IN 131
#define IDI_TAKE_BACK_OUT 209
#define IDI_TAKE_CALL_IN 199
#define IDI_TAKE_CALL_OUT 207
#define IDI_TRANSFER_IN 133
#define IDI_TRANSFER_OUT 206
#define IDI_TRANSFER_TO_IN 134
#define IDI_TRANSFER_TO_OUT 205
#define IDI_CONFERENCE_IN 255
#define IDI_CONFERENCE_OUT 256
#define IDI_MUTE_MASTER_IN 281
#define IDI_MUTE_MASTER_OUT 282
#define IDI_MUTE_MICROPHONE_IN 283
#define IDI_MUTE_MICROPHONE_OUT 273

// The panel's bitmaps, five per button (normal, hover, pressed, fourth, fifth), and the knob.
#define IDB_PAUSE 269
#define IDB_PAUSE_HOVER 103
#define IDB_PAUSE_PRESSED 268
#define IDB_PAUSE_LATCHED 270
#define IDB_PAUSE_FIFTH 280
#define IDB_MANUAL_CALL 272
#define IDB_MANUAL_CALL_HOVER 138
#define IDB_MANUAL_CALL_PRESSED 271
#define IDB_SEND_MESSAGE 275
#define IDB_SEND_MESSAGE_HOVER 140
#define IDB_SEND_MESSAGE_PRESSED 274
#define IDB_NEXT_CALL 277
#define IDB_NEXT_CALL_HOVER 189
#define IDB_NEXT_CALL_PRESSED 276
#define IDB_EXIT 279
#define IDB_EXIT_HOVER 135
#define IDB_EXIT_PRESSED 278
#define IDB_AGENT_LIST 142 // images of the log-on dialog's agent list, 16 x 16 on magenta

// Sounds: WAVE resources, two by name and one by number.
#define IDR_RING_TONE 285

// ---- the other dialogs ----
#define IDD_LOGIN 141
#define IDC_LOGIN_AGENTS 1018
#define IDD_CHANGE_PASSWORD 146
#define IDD_PASSWORD 157
#define IDC_PASSWORD_USER 1005
#define IDC_PASSWORD_OLD 1002
#define IDC_PASSWORD_NEW 1003
#define IDC_PASSWORD_NEW_AGAIN 1004
#define IDC_PASSWORD_CHANGE 1120
#define IDD_AGENT_LOCATION 161
#define IDC_LOCATION_LIST 1240
#define IDC_LOCATION_OK 1030 // the default button; the dialog still ends with IDOK
#define IDD_PROGRESS 179
#define IDC_PROGRESS_BAR 1244
#define IDC_PROGRESS_LINE1 1245
#define IDC_PROGRESS_LINE2 1246

// The agent tool bar (template 210). 1059, 1060, 1061-1067, 1075-1081 as in the main window.
#define IDD_APPLICATION_TOOLBAR 210
#define IDC_TB_PAUSE 1068
#define IDC_TB_MANUAL_CALL 1069
#define IDC_TB_SEND_MESSAGE 1070
#define IDC_TB_NEXT_CALL 1071
#define IDC_TB_EXIT 1072
#define IDC_TB_PREVIOUS 1073
#define IDC_TB_NEXT 1074

// ---- strings of the main window ----
#define IDS_ABOUTBOX 61101           // "&About Lumo..."
#define IDS_TITLE_PREFIX 61204       // "Lumo - ": the state text follows
#define IDS_COLUMN_CALL 61151        // "Call"
#define IDS_COLUMN_GROUP 61224       // "Group"
#define IDS_COLUMN_TOTAL_TIME 61230  // "Total time"
#define IDS_COLUMN_QUEUE_TIME 61104  // "Queue time"
#define IDS_COLUMN_SENDER 61105      // "Sender"
#define IDS_COLUMN_DESTINATION 61106 // "Destination"
#define IDS_COLUMN_TYPE 61107        // "Type"
#define IDS_COLUMN_STATUS 61109      // "Status"
#define IDS_INBOUND_GROUP 61288      // "Inbound group"
#define IDS_TIP_END_CALL 61267
#define IDS_TIP_END_TASK 61129
#define IDS_TIP_ON_HOLD 61150
#define IDS_TIP_RECORD 61269
#define IDS_TIP_ANONYMIZE 61218
#define IDS_TIP_TAKE_BACK 61265
#define IDS_TIP_TAKE_CALL 61266
#define IDS_TIP_TRANSFER 61112
#define IDS_TIP_TRANSFER_TO 61268
#define IDS_TIP_CONFERENCE 61287
#define IDS_TIP_MUTE_MASTER 32786
#define IDS_TIP_MUTE_MICROPHONE 32787
