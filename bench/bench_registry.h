// bench_registry.h - natively, where the benchmarks' registry lives: in the
// process (the default, as a Windows program finds its registry in memory),
// or, for the rows marked registry_file, in a registry file
// (WIN32_POSIX_REGISTRY), which every registry call checks for changes made
// by other processes.
#ifndef HBC_BENCH_REGISTRY_H
#define HBC_BENCH_REGISTRY_H

#include <win32_posix/testing.h>

#include <cstdlib>

#include "bench_support.h"

class RegistryScope {
public:
    // A registry file when `file`; the registry starts empty either way.
    explicit RegistryScope(bool file) : m_file(file) {
        if (!m_file) return;
        std::filesystem::remove(scratchPath("registry.reg"));
        ::setenv("WIN32_POSIX_REGISTRY", scratchPath("registry.reg").c_str(), 1);
        w32p::testing::resetRegistry();
    }
    ~RegistryScope() {
        if (!m_file) return;
        ::setenv("WIN32_POSIX_REGISTRY", "", 1);
        w32p::testing::resetRegistry();
    }
    RegistryScope(const RegistryScope&) = delete;
    RegistryScope& operator=(const RegistryScope&) = delete;

private:
    bool m_file;
};

#endif
