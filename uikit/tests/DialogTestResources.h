#pragma once
// Templates of the dialog-base tests.
#define IDD_UIKIT_TEST 100
#define IDC_TEST_EDIT 1001
#define IDC_TEST_BUTTON 1002
#define IDC_TEST_LABEL 1003
#define IDC_TEST_MISSING 1999
