// Runs a command line through the shell (popen) and collects its standard output.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

// Runs `command`, its standard output into `out`; the exit status, -1 when the command could
// not be started or did not exit normally.
inline int RunShellCommand(const std::string& command, std::string& out) {
    out.clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.append(buffer.data(), n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
