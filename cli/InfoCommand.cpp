// kavrin info FILE [--json]: what one image file holds.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/JsonText.h"
#include "external/ImageFormat.h"
#include "external/LumoFileModules.h"

#include <cstdio>

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

int RunInfo(const std::vector<std::string>& args) {
    std::string file;
    bool json = false;
    for (const std::string& arg : args) {
        if (arg == "--json")
            json = true;
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
    RuntimeLibraries libraries;
    if (!cli::LoadImageLibrary(libraries))
        return CLI_FAILED;
    CLumoInstance* lumo = libraries.GetLumoInstance();
    CLumoModule* reader = lumo->CreateModule(LUMO_ID_FILE_READER);
    CLumoImage* image = lumo->CreateImageObject();
    uint32_t rc = reader && image ? 0 : SEQ_RESULT_COPY_FAILED;
    uint64_t frames = 0;
    if (rc == 0) {
        reader->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(file.c_str()), 0);
        reader->SetImages(1, &image);
        const LumoOutputInfo* info = reader->GetOutputInfo(0);
        frames = info ? info->frameCount : 1;
        rc = reader->Execute(0);
        reader->SetImages(1, nullptr);
    }
    int status = CLI_OK;
    if (rc != 0) {
        cli::Error("cannot read " + file + ": " + cli::ResultText(rc));
        status = CLI_FAILED;
    } else {
        const uint64_t format = image->GetFormat(nullptr);
        char formatText[24];
        std::snprintf(formatText, sizeof formatText, "0x%08llX",
                      static_cast<unsigned long long>(format));
        const uint32_t imageClass = ImageFormat::ImageClass(format);
        if (json) {
            std::string out =
                "{\"file\": " + cli::JsonString(file) + ", \"frames\": " + std::to_string(frames) +
                ", \"width\": " + std::to_string(image->GetWidth()) +
                ", \"height\": " + std::to_string(image->GetHeight()) + ", \"format\": \"" +
                formatText + "\"" + ", \"image_class\": " + std::to_string(imageClass) +
                ", \"bits\": " + std::to_string(ImageFormat::ContainerBits(format)) +
                ", \"significant_bits\": " + std::to_string(image->GetSignificantBits()) +
                ", \"channels\": " + std::to_string(ImageFormat::Channels(format)) +
                ", \"attributes\": {";
            bool first = true;
            for (uint32_t n = 2; n <= 4; ++n) {
                if (const char* text = image->GetAttribute(n)) {
                    out += (first ? "\"" : ", \"") + std::to_string(n) +
                           "\": " + cli::JsonString(text);
                    first = false;
                }
            }
            std::printf("%s}}\n", out.c_str());
        } else {
            std::printf("file:        %s\n", file.c_str());
            std::printf("frames:      %llu\n", static_cast<unsigned long long>(frames));
            std::printf("width:       %u\n", image->GetWidth());
            std::printf("height:      %u\n", image->GetHeight());
            std::printf("format:      %s\n", formatText);
            std::printf("image class: %u (%s)\n", imageClass, ClassName(imageClass));
            std::printf("bits:        %u per sample, %u significant, %u channel(s)\n",
                        ImageFormat::ContainerBits(format), image->GetSignificantBits(),
                        ImageFormat::Channels(format));
            for (uint32_t n = 2; n <= 4; ++n)
                if (const char* text = image->GetAttribute(n))
                    std::printf("attribute %u: %s\n", n, text);
        }
    }
    if (image)
        lumo->DeleteImage(CLumoObject::KIND_IMAGE, image);
    if (reader)
        lumo->DeleteModule(reader);
    return status;
}

} // namespace

const CliCommand& InfoCommand() {
    static const CliCommand command{
        "info", "FILE [--json]", "frames, size, format word, image class, bits and attributes",
        "  The frames are those of FILE itself (a numbered series counts one per file).\n"
        "  --json prints one JSON object: \"file\", \"frames\", \"width\", \"height\",\n"
        "  \"format\" (the format word as a \"0x...\" string), \"image_class\" (1 greyscale,\n"
        "  2 or 3 colour filter array, 4 RGB), \"bits\" (per sample), \"significant_bits\",\n"
        "  \"channels\" and \"attributes\" (an object keyed by attribute number: 2 maker,\n"
        "  3 sequence name, 4 program).",
        &RunInfo};
    return command;
}
