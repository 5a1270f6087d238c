#pragma once
// The one dialog of the idle memory benchmark's reference program.
#define IDD_BENCH_EMPTY 100
