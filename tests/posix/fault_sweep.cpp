// fault_sweep.cpp - the fault injector on every entry of the stand-in's
// system-call table, and the sweep that moves the fault through a scenario.
#include "fault_sweep.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <type_traits>

#include "internal.h"
#include "win32_posix/syscalls.h"

namespace sys = w32p::sys;

namespace {

struct InjectorState {
    bool counting = false;
    int calls = 0;
    int failAt = 0;  // 0: no fault
    bool persistent = false;
    std::optional<Fault> fired;
};
InjectorState g_state;

// How each call fails: the errno the system would plausibly give it (EIO
// for those not named: read, close, fstat, readdir, closedir).
const std::pair<const char*, int> kErrors[] = {
    {"open", EACCES}, {"write", ENOSPC}, {"fsync", EIO},      {"ftruncate", EIO}, {"rename", EIO},
    {"link", EIO},    {"linkat", EIO},   {"unlink", EACCES},  {"mkdir", ENOSPC},  {"rmdir", EACCES},
    {"stat", EACCES}, {"lstat", EACCES}, {"opendir", EACCES}, {"malloc", ENOMEM}, {"flock", ENOLCK},
};

int errorFor(const std::string& name) {
    for (const auto& [entry, error] : kErrors)
        if (name == entry) return error;
    return EIO;
}

std::string descriptorPath(int fd) {
    char link[64], target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = ::readlink(link, target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

// What a call is about: its first path argument, else the file behind its
// first descriptor or folder stream.
template <class... A>
std::string targetOf(A... args) {
    std::string target;
    auto look = [&](auto arg) {
        using T = decltype(arg);
        if (!target.empty()) return;
        if constexpr (std::is_same_v<T, const char*>)
            target = arg ? arg : "";
        else if constexpr (std::is_same_v<T, DIR*>)
            target = arg ? descriptorPath(::dirfd(arg)) : "";
        else if constexpr (std::is_same_v<T, int>)
            target = arg >= 0 ? descriptorPath(arg) : "";
    };
    (look(args), ...);
    return target;
}

template <auto& Entry,
          class Signature = typename std::remove_reference_t<decltype(Entry)>::Signature>
struct Injector;

template <auto& Entry, class R, class... A>
struct Injector<Entry, R(A...)> {
    static R call(A... args) {
        InjectorState& s = g_state;
        if (!s.counting) return Entry.original()(args...);
        ++s.calls;
        bool due = s.failAt && (s.persistent ? s.calls >= s.failAt : s.calls == s.failAt);
        if (!due) return Entry.original()(args...);
        const std::string name = Entry.name();
        const int error = errorFor(name);
        if (!s.fired) s.fired = Fault{s.calls, name, error, targetOf(args...), s.persistent};
        // A failing close still releases the descriptor, as Linux's does.
        if (name == "close" || name == "closedir") Entry.original()(args...);
        errno = error;
        if constexpr (std::is_pointer_v<R>)
            return nullptr;
        else
            return R(-1);
    }
};

template <auto&... Entries>
void installInjectors() {
    (Entries.set(&Injector<Entries>::call), ...);
}

// Every entry of the table routed through its injector for the object's life.
class Injection {
public:
    Injection() {
        installInjectors<sys::open, sys::close, sys::read, sys::write, sys::fsync, sys::ftruncate,
                         sys::rename, sys::link, sys::linkat, sys::unlink, sys::mkdir, sys::rmdir,
                         sys::stat, sys::lstat, sys::fstat, sys::opendir, sys::readdir,
                         sys::closedir, sys::flock, sys::malloc>();
        sys::forEach([](auto& entry) {
            EXPECT_NE(entry.original(), entry.current()) << entry.name() << " has no injector";
        });
    }
    ~Injection() {
        g_state = InjectorState();
        sys::resetAll();
        sys::forEach([](auto& entry) {
            EXPECT_EQ(entry.original(), entry.current()) << entry.name() << " was not put back";
        });
    }
};

size_t openDescriptors() {
    size_t n = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd");
         it != std::filesystem::directory_iterator(); ++it)
        ++n;
    return n;
}

// One run: the calls counted, the fault armed at `failAt` (0: none).
int runOnce(const std::function<void()>& prepare, const std::function<void(FaultRun&)>& scenario,
            int failAt, bool persistent) {
    prepare();
    const size_t before = openDescriptors();
    FaultRun run;
    g_state = InjectorState{true, 0, failAt, persistent, std::nullopt};
    scenario(run);
    run.stop();
    const int calls = g_state.calls;
    EXPECT_EQ(before, openDescriptors()) << "a file descriptor was left open";
    return calls;
}

}  // namespace

std::string Fault::describe() const {
    return "call " + std::to_string(call) + " (" + name + (target.empty() ? "" : " " + target) +
           ") failed with " + std::strerror(error) +
           (persistent ? ", and every call after it" : "");
}

std::string describe(const std::optional<Fault>& fault) {
    return fault ? fault->describe() : "no fault";
}

bool Fault::touches(const std::string& path) const {
    return target == path || target.compare(0, path.size() + 1, path + "/") == 0;
}

bool Fault::explains(unsigned long code) const {
    if (!persistent) return code == w32p::errorFromErrno(error);
    if (code == w32p::errorFromErrno(EIO)) return true;
    for (const auto& entry : kErrors)
        if (code == w32p::errorFromErrno(entry.second)) return true;
    return false;
}

std::optional<Fault> FaultRun::stop() {
    g_state.counting = false;
    return g_state.fired;
}

int sweepFaults(const std::function<void()>& prepare,
                const std::function<void(FaultRun&)>& scenario) {
    const char* setting = std::getenv("HBC_SWEEP_LIMIT");
    const int limit = setting ? std::atoi(setting) : 250;
    Injection injection;
    int count = 0;
    {
        SCOPED_TRACE("the run without a fault");
        count = runOnce(prepare, scenario, 0, false);
    }
    EXPECT_GT(count, 0) << "the scenario made no call through the table";
    const int runs = limit > 0 && limit < count ? limit : count;
    for (bool persistent : {false, true}) {
        for (int i = 1; i <= runs && !::testing::Test::HasFailure(); ++i) {
            // Spread over the whole count when it is bounded.
            const int n =
                runs == count ? i : 1 + static_cast<int>((long long)(i - 1) * count / runs);
            SCOPED_TRACE("call " + std::to_string(n) + " of " + std::to_string(count) + " failing" +
                         (persistent ? ", and every call after it" : ""));
            runOnce(prepare, scenario, n, persistent);
        }
    }
    return count;
}
