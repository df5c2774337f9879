// kavrin cameras [--json]: the camera catalogue, index and name in catalogue order.
#include "acquisition/CameraCatalogue.h"
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/JsonText.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace {

int RunCameras(const std::vector<std::string>& args) {
    bool json = false;
    for (const std::string& arg : args) {
        if (arg != "--json") {
            cli::Error("cameras: unknown argument " + arg);
            return CLI_USAGE;
        }
        json = true;
    }
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (size_t i = 0; i < CameraCatalogueSize(); ++i) {
        const char* name = CameraCatalogueEntryAt(i)->name();
        if (json)
            out.push_back({{"index", i}, {"name", name}});
        else
            std::printf("%2zu  %s\n", i, name);
    }
    if (json)
        std::printf("%s\n", cli::JsonText(out).c_str());
    return CLI_OK;
}

} // namespace

const CliCommand& CamerasCommand() {
    static const CliCommand command{
        "cameras", "[--json]", "the camera types, index and name in catalogue order",
        "  The index is what `kavrin grab --camera N` takes. --json prints an array of\n"
        "  {\"index\", \"name\"} objects.",
        &RunCameras};
    return command;
}
