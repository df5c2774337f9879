// kavrin grab --camera N --buffers B [--height H] (--single | --seconds S | --trigger-after S
// [--post P]) [-o FILE [--type T] [--fps F] [--quality Q]] [--json]: grabs with a catalogue
// camera, stops (the valid field is built), reports the counts and saves the sequence if asked.
#include "acquisition/CTLMChannel.h"
#include "acquisition/CameraCatalogue.h"
#include "acquisition/RecordedFrames.h"
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/JsonText.h"
#include "cli/VerifyRecording.h"
#include "external/LumoFileModules.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

namespace {

constexpr double MAX_SECONDS = 86400.0;
constexpr uint64_t MAX_HEIGHT = 65535;
constexpr uint64_t DEFAULT_POST_PERCENT = 50;

struct GrabOptions {
    uint64_t camera = UINT64_MAX;
    uint64_t buffers = 0;
    uint64_t height = 0; // 0: the camera's default
    bool single = false;
    double seconds = 0;                   // > 0 for a continuous grab
    std::optional<double> triggerAfter;   // a continuous grab triggered after that many seconds
    uint64_t post = DEFAULT_POST_PERCENT; // share of the ring grabbed after the trigger, in %
    std::string file;
    uint64_t type = 0;
    bool json = false;
    bool verify = false; // re-read the saved file against its frame record
    cli::VideoOptions video;
};

// Checks the options of -o FILE and chooses its type; an empty result text means success.
[[nodiscard]] std::string CheckOutput(GrabOptions& options) {
    if (options.file.empty()) {
        if (options.type != 0)
            return "--type needs -o FILE";
        if (options.verify)
            return "--verify needs -o FILE";
        if (options.video.rate || options.video.quality)
            return std::string(options.video.rate ? "--fps" : "--quality") + " needs -o FILE";
        return {};
    }
    if (options.type == 0)
        options.type = LumoFileTypeForName(options.file.c_str());
    if (options.type < 1 || options.type > LUMO_FILE_TYPE_COUNT)
        return "no file type for " + options.file + "; " + cli::FileTypeChoices();
    return cli::CheckSaveOptions(options.video, options.verify, options.type, options.file);
}

// Parses the command line; an empty result text means success.
[[nodiscard]] std::string Parse(const std::vector<std::string>& args, GrabOptions& options) {
    bool haveSeconds = false;
    bool haveHeight = false;
    bool havePost = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--single") {
            options.single = true;
            continue;
        }
        if (arg == "--json") {
            options.json = true;
            continue;
        }
        if (arg == "--verify") {
            options.verify = true;
            continue;
        }
        const bool takesValue = arg == "--camera" || arg == "--buffers" || arg == "--height" ||
                                arg == "--seconds" || arg == "-o" || arg == "--type" ||
                                arg == "--trigger-after" || arg == "--post" ||
                                cli::IsVideoOption(arg);
        if (!takesValue)
            return "unknown argument " + arg;
        if (i + 1 >= args.size())
            return arg + " needs a value";
        const std::string& value = args[++i];
        if (cli::IsVideoOption(arg)) {
            if (std::string why = cli::ParseVideoOption(arg, value, options.video); !why.empty())
                return why;
        } else if (arg == "-o") {
            if (value.empty())
                return "-o needs a file name";
            options.file = value;
        } else if (arg == "--seconds") {
            char* end = nullptr;
            options.seconds = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != 0 || !(options.seconds > 0) ||
                options.seconds > MAX_SECONDS)
                return "--seconds needs a number of seconds above 0 (at most 86400)";
            haveSeconds = true;
        } else if (arg == "--trigger-after") {
            char* end = nullptr;
            const double after = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != 0 || !(after >= 0) || after > MAX_SECONDS)
                return "--trigger-after needs a number of seconds from 0 (at most 86400)";
            options.triggerAfter = after;
        } else if (arg == "--post") {
            if (!cli::ParseNumber(value, options.post) || options.post > 100)
                return "--post needs a share of the ring from 0 to 100 (%)";
            havePost = true;
        } else {
            uint64_t* target = arg == "--camera"    ? &options.camera
                               : arg == "--buffers" ? &options.buffers
                               : arg == "--height"  ? &options.height
                                                    : &options.type;
            if (!cli::ParseNumber(value, *target))
                return arg + " needs a number";
            haveHeight = haveHeight || arg == "--height";
        }
    }
    if (options.camera == UINT64_MAX)
        return "which camera? (--camera N; kavrin cameras lists them)";
    if (options.camera >= CameraCatalogueSize())
        return "--camera " + std::to_string(options.camera) + " is not in the catalogue (0 .. " +
               std::to_string(CameraCatalogueSize() - 1) + ")";
    if (options.buffers < 2)
        return "--buffers needs at least 2 buffers";
    if (haveHeight && (options.height == 0 || options.height > MAX_HEIGHT))
        return "--height must be 1 .. 65535";
    const bool triggered = options.triggerAfter.has_value();
    if (triggered && options.single)
        return "--trigger-after needs a continuous grab, not --single";
    if (triggered && haveSeconds)
        return "give either --seconds S or --trigger-after S";
    if (havePost && !triggered)
        return "--post needs --trigger-after S";
    if (options.single == (haveSeconds || triggered))
        return "give either --single or --seconds S";
    return CheckOutput(options);
}

// What a stopped grab left.
struct GrabReport {
    uint64_t grabbed = 0;
    uint64_t images = 0;
    std::vector<int64_t> lost; // per channel; -1 unknown
    std::optional<double> rate;
    std::optional<int64_t> triggerIndex; // none: the trigger frame is not in the recording
};

// Waits until a single sequence is complete, the time is up or a triggered grab has ended by
// itself, triggering it when its time comes; an empty result text means success.
[[nodiscard]] std::string WaitForGrab(cli::SequenceWatch& watch, CCamera& camera,
                                      const GrabOptions& options) {
    const auto start = std::chrono::steady_clock::now();
    const bool timed = !options.single && !options.triggerAfter;
    const auto limit = std::chrono::duration<double>(options.triggerAfter ? *options.triggerAfter
                                                                          : options.seconds);
    bool triggerDue = options.triggerAfter.has_value();
    while (!watch.TakeInterrupt()) {
        // A single sequence and a triggered grab end with the monitor's notification; a
        // continuous grab with time.
        const bool timeUp = std::chrono::steady_clock::now() - start >= limit;
        if (watch.Ended() || (timed && timeUp))
            return {};
        if (triggerDue && timeUp) {
            if (!camera.Trigger(static_cast<uint32_t>(options.post)))
                return "the grab could not be triggered";
            triggerDue = false;
        }
        watch.Pump(std::chrono::milliseconds(10));
    }
    return "interrupted";
}

// The grab rate, or nothing when the meter never held the two samples a rate needs: it
// answers exactly 0.0 then, while any rate it measured is above 0 (its samples strictly
// increase). Two samples at the same clock reading (an infinite rate) measured nothing either.
std::optional<double> MeasuredRate(double rate) {
    if (rate > 0.0 && std::isfinite(rate))
        return rate;
    return std::nullopt;
}

GrabReport Collect(CCamera& camera, CTLMChannel& tagged) {
    GrabReport report;
    report.grabbed = tagged.GetRecordedGrabbedCount();
    report.images = camera.GetImageCount();
    report.rate = MeasuredRate(camera.GetFrameRate(1));
    for (uint32_t channel = 0; channel < camera.GetChannelCount(); ++channel)
        report.lost.push_back(std::max<int64_t>(camera.GetLostImages(channel), -1));
    if (const int64_t trigger = camera.GetTriggerIndex(); trigger >= 0)
        report.triggerIndex = trigger;
    return report;
}

// Why a grab gave no image. `grabStatusFailed`: the grabber could not report its transferred
// count during the grab.
std::string NoImageCause(bool grabStatusFailed, uint64_t grabbed) {
    if (grabStatusFailed)
        return "the grabber could not report its transferred count (Fg_getStatusEx failed)";
    if (grabbed == 0)
        return "the grabber reported no transferred frame";
    return "none of the " + std::to_string(grabbed) + " transferred frame(s) made a whole image";
}

void Print(const GrabOptions& options, CCamera& camera, const GrabReport& report) {
    if (options.json) {
        nlohmann::ordered_json out = {
            {"camera", options.camera},
            {"name", camera.GetName()},
            {"buffers", options.buffers},
            {"grabbed", report.grabbed},
            {"images", report.images},
            {"lost", report.lost},
            {"grab_fps", report.rate ? nlohmann::ordered_json(*report.rate) : nullptr}};
        if (options.triggerAfter)
            out["trigger_index"] =
                report.triggerIndex ? nlohmann::ordered_json(*report.triggerIndex) : nullptr;
        if (!options.file.empty())
            out["file"] = options.file;
        std::printf("%s\n", cli::JsonText(out).c_str());
        return;
    }
    std::string lostText;
    for (size_t i = 0; i < report.lost.size(); ++i)
        lostText += (i ? ", " : "") + std::to_string(report.lost[i]);
    char fps[32] = "-";
    if (report.rate)
        std::snprintf(fps, sizeof fps, "%.2f", *report.rate);
    std::printf("camera:   %llu (%s)\n", static_cast<unsigned long long>(options.camera),
                camera.GetName());
    std::printf("buffers:  %llu\n", static_cast<unsigned long long>(options.buffers));
    std::printf("grabbed:  %llu\n", static_cast<unsigned long long>(report.grabbed));
    std::printf("images:   %llu\n", static_cast<unsigned long long>(report.images));
    std::printf("lost:     %s (per channel; -1 unknown)\n", lostText.c_str());
    std::printf("grab fps: %s\n", fps);
    if (options.triggerAfter) {
        const std::string trigger =
            report.triggerIndex ? std::to_string(*report.triggerIndex) : std::string("-");
        std::printf("trigger:  %s (logical index of the trigger frame)\n", trigger.c_str());
    }
    if (!options.file.empty())
        std::printf("saved to: %s\n", options.file.c_str());
}

int Fail(const std::string& text) {
    cli::Error("grab: " + text);
    return CLI_FAILED;
}

// Prepares, starts and stops the grab; an empty result text means success.
[[nodiscard]] std::string Grab(CCamera& camera, const GrabOptions& options) {
    cli::SequenceWatch watch(camera);
    if (!camera.PrepareFrameBuffers(options.buffers))
        return "Preparing framebuffers failed";
    if (!camera.StartSnap(!options.single)) {
        camera.DetachFrameBuffers();
        return "Starting Snap failed";
    }
    const std::string failed = WaitForGrab(watch, camera, options);
    camera.Stop();
    return failed;
}

int RunGrab(const std::vector<std::string>& args) {
    GrabOptions options;
    const std::string wrong = Parse(args, options);
    if (!wrong.empty()) {
        cli::Error("grab: " + wrong);
        return CLI_USAGE;
    }
    RuntimeLibraries libraries;
    if (!cli::LoadImageLibrary(libraries))
        return CLI_FAILED;
    CameraPtr camera = CreateCatalogueCamera(options.camera);
    auto* tagged = dynamic_cast<CTLMChannel*>(camera.get());
    if (!camera || !tagged)
        return Fail("the camera could not be created");
    if (options.height != 0)
        camera->SetHeight(static_cast<uint32_t>(options.height));
    if (const std::string failed = Grab(*camera, options); !failed.empty())
        return Fail(failed);

    const GrabReport report = Collect(*camera, *tagged);
    if (report.images == 0) {
        return Fail("no image was grabbed: " +
                    NoImageCause(camera->GrabStatusFailed(), report.grabbed));
    }
    if (!options.file.empty()) {
        if (const std::string why = cli::ChooseFileType(*camera, options.type, options.video);
            !why.empty())
            return Fail(why);
        cli::SequenceWatch watch(*camera);
        if (!camera->SaveSequenceToFile(options.file.c_str(), 0, UINT64_MAX))
            return Fail("saving could not start");
        const uint32_t rc = watch.WaitForSequence("saving", report.images);
        if (rc != 0)
            return Fail(cli::SaveFailureText(*camera, options.file, rc));
    }
    if (options.verify) {
        const std::string written = FirstWrittenFile(options.file, options.type);
        if (const int status =
                cli::VerifyRecording(libraries.GetLumoInstance(), written, options.json);
            status != CLI_OK)
            return status;
    }
    Print(options, *camera, report);
    return CLI_OK;
}

} // namespace

const CliCommand& GrabCommand() {
    static const CliCommand command{
        "grab",
        "--camera N --buffers B [--height H] (--single | --seconds S | --trigger-after S "
        "[--post P]) [-o FILE [--type T] [--fps F] [--quality Q] [--verify]] [--json]",
        "grab with catalogue camera N into B buffers, stop, report and optionally save",
        "  --single grabs once into every buffer; --seconds S grabs continuously for S\n"
        "  seconds (Ctrl-C stops early and fails). --trigger-after S grabs continuously,\n"
        "  triggers after S seconds and then runs on for P % (--post, default 50) of the\n"
        "  ring before it stops by itself: the recording holds the frames before and\n"
        "  after the trigger frame. The stop rebuilds the frame order from the frame\n"
        "  tags: lost frames become black images at their place. --height sets the image\n"
        "  height (default 1726). -o saves the whole sequence (.mp4, .mkv, .avi: a video);\n"
        "  --type, --fps and --quality as for convert (the type by default from FILE's\n"
        "  extension); --verify re-reads what was saved and checks\n"
        "  every frame against its frame record (as kavrin verify). --json prints one object: "
        "\"camera\" (index),\n"
        "  \"name\", \"buffers\", \"grabbed\" (images transferred), \"images\" (logical images,\n"
        "  lost ones included), \"lost\" (an array, one number per channel, -1 unknown),\n"
        "  \"grab_fps\" (null, and \"-\" in the text, when the grab ended before a rate could\n"
        "  be measured), with a trigger \"trigger_index\" (the trigger frame's logical\n"
        "  index; null, and \"-\" in the text, when it has left the ring) and, when saved,\n"
        "  \"file\". A grab that gave no image fails (status 1, with the cause). The\n"
        "  grabber library is found through KAVRIN_FGLIB, the loader, or beside the\n"
        "  program (the simulator).",
        &RunGrab};
    return command;
}
