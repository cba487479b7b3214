// profile_bench.cpp - the private-profile functions, per call, on a 1 KB and
// a 1 MB file. The same source runs natively over win32_posix and, built for
// Windows, under Wine against Wine's own implementation: the two run on
// different stacks (a POSIX process against Wine's kernel32 and its server),
// so the comparison says how the stand-in does against the implementation a
// Windows program gets there, not which code is faster on equal terms.
//
// Each read asks for the last section and its last key, the far end of the
// file; writes go to a copy, alternating between two values.
#include <string>
#include <vector>

#include "bench_api.h"
#include "bench_support.h"

namespace {

// A profile file of `sections` sections of 30 keys and a number each.
std::string profileText(int sections) {
    std::string text;
    for (int s = 1; s <= sections; ++s) {
        char header[32];
        std::snprintf(header, sizeof header, "[Section%04d]\r\n", s);
        text += header;
        for (int k = 1; k <= 30; ++k) {
            char line[64];
            std::snprintf(line, sizeof line, "Key%02d=Value of key %02d in section %04d\r\n", k, k, s);
            text += line;
        }
        text += "Number=12345\r\n";
    }
    return text;
}

struct ProfileFile {
    const char* label;
    int sections;
    wstr read;   // the file read
    wstr write;  // its copy, written
    wstr lastSection;
};

std::vector<ProfileFile>& files() {
    static std::vector<ProfileFile> list = [] {
        std::vector<ProfileFile> made;
        // 1 section of 1.2 KB; 850 sections of 1.2 KB, about 1 MB.
        for (auto [label, sections] : {std::pair<const char*, int>{"1KB", 1}, {"1MB", 850}}) {
            std::string text = profileText(sections);
            std::string name = std::string("profile_") + label + ".ini";
            std::string copy = std::string("profile_") + label + "_written.ini";
            writeFile(scratchPath(name), text);
            writeFile(scratchPath(copy), text);
            ageFile(scratchPath(name));
            char section[32];
            std::snprintf(section, sizeof section, "Section%04d", sections);
            made.push_back({label, sections, scratchWinPath(name), scratchWinPath(copy), widen(section)});
        }
        return made;
    }();
    return list;
}

void checkCount(benchmark::State& state, DWORD got, DWORD expected) {
    if (got != expected) state.SkipWithError("the call did not return what the file holds");
}

void getString(benchmark::State& state, const ProfileFile& f) {
    WCHAR buffer[1024];
    DWORD n = 0;
    for (auto _ : state) {
        n = GetPrivateProfileStringW(f.lastSection.c_str(), TEXT("Key30"), TEXT("none"), buffer, 1024,
                                     f.read.c_str());
        benchmark::DoNotOptimize(n);
    }
    checkCount(state, n, 31);  // "Value of key 30 in section NNNN"
}

void getInt(benchmark::State& state, const ProfileFile& f) {
    UINT n = 0;
    for (auto _ : state) {
        n = GetPrivateProfileIntW(f.lastSection.c_str(), TEXT("Number"), -1, f.read.c_str());
        benchmark::DoNotOptimize(n);
    }
    checkCount(state, n, 12345);
}

void getSection(benchmark::State& state, const ProfileFile& f) {
    static WCHAR buffer[32767];
    DWORD n = 0;
    for (auto _ : state) {
        n = GetPrivateProfileSectionW(f.lastSection.c_str(), buffer, 32767, f.read.c_str());
        benchmark::DoNotOptimize(n);
    }
    // 30 "KeyNN=Value of key NN in section NNNN" and "Number=12345", each with its NUL.
    checkCount(state, n, 30 * 38 + 13);
}

void getSectionNames(benchmark::State& state, const ProfileFile& f) {
    static WCHAR buffer[32767];
    DWORD n = 0;
    for (auto _ : state) {
        n = GetPrivateProfileSectionNamesW(buffer, 32767, f.read.c_str());
        benchmark::DoNotOptimize(n);
    }
    checkCount(state, n, static_cast<DWORD>(f.sections) * 12);
}

void writeString(benchmark::State& state, const ProfileFile& f) {
    bool flip = false;
    BOOL ok = TRUE;
    for (auto _ : state) {
        flip = !flip;
        ok = WritePrivateProfileStringW(f.lastSection.c_str(), TEXT("Key30"),
                                        flip ? TEXT("first value") : TEXT("other value"),
                                        f.write.c_str());
        benchmark::DoNotOptimize(ok);
    }
    checkCount(state, ok ? 1 : 0, 1);
}

}  // namespace

// Registers the rows "profile/<function>/<size>".
void registerProfileBenchmarks() {
    using Row = void (*)(benchmark::State&, const ProfileFile&);
    const std::pair<const char*, Row> rows[] = {
        {"GetPrivateProfileStringW", getString},
        {"GetPrivateProfileIntW", getInt},
        {"GetPrivateProfileSectionW", getSection},
        {"GetPrivateProfileSectionNamesW", getSectionNames},
        {"WritePrivateProfileStringW", writeString},
    };
    for (const ProfileFile& f : files()) {
        for (const auto& [function, row] : rows) {
            std::string name = std::string("profile/") + function + "/" + f.label;
            benchmark::RegisterBenchmark(name.c_str(), [row, &f](benchmark::State& state) { row(state, f); })
                ->Unit(benchmark::kMicrosecond);
        }
    }
}
