// log_bench.cpp - one log record with logging on, natively: the registry
// settings read, the line formatted, the file opened, appended and closed;
// against one open, append and close of the same file with a line of the
// same size.
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "bench_api.h"
#include "bench_registry.h"
#include "bench_support.h"
#include "zyn_log_warning.h"

namespace {

// Records per run: enough to time, few enough to keep the log small.
const int kRecords = 20000;

std::string logFile() { return scratchPath("logs/bench.log").string(); }

void logRecord(benchmark::State& state) {
    RegistryScope registry(state.range(0) != 0);
    std::filesystem::create_directories(scratchPath("logs"));
    std::filesystem::remove(logFile());
    // DEBUG records (32) beside the default levels (27).
    if (!loggingOn(27 | 32, scratchWinPath("logs\\bench.log")))
        return state.SkipWithError("the registry refused the settings");
    for (auto _ : state) {
        CZYNDebugLog record(TEXT("a benchmark record, about as long as a catalogue message"), 0,
                            ZYN_RESULT_PASSED, nullptr, nullptr, TEXT("log_bench.cpp"), 42);
    }
    loggingOff();
    std::error_code error;
    auto bytes = std::filesystem::file_size(logFile(), error);
    if (error || bytes < 2 + 100 * static_cast<uintmax_t>(state.iterations()))
        state.SkipWithError("the records were not written (is the program's path 128 characters or longer?)");
    else
        state.counters["line_bytes"] = static_cast<double>(bytes - 2) / static_cast<double>(state.iterations());
}

// The floor: open for appending, write one line, close.
void appendLine(benchmark::State& state) {
    std::filesystem::create_directories(scratchPath("logs"));
    std::string file = scratchPath("logs/floor.log").string();
    std::filesystem::remove(file);
    // The size of the record's line: about 125 UTF-16 units.
    const std::string line(250, 'x');
    for (auto _ : state) {
        int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        benchmark::DoNotOptimize(::write(fd, line.data(), line.size()));
        ::close(fd);
    }
}

}  // namespace

void registerLogBenchmarks() {
    benchmark::RegisterBenchmark("log_record", logRecord)->Arg(0)->Arg(1)->ArgName("registry_file")
        ->Iterations(kRecords)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("append_line", appendLine)
        ->Iterations(kRecords)->Unit(benchmark::kMicrosecond);
}
