// fuzz_support.cpp - checks, guarded buffers and the scratch folder of the
// fuzz targets.
#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fuzz {

namespace {
const size_t kGuardUnits = 16;
const WCHAR kGuard = 0xBEEF;
}  // namespace

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

GuardedText::GuardedText(size_t units, WCHAR fill)
    : m_size(units), m_fill(fill), m_units(units + kGuardUnits, kGuard) {
    std::fill(m_units.begin(), m_units.begin() + static_cast<std::ptrdiff_t>(units), fill);
}

bool GuardedText::guardsIntact() const {
    for (size_t i = m_size; i < m_units.size(); ++i)
        if (m_units[i] != kGuard) return false;
    return true;
}

bool GuardedText::untouchedFrom(size_t from) const {
    for (size_t i = from; i < m_size; ++i)
        if (m_units[i] != m_fill) return false;
    return true;
}

namespace {
// Made at the first use, removed when the process ends normally (libFuzzer
// ends a timed run with exit).
struct Scratch {
    std::string path;
    Scratch() {
        std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        path = base + "/hbc-fuzz-" + std::to_string(::getpid());
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};
}  // namespace

const std::string& scratchFolder() {
    static const Scratch scratch;
    return scratch.path;
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    check(static_cast<bool>(out), "the scratch file could not be written");
}

}  // namespace fuzz
