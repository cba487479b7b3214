// string_bench.cpp - the string class's searching and editing operations at
// 1k, 10k and 100k code units, to show how their cost grows with the size of
// the text. The texts repeat a 16-unit piece holding one occurrence of what
// is looked for; the looked-for strings are short (1 to 10 units), so an
// operation that grows no faster than n·m grows here about tenfold from one
// size to the next. The editing operations work on a fresh copy each time;
// the copy is part of what is timed.
#include <string>

#include "bench_api.h"
#include "zyn_dbllist.h"
#include "zyn_wchar_string.h"

namespace {

// `n` units of `piece` repeated.
CZYNWCharString repeated(const char* piece, long n) {
    std::basic_string<WCHAR> text;
    for (size_t i = 0; text.size() < static_cast<size_t>(n); i = (i + 1) % std::strlen(piece))
        text.push_back(static_cast<WCHAR>(piece[i]));
    return CZYNWCharString(text.c_str());
}

const char* const kPiece = "abcdefghijklmno;";      // one delimiter per 16 units
const char* const kRefPiece = "abc%HBCBENCH%xyz";   // one reference per 16 units

void find(benchmark::State& state) {
    // The needle stands once, at the very end.
    CZYNWCharString text = repeated(kPiece, state.range(0)) + CZYNWCharString(TEXT("abcdefghiX"));
    const CZYNWCharString needle(TEXT("abcdefghiX"));
    ULONG pos = 0;
    for (auto _ : state) benchmark::DoNotOptimize(text.find(needle, 1, pmFromStart, &pos));
}

void occurrences(benchmark::State& state) {
    const CZYNWCharString text = repeated(kPiece, state.range(0));
    const CZYNWCharString delimiter(TEXT(";"));
    for (auto _ : state) benchmark::DoNotOptimize(text.getOccurrenceCount(delimiter));
}

void replaceAll(benchmark::State& state) {
    const CZYNWCharString text = repeated(kPiece, state.range(0));
    const CZYNWCharString from(TEXT(";")), to(TEXT(", "));
    for (auto _ : state) {
        CZYNWCharString work(text);
        benchmark::DoNotOptimize(work.replace(from, to, 1, ssmAll));
    }
}

void removeAll(benchmark::State& state) {
    const CZYNWCharString text = repeated(kPiece, state.range(0));
    const CZYNWCharString what(TEXT(";"));
    for (auto _ : state) {
        CZYNWCharString work(text);
        benchmark::DoNotOptimize(work.remove(what, 1, ssmAll));
    }
}

void parseToList(benchmark::State& state) {
    const CZYNWCharString text = repeated(kPiece, state.range(0));
    const CZYNWCharString delimiter(TEXT(";"));
    for (auto _ : state) {
        CZYNDblList<CZYNObjNode<CZYNWCharString>> list;
        benchmark::DoNotOptimize(text.parseToList(list, delimiter, pmFromStart, CZYNFlags(0), CZYNFlags(0)));
    }
}

void expand(benchmark::State& state) {
    SetEnvironmentVariableW(TEXT("HBCBENCH"), TEXT("value"));
    const CZYNWCharString text = repeated(kRefPiece, state.range(0));
    for (auto _ : state) {
        CZYNWCharString work(text);
        benchmark::DoNotOptimize(work.expand());
    }
}

}  // namespace

void registerStringBenchmarks() {
    const std::pair<const char*, void (*)(benchmark::State&)> rows[] = {
        {"string/find", find},           {"string/getOccurrenceCount", occurrences},
        {"string/replace", replaceAll},  {"string/remove", removeAll},
        {"string/parseToList", parseToList}, {"string/expand", expand},
    };
    for (const auto& [name, fn] : rows)
        benchmark::RegisterBenchmark(name, fn)->Arg(1000)->Arg(10000)->Arg(100000)->ArgName("units")
            ->Unit(benchmark::kMicrosecond);
}
