// profile_bench_main.cpp - the Windows build's benchmark program: only the
// private-profile rows, run under Wine, printed as "<name>\t<nanoseconds>"
// lines for the native run to set beside its own.
#include <string>

#include "bench_api.h"
#include "bench_support.h"

void registerProfileBenchmarks();

int main(int argc, char** argv) {
    std::string filter = argc > 1 ? argv[1] : "";
    registerProfileBenchmarks();
    waitUntilSettled();
    benchmark::RunAll(filter);
    return 0;
}
