// The commands of the `kavrin` tool. Each command lives in its own file and is listed once in
// CliCommands.cpp; main dispatches by name and builds the help text from these entries.
#pragma once

#include <span>
#include <string>
#include <vector>

struct CliCommand {
    const char* name;    // the word on the command line: "info"
    const char* usage;   // arguments after the name: "FILE [--json]"
    const char* summary; // one line for the command list
    const char* details; // further help lines (may be empty)
    // Runs the command with the arguments after its name; returns the exit status.
    int (*run)(const std::vector<std::string>& args);
};

// Exit statuses.
inline constexpr int CLI_OK = 0;
inline constexpr int CLI_FAILED = 1; // the operation failed (message on standard error)
inline constexpr int CLI_USAGE = 2;  // the command line was wrong

// Every command, in the order the help lists them.
std::span<const CliCommand* const> AllCommands();

// The commands (one file each).
const CliCommand& InfoCommand();
const CliCommand& ConvertCommand();
const CliCommand& BoardsCommand();
const CliCommand& CamerasCommand();
const CliCommand& GrabCommand();
const CliCommand& VerifyCommand();
