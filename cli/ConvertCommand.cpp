// kavrin convert IN OUT [--type N] [--first I] [--count N]: loads a sequence and saves it.
#include "acquisition/CFileSequence.h"
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "external/LumoFileModules.h"
#include "external/LumoInstance.h"
#include "external/LumoPtr.h"

#include <cstdio>

namespace {

int RunConvert(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    uint64_t type = 0, first = 0, count = UINT64_MAX;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        uint64_t* target = arg == "--type"    ? &type
                           : arg == "--first" ? &first
                           : arg == "--count" ? &count
                                              : nullptr;
        if (target) {
            if (i + 1 >= args.size() || !cli::ParseNumber(args[i + 1], *target)) {
                cli::Error("convert: " + arg + " needs a number");
                return CLI_USAGE;
            }
            ++i;
        } else if (!arg.empty() && arg[0] == '-') {
            cli::Error("convert: unknown option " + arg);
            return CLI_USAGE;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) {
        cli::Error("convert: needs IN and OUT (kavrin convert IN OUT [--type N] [--first I] "
                   "[--count N])");
        return CLI_USAGE;
    }
    if (type == 0)
        type = LumoFileTypeForName(files[1].c_str());
    if (type < 1 || type > LUMO_FILE_TYPE_COUNT) {
        cli::Error("convert: no file type for " + files[1] +
                   "; give --type 1 (multi-page TIFF), 2 (TIFF per image), 3 (PNG) or 4 (BMP)");
        return CLI_USAGE;
    }
    RuntimeLibraries libraries;
    if (!cli::LoadImageLibrary(libraries))
        return CLI_FAILED;
    const LumoModulePtr probe = MakeLumoModule(libraries.GetLumoInstance(), LUMO_ID_FILE_READER);
    if (!probe) {
        cli::Error("convert: the image library did not make a file reader");
        return CLI_FAILED;
    }
    // The frames of a multi-frame file, for the progress bar (0: a series, count unknown).
    uint64_t expected = 0;
    if (probe->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(files[0].c_str()), 0) == 0) {
        if (const LumoOutputInfo* info = probe->GetOutputInfo(0); info && info->frameCount > 1)
            expected = info->frameCount;
    }
    CFileSequence sequence;
    uint32_t rc = SEQ_RESULT_OK;
    {
        cli::SequenceWatch watch(sequence);
        if (!sequence.LoadSequence(files[0].c_str())) {
            cli::Error("convert: loading could not start");
            return CLI_FAILED;
        }
        rc = watch.WaitForSequence("loading", expected);
    }
    if (rc != 0) {
        cli::Error("cannot load " + files[0] + ": " + cli::ResultText(rc));
        return CLI_FAILED;
    }
    const uint64_t images = sequence.GetImageCount();
    if (first >= images) {
        cli::Error("convert: --first " + std::to_string(first) + " is past the " +
                   std::to_string(images) + " image(s) of " + files[0]);
        return CLI_USAGE;
    }
    if (const std::string why = cli::ChooseFileType(sequence, type); !why.empty()) {
        cli::Error("convert: " + why);
        return CLI_FAILED;
    }
    {
        cli::SequenceWatch watch(sequence);
        if (!sequence.SaveSequenceToFile(files[1].c_str(), first, count)) {
            cli::Error("convert: saving could not start");
            return CLI_FAILED;
        }
        rc = watch.WaitForSequence("saving", 0);
    }
    if (rc != 0) {
        cli::Error(cli::SaveFailureText(sequence, files[1], rc));
        return CLI_FAILED;
    }
    const uint64_t written = std::min(count, images - first);
    std::printf("%llu image(s) written to %s\n", static_cast<unsigned long long>(written),
                files[1].c_str());
    return CLI_OK;
}

} // namespace

const CliCommand& ConvertCommand() {
    static const CliCommand command{
        "convert", "IN OUT [--type N] [--first I] [--count N]",
        "load IN (a multi-frame file, or the first file of a numbered series) and save as OUT",
        "  --type 1 multi-page TIFF, 2 TIFF per image, 3 PNG per image, 4 BMP per image;\n"
        "  without it OUT's extension decides (.tif/.tiff 1, .png 3, .bmp 4). Types 2-4\n"
        "  write OUT's name with _00000000, _00000001, ... before the extension.\n"
        "  --first and --count choose the images (from 0; default: all).",
        &RunConvert};
    return command;
}
