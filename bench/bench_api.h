// bench_api.h - the benchmark API the benchmark sources use: Google
// Benchmark natively, and for the Windows build (which has no Google
// Benchmark package) the small harness of gbench_lite.h, which times the
// same sources the same way and prints one line per benchmark.
#ifndef HBC_BENCH_API_H
#define HBC_BENCH_API_H

#ifdef _WIN32
#include "gbench_lite.h"
#else
#include <benchmark/benchmark.h>
#endif

#endif
