// bench_main.cpp - the native benchmark program: every row, then a short
// table of ratios, each row divided by the floor measured in the same run.
//
//   hbc_bench [--wine-results=<file>] [Google Benchmark options]
//
// It fails (exit code 1) when a row could not run what it measures. <file>
// holds the Windows build's private-profile rows as run under Wine
// ("<name>\t<nanoseconds>" lines, from hbc_profile_bench.exe); they are set
// beside the native ones.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "bench_api.h"
#include "bench_support.h"

void registerModuleBenchmarks();
void registerProfileBenchmarks();
void registerLogBenchmarks();
void registerStringBenchmarks();

namespace {

// Times per iteration, in nanoseconds: the median of the repetitions, or the one run.
struct Result {
    double cpu = 0;   // CPU time of the benchmark's thread, user and system
    double real = 0;  // real time
    std::map<std::string, double> counters;
};

// Prints as the console reporter does and keeps each benchmark's time.
class TableReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, Result> results;
    int errors = 0;  // rows that could not run what they measure

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) {
                ++errors;
                continue;
            }
            bool aggregate = run.run_type == Run::RT_Aggregate;
            if (aggregate && run.aggregate_name != "median") continue;
            Result& r = results[run.run_name.str()];
            if (!aggregate && r.cpu != 0 && run.repetitions > 1) continue;  // the median comes later
            const double toNs = 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            r.cpu = run.GetAdjustedCPUTime() * toNs;
            r.real = run.GetAdjustedRealTime() * toNs;
            for (const auto& [name, counter] : run.counters) r.counters[name] = counter.value;
        }
    }
};

std::map<std::string, double> readWineResults(const std::string& file) {
    std::map<std::string, double> wine;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        size_t tab = line.find('\t');
        if (tab != std::string::npos) wine[line.substr(0, tab)] = std::atof(line.c_str() + tab + 1);
    }
    return wine;
}

const Result* find(const TableReporter& r, const std::string& name) {
    auto it = r.results.find(name);
    return it == r.results.end() ? nullptr : &it->second;
}

// One line of the table: the row's time over its floor's (CPU time, or real
// time with `real`).
void row(const std::string& what, const Result* value, const Result* floor, const char* target,
         bool real = false) {
    double v = value ? (real ? value->real : value->cpu) : 0;
    double f = floor ? (real ? floor->real : floor->cpu) : 0;
    if (v <= 0 || f <= 0) {
        std::printf("  %-50s %9s\n", what.c_str(), "not run");
        return;
    }
    std::printf("  %-50s %9.2f   %-14s %10.2f µs / %.2f µs\n", what.c_str(), v / f, target, v / 1000, f / 1000);
}

void printTable(const TableReporter& r, const std::map<std::string, double>& wine) {
    std::printf("\nRatios, each row against its floor in this run (CPU time of the thread, user and\n"
                "system; the Wine rows in real time, as Wine works partly in its server process)\n");
    std::printf("  %-50s %9s   %-14s %s\n", "row / floor", "ratio", "target", "row / floor per iteration");
    for (int n : {100, 1000, 10000}) {
        std::string files = "files:" + std::to_string(n);
        std::string label = "module load, " + std::to_string(n) + " files / read each once";
        row(label, find(r, "load/" + files + "/registry_file:0"), find(r, "read_once/" + files),
            n == 10000 ? "<= 2" : "");
    }
    for (int t : {1, 2, 3})
        for (int file : {0, 1}) {
            std::string label = "menu query, text at try " + std::to_string(t) +
                                (file ? ", registry file" : "") + " / stat";
            row(label, find(r, "query/try:" + std::to_string(t) + "/registry_file:" + std::to_string(file)),
                find(r, "stat_strings_file"), file ? "" : "<= 10");
        }
    row("log record / open-append-close", find(r, "log_record/registry_file:0/iterations:20000"),
        find(r, "append_line/iterations:20000"), "<= 3");
    row("log record, registry file / open-append-close", find(r, "log_record/registry_file:1/iterations:20000"),
        find(r, "append_line/iterations:20000"), "");

    if (!wine.empty()) {
        std::printf("  -- private-profile calls, this build / Wine's (different stacks)\n");
        for (const auto& [name, ns] : wine) {
            const Result* native = find(r, name);
            Result w;
            w.real = ns;
            bool write = name.find("Write") != std::string::npos;
            row(name, native, &w, write ? "" : "< 1", true);
        }
    }

    std::printf("  -- string operations: growth from one size to the next (tenfold the text)\n");
    for (const char* op : {"find", "getOccurrenceCount", "replace", "remove", "parseToList", "expand"}) {
        std::string base = std::string("string/") + op + "/units:";
        for (auto [from, to] : {std::pair<int, int>{1000, 10000}, {10000, 100000}}) {
            std::string label = std::string(op) + " " + std::to_string(to / 1000) + "k / " +
                                std::to_string(from / 1000) + "k";
            row(label, find(r, base + std::to_string(to)), find(r, base + std::to_string(from)), "~10");
        }
    }

    if (const Result* load = find(r, "load/files:10000/registry_file:0")) {
        auto it = load->counters.find("heap_per_item");
        if (it != load->counters.end())
            std::printf("  %-50s %9.0f   %-14s\n", "catalogue heap per item, 10000 files (bytes)", it->second,
                        "< 2048");
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string wineFile;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--wine-results=", 15) == 0) {
            wineFile = argv[i] + 15;
            for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
            --argc;
            --i;
        }
    }
    // The registry in the process, drive C: the root, Windows 10.
    ::setenv("WIN32_POSIX_REGISTRY", "", 1);
    ::setenv("WIN32_POSIX_DRIVE_C", "/", 1);
    ::unsetenv("WIN32_POSIX_VERSION");

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    registerModuleBenchmarks();
    registerProfileBenchmarks();
    registerLogBenchmarks();
    registerStringBenchmarks();
    // Everything the rows read is written by now; let it settle once.
    waitUntilSettled();

    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printTable(reporter, wineFile.empty() ? std::map<std::string, double>() : readWineResults(wineFile));
    benchmark::Shutdown();
    if (reporter.errors) std::fprintf(stderr, "hbc_bench: %d rows could not run\n", reporter.errors);
    return reporter.errors ? 1 : 0;
}
