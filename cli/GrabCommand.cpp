// kavrin grab --camera N --buffers B [--height H] (--single | --seconds S) [-o FILE [--type T]]
// [--json]: grabs with a catalogue camera, stops (the valid field is built), reports the counts
// and saves the sequence if asked.
#include "acquisition/CTLMChannel.h"
#include "acquisition/CameraCatalogue.h"
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/JsonText.h"
#include "external/LumoFileModules.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

constexpr double MAX_SECONDS = 86400.0;
constexpr uint64_t MAX_HEIGHT = 65535;

std::atomic<bool> g_bGrabEnded{false};
std::atomic<bool> g_bGrabInterrupted{false};

void OnGrabNotify(uint64_t, uint32_t code, int64_t, bool) {
    if (code == SEQ_NOTIFY_ENDED)
        g_bGrabEnded.store(true);
}

extern "C" void OnGrabInterrupt(int) {
    g_bGrabInterrupted.store(true);
}

struct GrabOptions {
    uint64_t camera = UINT64_MAX;
    uint64_t buffers = 0;
    uint64_t height = 0; // 0: the camera's default
    bool single = false;
    double seconds = 0; // > 0 for a continuous grab
    std::string file;
    uint64_t type = 0;
    bool json = false;
};

// Parses the command line; an empty result text means success.
std::string Parse(const std::vector<std::string>& args, GrabOptions& options) {
    bool haveSeconds = false;
    bool haveHeight = false;
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
        const bool takesValue = arg == "--camera" || arg == "--buffers" || arg == "--height" ||
                                arg == "--seconds" || arg == "-o" || arg == "--type";
        if (!takesValue)
            return "unknown argument " + arg;
        if (i + 1 >= args.size())
            return arg + " needs a value";
        const std::string& value = args[++i];
        if (arg == "-o") {
            options.file = value;
        } else if (arg == "--seconds") {
            char* end = nullptr;
            options.seconds = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != 0 || !(options.seconds > 0) ||
                options.seconds > MAX_SECONDS)
                return "--seconds needs a number of seconds above 0 (at most 86400)";
            haveSeconds = true;
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
    if (options.single == haveSeconds)
        return "give either --single or --seconds S";
    if (options.type != 0 && options.file.empty())
        return "--type needs -o FILE";
    if (!options.file.empty()) {
        if (options.type == 0)
            options.type = LumoFileTypeForName(options.file.c_str());
        if (options.type < 1 || options.type > LUMO_FILE_TYPE_COUNT)
            return "no file type for " + options.file +
                   "; give --type 1 (multi-page TIFF), 2 (TIFF per image), 3 (PNG) or 4 (BMP)";
    }
    return {};
}

// Waits until a single sequence is complete, the time is up, or Ctrl-C.
void WaitForGrab(const GrabOptions& options) {
    const auto start = std::chrono::steady_clock::now();
    const auto limit = std::chrono::duration<double>(options.seconds);
    while (!g_bGrabInterrupted.load()) {
        // A single sequence ends with the monitor's notification; a continuous grab with time.
        if (g_bGrabEnded.load() ||
            (!options.single && std::chrono::steady_clock::now() - start >= limit))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int Fail(const std::string& text) {
    cli::Error("grab: " + text);
    return CLI_FAILED;
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

    g_bGrabEnded.store(false);
    g_bGrabInterrupted.store(false);
    camera->SetNotifyCallback(&OnGrabNotify, 0);
    std::signal(SIGINT, OnGrabInterrupt);
    if (!camera->PrepareFrameBuffers(options.buffers)) {
        std::signal(SIGINT, SIG_DFL);
        return Fail("Preparing framebuffers failed");
    }
    if (!camera->StartSnap(!options.single)) {
        std::signal(SIGINT, SIG_DFL);
        camera->DetachFrameBuffers();
        return Fail("Starting Snap failed");
    }
    WaitForGrab(options);
    const bool interrupted = g_bGrabInterrupted.load();
    camera->Stop();
    camera->SetNotifyCallback(nullptr, 0);
    std::signal(SIGINT, SIG_DFL);
    if (interrupted)
        return Fail("interrupted");

    const uint64_t grabbed = tagged->GetRecordedGrabbedCount();
    const uint64_t images = camera->GetImageCount();
    const double rate = camera->GetFrameRate(1);
    std::vector<int64_t> lost;
    for (uint32_t channel = 0; channel < camera->GetChannelCount(); ++channel)
        lost.push_back(camera->GetLostImages(channel) < 0 ? -1 : camera->GetLostImages(channel));

    if (!options.file.empty()) {
        if (images == 0)
            return Fail("no image was grabbed, nothing to save");
        CLumoModule* writer = camera->GetFileModule();
        if (!writer || writer->SetParam(LUMO_PARAM_FILE_TYPE, options.type, 0) != 0)
            return Fail("the file writer is not available");
        cli::WatchSequence(*camera);
        if (!camera->SaveSequenceToFile(options.file.c_str(), 0, UINT64_MAX))
            return Fail("saving could not start");
        const uint32_t rc = cli::WaitForSequence(*camera, "saving", images);
        if (rc != 0)
            return Fail("cannot save " + options.file + ": " + cli::ResultText(rc));
    }

    char fps[32];
    std::snprintf(fps, sizeof fps, "%.2f", rate);
    std::string lostText;
    for (size_t i = 0; i < lost.size(); ++i)
        lostText += (i ? ", " : "") + std::to_string(lost[i]);
    if (options.json) {
        std::string out = "{\"camera\": " + std::to_string(options.camera) +
                          ", \"name\": " + cli::JsonString(camera->GetName()) +
                          ", \"buffers\": " + std::to_string(options.buffers) +
                          ", \"grabbed\": " + std::to_string(grabbed) +
                          ", \"images\": " + std::to_string(images) + ", \"lost\": [" + lostText +
                          "], \"grab_fps\": " + fps;
        if (!options.file.empty())
            out += ", \"file\": " + cli::JsonString(options.file);
        std::printf("%s}\n", out.c_str());
    } else {
        std::printf("camera:   %llu (%s)\n", static_cast<unsigned long long>(options.camera),
                    camera->GetName());
        std::printf("buffers:  %llu\n", static_cast<unsigned long long>(options.buffers));
        std::printf("grabbed:  %llu\n", static_cast<unsigned long long>(grabbed));
        std::printf("images:   %llu\n", static_cast<unsigned long long>(images));
        std::printf("lost:     %s (per channel; -1 unknown)\n", lostText.c_str());
        std::printf("grab fps: %s\n", fps);
        if (!options.file.empty())
            std::printf("saved to: %s\n", options.file.c_str());
    }
    return CLI_OK;
}

} // namespace

const CliCommand& GrabCommand() {
    static const CliCommand command{
        "grab",
        "--camera N --buffers B [--height H] (--single | --seconds S) [-o FILE [--type T]] "
        "[--json]",
        "grab with catalogue camera N into B buffers, stop, report and optionally save",
        "  --single grabs once into every buffer; --seconds S grabs continuously for S\n"
        "  seconds (Ctrl-C stops early and fails). The stop rebuilds the frame order from\n"
        "  the frame tags: lost frames become black images at their place. --height sets\n"
        "  the image height (default 1726). -o saves the whole sequence; --type as for\n"
        "  convert (default from FILE's extension). --json prints one object: \"camera\"\n"
        "  (index), \"name\", \"buffers\", \"grabbed\" (images transferred), \"images\"\n"
        "  (logical images, lost ones included), \"lost\" (an array, one number per\n"
        "  channel, -1 unknown), \"grab_fps\" and, when saved, \"file\". The grabber library\n"
        "  is found through KAVRIN_FGLIB, the loader, or beside the program (the simulator).",
        &RunGrab};
    return command;
}
