// fork_child.h - a part of a POSIX-only test run in a forked child process
// (the child shares the parent's memory image, so it can run a lambda), and
// waiting for it.
#ifndef FORK_CHILD_H
#define FORK_CHILD_H

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

// Runs `body` in a child process, which ends with its result as exit code.
inline pid_t inChild(const std::function<int()>& body) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    return pid;
}

// The exit code of a child, or -1 when it did not end by itself.
inline int waitFor(pid_t pid) {
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

#endif
