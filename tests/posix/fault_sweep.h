// fault_sweep.h - fault sweeps over the stand-in's system-call table: a
// scenario runs once to count the calls it makes through the table, then
// once for every N with the Nth call failing as the system would fail it
// (open EACCES, write ENOSPC, read EIO, malloc ENOMEM, ...), and once more
// for every N with every call from the Nth on failing. Natively only: under
// Wine the real Win32 functions run and there is no table.
#ifndef FAULT_SWEEP_H
#define FAULT_SWEEP_H

#include <functional>
#include <optional>
#include <string>

// The call that was made to fail.
struct Fault {
    int call = 0;             // 1 for the scenario's first call through the table
    std::string name;         // the table entry: "open", "write", "malloc", ...
    int error = 0;            // the errno it failed with
    std::string target;       // the file or folder it was about ("" for memory)
    bool persistent = false;  // every call from this one on failed
    std::string describe() const;
    // Whether the fault was about `path` or something in it.
    bool touches(const std::string& path) const;
    // Whether `code` is the Win32 code Windows gives for the failure (for a
    // persistent fault, for the failure of any call that came after).
    bool explains(unsigned long code) const;
};

// The fault's description, or "no fault".
std::string describe(const std::optional<Fault>& fault);

// One run of a scenario. The scenario does its work, then calls stop(),
// which ends the injection and says which fault fired (none in the counting
// run, or when the scenario made fewer calls this time), before it checks
// what it got.
class FaultRun {
public:
    std::optional<Fault> stop();
};

// Runs `prepare` and then `scenario` with no fault and counts the calls the
// scenario makes, then, for N up to that count, again with the Nth call
// failing and again with every call from the Nth on failing. N takes at most
// 250 values spread over the count, or as many as HBC_SWEEP_LIMIT says (0:
// every call). Every run must leave the process's open file descriptors as
// it found them. Stops at the first run with a test failure. Returns the
// count.
int sweepFaults(const std::function<void()>& prepare,
                const std::function<void(FaultRun&)>& scenario);

#endif
