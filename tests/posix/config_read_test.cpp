// config_read_test.cpp - the stand-in reads its own settings (WIN32_POSIX_*)
// only while no thread is changing the environment. This program's getenv,
// setenv and unsetenv stand in front of the C library's (the stand-in's calls
// reach them first, as the program's symbols come first); they count the
// reads that happen while a change is under way, and make each change last a
// little, so that a read without the environment's lock meets one.
#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "hbc_test.h"
#include "win32_posix/testing.h"

namespace {

std::atomic<bool> g_watching{false};
std::atomic<int> g_changesUnderWay{0};
std::atomic<int> g_readsDuringChanges{0};

template <class Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Runs a change of the environment slowly, noting that it is under way.
template <class Change>
int slowChange(Change change) {
    ++g_changesUnderWay;
    for (volatile int i = 0; i < 20000; i = i + 1) {
    }
    int result = change();
    --g_changesUnderWay;
    return result;
}

}  // namespace

extern "C" char* getenv(const char* name) noexcept {
    static auto real = next<char* (*)(const char*)>("getenv");
    if (g_watching && g_changesUnderWay) ++g_readsDuringChanges;
    return real(name);
}

extern "C" int setenv(const char* name, const char* value, int overwrite) noexcept {
    static auto real = next<int (*)(const char*, const char*, int)>("setenv");
    return slowChange([&] { return real(name, value, overwrite); });
}

extern "C" int unsetenv(const char* name) noexcept {
    static auto real = next<int (*)(const char*)>("unsetenv");
    return slowChange([&] { return real(name); });
}

namespace {

TEST(ConfigurationReads, NeverMeetAChangeOfTheEnvironment) {
    g_readsDuringChanges = 0;
    g_watching = true;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; !done; ++i) {
            wstr name = W("HBC_CONFIG_RACE_" + std::to_string(i % 16));
            SetEnvironmentVariableW(name.c_str(), i % 3 ? TEXT("value") : nullptr);
        }
    });
    for (int i = 0; i < 300; ++i) {
        // Every setting is read again: the drive folders at the next path,
        // the version at the next version query.
        w32p::testing::resetConfiguration();
        GetFileAttributesW(TEXT("C:\\"));
        OSVERSIONINFOW version = {};
        version.dwOSVersionInfoSize = sizeof version;
        GetVersionExW(&version);
    }
    done = true;
    writer.join();
    g_watching = false;
    for (int i = 0; i < 16; ++i)
        SetEnvironmentVariableW(W("HBC_CONFIG_RACE_" + std::to_string(i)).c_str(), nullptr);
    w32p::testing::resetConfiguration();
    EXPECT_EQ(0, g_readsDuringChanges.load());
}

}  // namespace
