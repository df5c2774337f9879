// kavrin verify FILE: re-reads every frame of a saved recording and checks its pixels against
// the CRC-32 its frame record holds.
#include "acquisition/RecordingCheck.h"
#include "acquisition/RuntimeLibraries.h"
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/VerifyRecording.h"
#include "cli/VideoOptions.h"
#include "external/LumoFileModules.h"

#include <cstdio>

namespace cli {

int VerifyRecording(CLumoInstance* lumo, const std::string& file, bool okOnStderr) {
    const RecordingCheck check = CheckRecording(lumo, file);
    if (check.noReader) {
        Error("verify: the image library did not make a file reader");
        return CLI_FAILED;
    }
    if (check.readError != 0) {
        Error("cannot read " + check.readErrorFile + ": " + ResultText(check.readError));
        return CLI_FAILED;
    }
    if (check.noRecord) {
        Error(file + " has no frame record");
        return CLI_FAILED;
    }
    if (check.bad != 0) {
        Error(file + ": " + check.BadFramesText());
        return CLI_FAILED;
    }
    std::fprintf(okOnStderr ? stderr : stdout, "%llu frames verified\n",
                 static_cast<unsigned long long>(check.frames));
    return CLI_OK;
}

} // namespace cli

namespace {

int RunVerify(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
        cli::Error("verify: needs one FILE (kavrin verify FILE)");
        return CLI_USAGE;
    }
    if (const std::string why = cli::VerifyRefusal(LumoFileTypeForName(args[0].c_str()), args[0]);
        !why.empty()) {
        cli::Error("verify: " + why);
        return CLI_USAGE;
    }
    RuntimeLibraries libraries;
    if (!cli::LoadImageLibrary(libraries))
        return CLI_FAILED;
    return cli::VerifyRecording(libraries.GetLumoInstance(), args[0], false);
}

} // namespace

const CliCommand& VerifyCommand() {
    static const CliCommand command{
        "verify", "FILE", "re-read every frame and check it against its frame record",
        "  FILE is a multi-page TIFF, an MKV video or a file of a numbered series (checked\n"
        "  from FILE on).\n"
        "  Exit 0 when every frame's pixels match the CRC-32 of its record (\"N frames\n"
        "  verified\"); 1 naming the first bad frame and the number of bad ones, or when FILE\n"
        "  has no record. MP4 and AVI videos are lossy: refused (exit 2).",
        &RunVerify};
    return command;
}
