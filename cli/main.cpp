// kavrin: the command-line front end of KavrinDemo.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

void PrintHelp() {
    std::printf("kavrin %s - KavrinDemo on the command line\n\n"
                "usage: kavrin COMMAND [ARGUMENTS]\n"
                "       kavrin --help | --version\n"
                "       kavrin COMMAND --help\n\ncommands:\n",
                KAVRIN_VERSION);
    for (const CliCommand* command : AllCommands())
        std::printf("  %s %s\n      %s\n", command->name, command->usage, command->summary);
    std::printf("\n");
    for (const CliCommand* command : AllCommands())
        if (command->details && *command->details)
            std::printf("%s:\n%s\n\n", command->name, command->details);
    std::printf("A progress bar appears on standard error while loading and saving when it is a\n"
                "terminal; Ctrl-C stops cleanly. Exit status: 0 success, 1 failure, 2 wrong\n"
                "command line. The image library libLumoInst.so is found beside the program\n"
                "(or through KAVRIN_LUMOINST).\n");
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintHelp();
        return CLI_USAGE;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintHelp();
        return CLI_OK;
    }
    if (args[0] == "--version") {
        std::printf("kavrin %s\n", KAVRIN_VERSION);
        return CLI_OK;
    }
    for (const CliCommand* command : AllCommands()) {
        if (args[0] != command->name)
            continue;
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        for (const std::string& arg : rest) {
            if (arg == "--help" || arg == "-h") {
                std::printf("usage: kavrin %s %s\n  %s\n%s\n", command->name, command->usage,
                            command->summary, command->details ? command->details : "");
                return CLI_OK;
            }
        }
        return command->run(rest);
    }
    cli::Error("unknown command '" + args[0] + "' (kavrin --help lists them)");
    return CLI_USAGE;
}
