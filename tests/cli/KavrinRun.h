// Runs the built kavrin program (KAVRIN_CLI, set by the test target) as a user's shell would and
// collects what it prints and its exit status.
#pragma once

#include "tests/support/ShellCommand.h"

#include <string>

struct CliRun {
    int status = -1; // exit status, -1 when the program did not exit normally
    std::string out;
};

// Runs `environment kavrin arguments` (arguments already shell-quoted; environment may be empty,
// e.g. "KAVRIN_FGLIB=none"). With `withErrors` standard error is part of `out`, else dropped.
inline CliRun RunKavrin(const std::string& environment, const std::string& arguments,
                        bool withErrors = false) {
    const std::string command = environment + " " + std::string(KAVRIN_CLI) + " " + arguments +
                                (withErrors ? " 2>&1" : " 2>/dev/null");
    CliRun run;
    run.status = RunShellCommand(command, run.out);
    return run;
}

// kavrin with `arguments` in the test's own environment.
inline CliRun Kavrin(const std::string& arguments, bool withErrors = false) {
    return RunKavrin("", arguments, withErrors);
}
