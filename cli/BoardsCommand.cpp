// kavrin boards [--json]: the grabber boards in the binding's order, and whether the grabber
// library is available.
#include "acquisition/CSiliconAPI.h"
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/JsonText.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <utility>

namespace {

int RunBoards(const std::vector<std::string>& args) {
    bool json = false;
    for (const std::string& arg : args) {
        if (arg == "--json") {
            json = true;
        } else {
            cli::Error("boards: unknown argument " + arg);
            return CLI_USAGE;
        }
    }
    const CSiliconAPI& api = TheSiliconAPI();
    if (json) {
        nlohmann::ordered_json boards = nlohmann::ordered_json::array();
        for (const CSiliconAPI::BoardRecord& board : api.Boards())
            boards.push_back({{"index", board.boardIndex},
                              {"type", board.boardType},
                              {"name", board.boardName},
                              {"applet", board.appletFile},
                              {"serial", board.serialNumber}});
        const nlohmann::ordered_json out = {{"available", api.IsAvailable()},
                                            {"boards", std::move(boards)}};
        std::printf("%s\n", cli::JsonText(out).c_str());
        return CLI_OK;
    }
    if (api.IsAvailable())
        std::printf("grabber library: available (%s)\n", api.Library().Path().c_str());
    else if (api.Library().IsLoaded())
        std::printf("grabber library: incomplete, not available (%s)\n",
                    api.Library().Path().c_str());
    else
        std::printf("grabber library: not available\n");
    if (api.Boards().empty()) {
        std::printf("no boards\n");
        return CLI_OK;
    }
    std::printf("%-5s  %-6s  %-28s  %-22s  %s\n", "index", "type", "name", "applet", "serial");
    for (const CSiliconAPI::BoardRecord& board : api.Boards())
        std::printf("%-5u  %-6d  %-28s  %-22s  0x%08X\n", board.boardIndex, board.boardType,
                    board.boardName.c_str(),
                    board.appletFile.empty() ? "-" : board.appletFile.c_str(), board.serialNumber);
    return CLI_OK;
}

} // namespace

const CliCommand& BoardsCommand() {
    static const CliCommand command{
        "boards", "[--json]", "the frame-grabber boards and whether the grabber library is bound",
        "  Lists the boards in the order cameras use them (index, type, name, applet file,\n"
        "  serial number). --json prints {\"available\": BOOL, \"boards\": [{\"index\", \"type\",\n"
        "  \"name\", \"applet\", \"serial\"}, ...]}. The grabber library is KAVRIN_FGLIB (a path;\n"
        "  \"none\" for no library), else libfglib5.so on the loader's path, else the simulator\n"
        "  beside the program.",
        &RunBoards};
    return command;
}
