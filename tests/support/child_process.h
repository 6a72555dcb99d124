#pragma once
// Forked child processes for tests that need another station: the body runs
// in the child, whose exit code the parent reads back. Close the parent's
// database connections before forking; a child opens its own.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace tv::test {

// Runs `body` in a child process, which ends with its result (2 when it threw).
template <class F>
pid_t spawn(F body) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        int rc = 1;
        try {
            rc = body();
        } catch (...) {
            rc = 2;
        }
        _exit(rc);
    }
    return pid;
}

// Waits for the child: its exit code, or 100 + the signal that ended it.
inline int exitCode(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

}  // namespace tv::test
