// child_process.cpp - the test program started again as a child process.
#include "child_process.h"

#include <windows.h>

#include <cstdio>
#include <map>

#include "utf.h"

#ifndef _WIN32
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace {

// The first argument that marks a child process.
const char* const kChildFlag = "--hbc-child";

std::map<std::string, ChildRoutine>& routines() {
    static std::map<std::string, ChildRoutine> table;
    return table;
}

}  // namespace

bool registerChildRoutine(const char* name, ChildRoutine routine) {
    routines()[name] = routine;
    return true;
}

bool runChildRoutine(int argc, char** argv, int& exitCode) {
    if (argc < 3 || std::string(argv[1]) != kChildFlag) return false;
    auto it = routines().find(argv[2]);
    if (it == routines().end()) {
        std::fprintf(stderr, "no child routine named %s\n", argv[2]);
        exitCode = 125;
        return true;
    }
    exitCode = it->second(std::vector<std::string>(argv + 3, argv + argc));
    return true;
}

#ifdef _WIN32

ChildProcess::ChildProcess(const std::string& routine, const std::vector<std::string>& args) {
    wchar_t self[MAX_PATH];
    if (!GetModuleFileNameW(nullptr, self, MAX_PATH)) return;
    // Every argument quoted; the tests' arguments hold no quotes and end in no
    // backslash, so nothing in them needs escaping.
    std::wstring line = L"\"" + std::wstring(self) + L"\"";
    std::vector<std::string> all = {kChildFlag, routine};
    all.insert(all.end(), args.begin(), args.end());
    for (const std::string& arg : all)
        line += L" \"" + std::wstring(arg.begin(), arg.end()) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(self, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        return;
    CloseHandle(info.hThread);
    m_process = reinterpret_cast<long long>(info.hProcess);
}

int ChildProcess::wait() {
    if (m_process == -1) return m_exitCode;
    HANDLE process = reinterpret_cast<HANDLE>(m_process);
    DWORD code = 0;
    if (WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(process, &code))
        m_exitCode = static_cast<int>(code);
    CloseHandle(process);
    m_process = -1;
    return m_exitCode;
}

#else

ChildProcess::ChildProcess(const std::string& routine, const std::vector<std::string>& args) {
    std::vector<std::string> all = {"/proc/self/exe", kChildFlag, routine};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) == 0)
        m_process = pid;
}

int ChildProcess::wait() {
    if (m_process == -1) return m_exitCode;
    int status = 0;
    if (waitpid(static_cast<pid_t>(m_process), &status, 0) == m_process && WIFEXITED(status))
        m_exitCode = WEXITSTATUS(status);
    m_process = -1;
    return m_exitCode;
}

#endif

ChildProcess::~ChildProcess() { wait(); }

int runCommandLine(const std::string& commandLine, std::string& output) {
    output.clear();
#ifdef _WIN32
    FILE* pipe = _wpopen(fromUtf8(commandLine).c_str(), L"rb");
#else
    FILE* pipe = popen(commandLine.c_str(), "r");
#endif
    if (!pipe) return -1;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
#ifdef _WIN32
    return _pclose(pipe);
#else
    int status = pclose(pipe);
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}
