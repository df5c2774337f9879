// kavrin convert IN OUT [--type N] [--first I] [--count N] [--fps F] [--quality Q]: loads a
// sequence and saves it.
#include "acquisition/CFileSequence.h"
#include "acquisition/RecordedFrames.h"
#include "acquisition/SeriesName.h"
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/VerifyRecording.h"
#include "external/LumoFileModules.h"
#include "external/LumoInstance.h"
#include "external/LumoPtr.h"
#include "external/LumoResult.h"

#include <cstdio>

namespace {

// Empty when OUT's extension names no file type or one `type` writes (.tif and .tiff fit
// both TIFF types); else the message.
std::string ExtensionConflict(const std::string& out, uint64_t type) {
    const uint32_t named = LumoFileTypeForName(out.c_str());
    if (named == 0 || named == type || (named == LUMO_FILE_MULTI_TIFF && type == LUMO_FILE_TIFF))
        return {};
    return "convert: the extension of " + out + " does not fit --type " + std::to_string(type) +
           " (" + cli::FileTypeName(type) + ")";
}

// What was written: the one multi-page file or video, or the first and last of the per-image
// files, after `countText` ("3 image(s)").
std::string WrittenText(const std::string& out, uint64_t type, uint64_t written,
                        const std::string& countText) {
    const std::string count = countText + " written to ";
    const std::string first = FirstWrittenFile(out, type);
    if (first == out || written <= 1)
        return count + first;
    std::string base, extension;
    seriesname::Split(out, base, extension);
    return count + first + " \u2026 " + seriesname::NumberedName(base, written - 1, extension);
}

// The reader's account of what is damaged in `file`; empty when it says nothing.
std::string DamageOf(CLumoModule& reader) {
    char text[1024] = {};
    return reader.GetParam(LUMO_PARAM_DAMAGE, LumoArg(text), sizeof text) == 0 ? text : "";
}

// What one convert command line asks for.
struct ConvertJob {
    std::string in;
    std::string out;
    uint64_t type = 0;
    uint64_t first = 0;
    uint64_t count = UINT64_MAX;
    bool verify = false; // re-read what was written against its frame record
    cli::VideoOptions video;
};

// Reads the options into `job` and the rest into `files`; CLI_OK, or CLI_USAGE after saying why.
int ParseArguments(const std::vector<std::string>& args, ConvertJob& job,
                   std::vector<std::string>& files) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--verify") {
            job.verify = true;
            continue;
        }
        if (cli::IsVideoOption(arg)) {
            const std::string why = i + 1 < args.size()
                                        ? cli::ParseVideoOption(arg, args[i + 1], job.video)
                                        : arg + " needs a value";
            if (!why.empty()) {
                cli::Error("convert: " + why);
                return CLI_USAGE;
            }
            ++i;
            continue;
        }
        uint64_t* target = arg == "--type"    ? &job.type
                           : arg == "--first" ? &job.first
                           : arg == "--count" ? &job.count
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
    return CLI_OK;
}

// Reads the command line into `job` (the type chosen); CLI_OK, or CLI_USAGE after saying why.
int ParseJob(const std::vector<std::string>& args, ConvertJob& job) {
    std::vector<std::string> files;
    if (const int status = ParseArguments(args, job, files); status != CLI_OK)
        return status;
    if (files.size() != 2) {
        cli::Error("convert: needs IN and OUT (kavrin convert IN OUT [--type N] [--first I] "
                   "[--count N] [--fps F] [--quality Q])");
        return CLI_USAGE;
    }
    job.in = files[0];
    job.out = files[1];
    if (job.count == 0) {
        cli::Error("convert: --count 0 writes nothing");
        return CLI_USAGE;
    }
    if (const std::string conflict = ExtensionConflict(job.out, job.type);
        job.type != 0 && !conflict.empty()) {
        cli::Error(conflict);
        return CLI_USAGE;
    }
    if (job.type == 0)
        job.type = LumoFileTypeForName(job.out.c_str());
    if (job.type < 1 || job.type > LUMO_FILE_TYPE_COUNT) {
        cli::Error("convert: no file type for " + job.out + "; " + cli::FileTypeChoices());
        return CLI_USAGE;
    }
    if (const std::string why = cli::CheckSaveOptions(job.video, job.verify, job.type, job.out);
        !why.empty()) {
        cli::Error("convert: " + why);
        return CLI_USAGE;
    }
    return CLI_OK;
}

// Loads job.in into `sequence`. CLI_OK, or CLI_FAILED after saying why. A damaged file still
// gives the frames before the damage: `damaged` is set after saying how many there were.
int Load(CLumoModule& probe, const ConvertJob& job, CFileSequence& sequence, bool& damaged) {
    // The frames of a multi-frame file, for the progress bar (0: a series, count unknown).
    uint64_t expected = 0;
    if (probe.SetParam(LUMO_PARAM_FILE_NAME, LumoArg(job.in.c_str()), 0) == 0) {
        if (const LumoOutputInfo* info = probe.GetOutputInfo(0); info && info->frameCount > 1)
            expected = info->frameCount;
    }
    uint32_t rc = SEQ_RESULT_OK;
    {
        cli::SequenceWatch watch(sequence);
        if (!sequence.LoadSequence(job.in.c_str())) {
            cli::Error("convert: loading could not start");
            return CLI_FAILED;
        }
        rc = watch.WaitForSequence("loading", expected);
    }
    const uint64_t images = sequence.GetImageCount();
    damaged = rc == LUMO_E_FILEDAMAGED && images > 0;
    if (damaged) {
        const std::string damage = DamageOf(probe);
        cli::Error("convert: " + job.in + " is damaged" +
                   (damage.empty() ? std::string() : " (" + damage + ")") + "; " +
                   std::to_string(images) + " frame(s) could be read");
    } else if (rc != 0) {
        const std::string refusal = sequence.LoadRefusal();
        cli::Error("cannot load " + job.in + ": " +
                   (refusal.empty() ? cli::ResultText(rc) : refusal));
        return CLI_FAILED;
    }
    return CLI_OK;
}

// Saves the chosen images of `sequence` as job.out. CLI_OK, or CLI_FAILED after saying why. An
// abort (Ctrl-C) keeps what was written: the one file is finished with the images so far (a
// video plays them), per-image files stay.
int Save(const ConvertJob& job, CFileSequence& sequence) {
    cli::SequenceWatch watch(sequence);
    if (!sequence.SaveSequenceToFile(job.out.c_str(), job.first, job.count)) {
        cli::Error("convert: saving could not start");
        return CLI_FAILED;
    }
    const uint32_t rc = watch.WaitForSequence("saving", 0);
    if (rc == SEQ_RESULT_ABORTED && watch.Done() > 0) {
        cli::Error("convert: aborted: " +
                   WrittenText(job.out, job.type, watch.Done(),
                               std::to_string(watch.Done()) + " of " +
                                   std::to_string(watch.Total()) + " image(s)"));
        return CLI_FAILED;
    }
    if (rc != 0) {
        cli::Error(cli::SaveFailureText(sequence, job.out, rc));
        return CLI_FAILED;
    }
    return CLI_OK;
}

int RunConvert(const std::vector<std::string>& args) {
    ConvertJob job;
    if (const int status = ParseJob(args, job); status != CLI_OK)
        return status;
    RuntimeLibraries libraries;
    if (!cli::LoadImageLibrary(libraries))
        return CLI_FAILED;
    const LumoModulePtr probe = MakeLumoModule(libraries.GetLumoInstance(), LUMO_ID_FILE_READER);
    if (!probe) {
        cli::Error("convert: the image library did not make a file reader");
        return CLI_FAILED;
    }
    CFileSequence sequence;
    bool damaged = false;
    if (const int status = Load(*probe, job, sequence, damaged); status != CLI_OK)
        return status;
    const uint64_t images = sequence.GetImageCount();
    if (job.first >= images) {
        cli::Error("convert: --first " + std::to_string(job.first) + " is past the " +
                   std::to_string(images) + " image(s) of " + job.in);
        return CLI_USAGE;
    }
    if (const std::string why = cli::ChooseFileType(sequence, job.type, job.video); !why.empty()) {
        cli::Error("convert: " + why);
        return CLI_FAILED;
    }
    if (const int status = Save(job, sequence); status != CLI_OK)
        return status;
    const uint64_t written = std::min(job.count, images - job.first);
    std::printf(
        "%s\n",
        WrittenText(job.out, job.type, written, std::to_string(written) + " image(s)").c_str());
    if (job.verify) {
        if (const int status = cli::VerifyRecording(libraries.GetLumoInstance(),
                                                    FirstWrittenFile(job.out, job.type), false);
            status != CLI_OK)
            return status;
    }
    return damaged ? CLI_FAILED : CLI_OK;
}

} // namespace

const CliCommand& ConvertCommand() {
    static const CliCommand command{
        "convert", "IN OUT [--type N] [--first I] [--count N] [--fps F] [--quality Q] [--verify]",
        "load IN (a multi-frame file, or the first file of a numbered series) and save as OUT",
        "  --type 1 multi-page TIFF, 2 TIFF per image, 3 PNG per image, 4 BMP per image,\n"
        "  5 MP4 video (H.264), 6 MKV video (FFV1, lossless), 7 AVI video (Motion JPEG);\n"
        "  without it OUT's extension decides (.tif/.tiff 1, .png 3, .bmp 4, .mp4 5,\n"
        "  .mkv 6, .avi 7). Types 2-4 write OUT's name with _00000000, _00000001, ...\n"
        "  before the extension.\n"
        "  An extension that names another type than --type is refused. --first and\n"
        "  --count choose the images (from 0; default: all; --count 0 is refused).\n"
        "  --fps F is a video's playback rate (0.1 to 1000 frames per second, default 25),\n"
        "  --quality Q its quality (0 to 51, lower is better, default 18; MKV is lossless\n"
        "  and ignores it); both are refused for the other types.\n"
        "  A damaged IN gives the frames before the damage: they are written, exit 1.\n"
        "  Ctrl-C stops the save (exit 1): a multi-page TIFF or a video is finished under\n"
        "  OUT with the images written so far (a playable video), per-image files stay.\n"
        "  --verify re-reads what was written and checks it against its frame record; it\n"
        "  is refused for the lossy MP4 and AVI.",
        &RunConvert};
    return command;
}
