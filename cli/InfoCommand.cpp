// kavrin info FILE [--json]: what one image file holds.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/FrameList.h"
#include "cli/JsonText.h"
#include "external/ImageFormat.h"
#include "external/LumoFileModules.h"
#include "external/LumoPtr.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <utility>

namespace {

const char* ClassName(uint32_t imageClass) {
    switch (imageClass) {
    case ImageFormat::CLASS_GREY:
        return "greyscale";
    case ImageFormat::CLASS_CFA:
    case ImageFormat::CLASS_CFA_ALT:
        return "colour filter array";
    case ImageFormat::CLASS_RGB:
        return "RGB";
    default:
        return "unknown";
    }
}

// What the file holds: its whole frames, and what is damaged after them (empty: nothing).
struct FileFrames {
    uint64_t whole = 0;
    std::string damage;
};

// The reader's account of the damage of the chosen file; empty when it has none (or cannot
// say: a text too long for the buffer is not cut, it is left out).
std::string DamageText(CLumoModule& reader) {
    char text[1024] = {};
    if (reader.GetParam(LUMO_PARAM_DAMAGE, LumoArg(text), sizeof text) != 0)
        return {};
    return text;
}

// Reads `file` into `image` with the file reader; 0 or the reader's error. `frames` tells the
// frames the file holds.
[[nodiscard]] uint32_t Read(CLumoModule& reader, CLumoImage* image, const std::string& file,
                            FileFrames& frames) {
    uint32_t rc = reader.SetParam(LUMO_PARAM_FILE_NAME, LumoArg(file.c_str()), 0);
    if (rc == 0)
        rc = reader.SetImages(1, &image);
    if (rc != 0)
        return rc;
    const LumoOutputInfo* info = reader.GetOutputInfo(0);
    frames.whole = info ? info->frameCount : 1;
    frames.damage = DamageText(reader);
    if (!frames.damage.empty() && frames.whole > 0)
        --frames.whole; // the last frame counted is the damaged one
    rc = reader.Execute(0);
    // Detaching the image cannot fail in a way that changes what was read.
    (void)reader.SetImages(1, nullptr);
    return rc;
}

std::string FormatText(uint64_t format) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(format));
    return text;
}

void PrintJson(const std::string& file, const FileFrames& frames, CLumoImage& image) {
    const uint64_t format = image.GetFormat(nullptr);
    nlohmann::ordered_json attributes = nlohmann::ordered_json::object();
    for (uint32_t n = 2; n <= 4; ++n)
        if (const char* text = image.GetAttribute(n))
            attributes[std::to_string(n)] = text;
    nlohmann::ordered_json out = {{"file", file},
                                  {"frames", frames.whole},
                                  {"width", image.GetWidth()},
                                  {"height", image.GetHeight()},
                                  {"format", FormatText(format)},
                                  {"image_class", ImageFormat::ImageClass(format)},
                                  {"bits", ImageFormat::ContainerBits(format)},
                                  {"significant_bits", image.GetSignificantBits()},
                                  {"channels", ImageFormat::Channels(format)},
                                  {"attributes", std::move(attributes)}};
    if (!frames.damage.empty())
        out["damaged"] = frames.damage;
    std::printf("%s\n", cli::JsonText(out).c_str());
}

void PrintText(const std::string& file, const FileFrames& frames, CLumoImage& image) {
    const uint64_t format = image.GetFormat(nullptr);
    const uint32_t imageClass = ImageFormat::ImageClass(format);
    std::printf("file:        %s\n", file.c_str());
    const auto whole = static_cast<unsigned long long>(frames.whole);
    if (frames.damage.empty())
        std::printf("frames:      %llu\n", whole);
    else
        std::printf("frames:      %llu (file damaged after frame %llu: %s)\n", whole, whole,
                    frames.damage.c_str());
    std::printf("width:       %u\n", image.GetWidth());
    std::printf("height:      %u\n", image.GetHeight());
    std::printf("format:      %s\n", FormatText(format).c_str());
    std::printf("image class: %u (%s)\n", imageClass, ClassName(imageClass));
    std::printf("bits:        %u per sample, %u significant, %u channel(s)\n",
                ImageFormat::ContainerBits(format), image.GetSignificantBits(),
                ImageFormat::Channels(format));
    for (uint32_t n = 2; n <= 4; ++n)
        if (const char* text = image.GetAttribute(n))
            std::printf("attribute %u: %s\n", n, text);
}

int RunInfo(const std::vector<std::string>& args) {
    std::string file;
    bool json = false;
    bool frameList = false;
    for (const std::string& arg : args) {
        if (arg == "--json")
            json = true;
        else if (arg == "--frames")
            frameList = true;
        else if (!arg.empty() && arg[0] == '-') {
            cli::Error("info: unknown option " + arg);
            return CLI_USAGE;
        } else if (file.empty())
            file = arg;
        else {
            cli::Error("info: one file only");
            return CLI_USAGE;
        }
    }
    if (file.empty()) {
        cli::Error("info: which file? (kavrin info FILE [--json])");
        return CLI_USAGE;
    }
    if (frameList)
        return cli::PrintFrameList(file, json);
    RuntimeLibraries libraries;
    if (!cli::LoadImageLibrary(libraries))
        return CLI_FAILED;
    CLumoInstance* lumo = libraries.GetLumoInstance();
    const LumoModulePtr reader = MakeLumoModule(lumo, LUMO_ID_FILE_READER);
    const LumoImagePtr image = MakeLumoImage(lumo);
    if (!reader || !image) {
        cli::Error(std::string("info: the image library did not make ") +
                   (reader ? "an image object" : "a file reader"));
        return CLI_FAILED;
    }
    FileFrames frames;
    const uint32_t rc = Read(*reader, image.get(), file, frames);
    if (rc != 0) {
        cli::Error("cannot read " + file + ": " + cli::ResultText(rc));
        return CLI_FAILED;
    }
    if (json)
        PrintJson(file, frames, *image);
    else
        PrintText(file, frames, *image);
    if (frames.damage.empty())
        return CLI_OK;
    cli::Error("info: " + file + " is damaged after frame " + std::to_string(frames.whole));
    return CLI_FAILED;
}

} // namespace

const CliCommand& InfoCommand() {
    static const CliCommand command{
        "info", "FILE [--json] [--frames]",
        "frames, size, format word, image class, bits and attributes",
        "  The frames are those of FILE itself (a numbered series counts one per file).\n"
        "  --json prints one JSON object: \"file\", \"frames\", \"width\", \"height\",\n"
        "  \"format\" (the format word as a \"0x...\" string), \"image_class\" (1 greyscale,\n"
        "  2 or 3 colour filter array, 4 RGB), \"bits\" (per sample), \"significant_bits\",\n"
        "  \"channels\" and \"attributes\" (an object keyed by attribute number: 2 maker,\n"
        "  3 sequence name, 4 program); \"damaged\" says what is damaged in a file whose\n"
        "  frames break off (\"frames\" counts the whole ones before; the exit status is 1).\n"
        "  --frames lists the frame record instead: the recording (camera, format, rates,\n"
        "  start, buffers, frames, lost per channel, trigger) and each frame's index, tag,\n"
        "  lost flag and CRC-32, walking a numbered series like convert (an MP4 or AVI\n"
        "  video keeps the first frame's record only).",
        &RunInfo};
    return command;
}
