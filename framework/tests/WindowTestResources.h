#pragma once
// Ids of the test dialog template (WindowTestResources.rc).
#define IDD_TEST_DIALOG 100
#define IDC_TEST_EDIT 1001
#define IDC_TEST_NUMBER 1002
#define IDC_TEST_CHECK 1003
#define IDC_TEST_RADIO1 1004
#define IDC_TEST_RADIO2 1005
#define IDC_TEST_RADIO3 1006
#define IDC_TEST_COMBO 1007
#define IDS_TEST_PROMPT 2001
#define IDD_MISSING_FACE_DIALOG 101
#define IDC_MISSING_FACE_LABEL 1008
