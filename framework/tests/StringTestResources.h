#pragma once
// String ids of the string tests' own string table.
#define IDS_TEST_GREETING 101
#define IDS_TEST_FORMAT 102
#define IDS_TEST_MISSING 103
