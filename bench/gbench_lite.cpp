// gbench_lite.cpp - the small benchmark runner of the Windows build.
#include "gbench_lite.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace benchmark {

namespace {
struct Entry {
    std::string name;
    Function fn;
    Registered registered;
};
std::vector<Entry>& registry() {
    static std::vector<Entry> entries;
    return entries;
}

// Nanoseconds per iteration of one run of `iterations`; negative on error.
double timeRun(const Entry& entry, uint64_t iterations, std::string& error) {
    State state(iterations);
    auto start = std::chrono::steady_clock::now();
    entry.fn(state);
    auto ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start);
    if (state.error_occurred()) {
        error = state.error();
        return -1;
    }
    return ns.count() / static_cast<double>(iterations);
}
}  // namespace

void State::SkipWithError(const char* message) {
    m_error = message;
    m_left = 0;
}

Registered* RegisterBenchmark(const char* name, Function fn) {
    registry().push_back(Entry{name, std::move(fn), {}});
    return &registry().back().registered;
}

void RunAll(const std::string& filter) {
    for (const Entry& entry : registry()) {
        if (!filter.empty() && entry.name.find(filter) == std::string::npos) continue;
        std::string error;
        // Grow the count until a run takes a tenth of a second, then aim at half a second.
        uint64_t iterations = 1;
        double perIteration = 0;
        for (;;) {
            perIteration = timeRun(entry, iterations, error);
            if (perIteration < 0 || perIteration * iterations >= 1e8 || iterations >= (1u << 30)) break;
            iterations *= 10;
        }
        if (perIteration < 0) {
            std::fprintf(stderr, "%-48s ERROR: %s\n", entry.name.c_str(), error.c_str());
            continue;
        }
        iterations = std::max<uint64_t>(1, static_cast<uint64_t>(5e8 / perIteration));
        std::vector<double> runs;
        for (int i = 0; i < 3 && perIteration >= 0; ++i) runs.push_back(timeRun(entry, iterations, error));
        std::sort(runs.begin(), runs.end());
        double median = runs[runs.size() / 2];
        std::fprintf(stderr, "%-48s %12.0f ns %10llu iterations\n", entry.name.c_str(), median,
                     static_cast<unsigned long long>(iterations));
        std::printf("%s\t%.1f\n", entry.name.c_str(), median);
        std::fflush(stdout);
    }
}

}  // namespace benchmark
