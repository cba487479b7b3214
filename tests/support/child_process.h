// child_process.h - parts of a test that run in other processes: the test
// program starts itself again to run a routine registered by name, so that
// one test source shows what holds between processes on both hosts (a new
// process under Wine, posix_spawn natively).
#ifndef CHILD_PROCESS_H
#define CHILD_PROCESS_H

#include <string>
#include <vector>

// A routine that a child process runs; its result is the process's exit code.
using ChildRoutine = int (*)(const std::vector<std::string>& args);

// Registers a routine under `name`; returns true, for a static initialiser.
bool registerChildRoutine(const char* name, ChildRoutine routine);

// Defines and registers a routine: HBC_CHILD_ROUTINE(appendRecords) { ... }
// with `args` in scope.
#define HBC_CHILD_ROUTINE(name)                                                       \
    int name(const std::vector<std::string>& args);                                   \
    [[maybe_unused]] const bool name##Registered = registerChildRoutine(#name, name); \
    int name(const std::vector<std::string>& args)

// A child process of the test program running one routine. It is waited for
// at the latest when the object goes.
class ChildProcess {
public:
    ChildProcess(const std::string& routine, const std::vector<std::string>& args);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits for the end and returns the exit code; -1 when the process could
    // not be started or did not end by returning.
    int wait();

private:
    long long m_process = -1;  // the process handle, or the process id
    int m_exitCode = -1;
};

// Runs a command line through the system's shell (sh; cmd under Windows),
// collects its standard output in `output` and answers its exit code (-1
// when it could not be run or did not end by returning).
int runCommandLine(const std::string& commandLine, std::string& output);

// For main: when the program was started as a child, runs its routine, sets
// `exitCode` and returns true.
bool runChildRoutine(int argc, char** argv, int& exitCode);

#endif
