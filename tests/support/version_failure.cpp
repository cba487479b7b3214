// version_failure.cpp - natively only: this program's own GetVersionExW,
// which answers as the stand-in's does unless a FailingVersionQueries object
// makes it refuse records of given sizes. On Windows the version query never
// fails, so the library's answer to a failing one can only be tested here.
// The file is linked into a test program only when a test uses the class.
#ifndef _WIN32
#include <dlfcn.h>

#include <algorithm>
#include <mutex>

#include "hbc_test.h"

namespace {

std::mutex g_mutex;
const FailingVersionQueries* g_active = nullptr;
std::vector<DWORD> g_asked;

using GetVersionExWFn = BOOL (*)(LPOSVERSIONINFOW);

}  // namespace

extern "C" BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW info) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_active) {
            const DWORD size = info ? info->dwOSVersionInfoSize : 0;
            g_asked.push_back(size);
            const std::vector<DWORD>& refused = g_active->refused();
            if (std::find(refused.begin(), refused.end(), size) != refused.end()) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return FALSE;
            }
        }
    }
    static const auto real = reinterpret_cast<GetVersionExWFn>(dlsym(RTLD_NEXT, "GetVersionExW"));
    return real(info);
}

FailingVersionQueries::FailingVersionQueries(std::vector<DWORD> refusedSizes)
    : m_refused(std::move(refusedSizes)) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_active = this;
    g_asked.clear();
}

FailingVersionQueries::~FailingVersionQueries() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_active = nullptr;
}

std::vector<DWORD> FailingVersionQueries::asked() const {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_asked;
}
#endif
