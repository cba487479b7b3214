// gbench_lite.h - the part of Google Benchmark's API that the private-profile
// benchmarks use, for the Windows build run under Wine: a state to loop
// over, registration by name, and a runner. Each benchmark runs long enough
// (at least half a second), three times; the median real time per iteration
// is printed as "<name>\t<nanoseconds>" on standard output, the form the
// native run reads to set its own results beside these.
#ifndef HBC_GBENCH_LITE_H
#define HBC_GBENCH_LITE_H

#include <cstdint>
#include <functional>
#include <string>

namespace benchmark {

class State {
public:
    explicit State(uint64_t iterations) : m_left(iterations) {}
    // What the loop variable holds: nothing, of a type marked unused, so that
    // the loop variable draws no warning (as in Google Benchmark).
    struct __attribute__((unused)) Value {};
    struct Iterator {
        State* state;
        bool operator!=(const Iterator&) const { return state->m_left > 0; }
        void operator++() { --state->m_left; }
        Value operator*() const { return Value(); }
    };
    Iterator begin() { return Iterator{this}; }
    Iterator end() { return Iterator{this}; }
    void SkipWithError(const char* message);
    bool error_occurred() const { return !m_error.empty(); }
    const std::string& error() const { return m_error; }

private:
    uint64_t m_left;
    std::string m_error;
};

template <class T>
inline void DoNotOptimize(T const& value) {
    asm volatile("" : : "r,m"(value) : "memory");
}

using Function = std::function<void(State&)>;
// Registers a benchmark; the returned pointer is only for chaining calls the
// native API offers (units), which change nothing here.
struct Registered {
    Registered* Unit(int) { return this; }
};
Registered* RegisterBenchmark(const char* name, Function fn);
// Runs every registered benchmark whose name contains `filter` (all when empty).
void RunAll(const std::string& filter);

enum TimeUnit { kNanosecond, kMicrosecond, kMillisecond };

}  // namespace benchmark

#endif
