// Runs a piece of a test in a child process whose writes fail beyond a file-size limit: a real
// failing write, for root too (read-only folders do not stop root).
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// The child's exit code from `body`, or -1 when the child could not run or did not exit.
inline int RunWithFileSizeLimit(uint64_t limitBytes, const std::function<int()>& body) {
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{limitBytes, limitBytes};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(body());
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}
