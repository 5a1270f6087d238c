#pragma once
// String resources of the tick value tests. 61593 and 61594, the texts of invalid values, are left out
// on purpose, as in the programs' own tables.
#define IDS_TICK_TEST_TIME_FORMAT 4701
#define IDS_TICK_TEST_SPAN_FORMAT 4702
