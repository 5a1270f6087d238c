#pragma once
// Resources of the button tests.
#define IDM_TEST_POPUP 300
#define ID_TEST_ONE 401
#define ID_TEST_TWO 402
#define IDS_TEST_TIP 500
