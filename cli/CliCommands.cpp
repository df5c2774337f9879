#include "cli/CliCommand.h"

// A new command adds its file and one line here.
std::span<const CliCommand* const> AllCommands() {
    static const CliCommand* const commands[] = {
        &InfoCommand(),    &ConvertCommand(), &BoardsCommand(),
        &CamerasCommand(), &GrabCommand(),    &VerifyCommand(),
    };
    return commands;
}
