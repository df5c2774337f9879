#include "cli/VideoOptions.h"

#include "acquisition/CSequenceBase.h"
#include "cli/CliSupport.h"
#include "external/LumoFileModules.h"

#include <charconv>
#include <cmath>

namespace cli {

namespace {

constexpr double MIN_FPS = 0.1;
constexpr double MAX_FPS = 1000.0;
constexpr uint64_t MAX_QUALITY = 51;

// A plain decimal number: digits with at most one point, nothing else (no sign, exponent,
// "inf" or hexadecimal). Its value in `value`.
bool ParseDecimal(const std::string& text, double& value) {
    bool digit = false;
    int points = 0;
    for (const char c : text) {
        if (c == '.')
            ++points;
        else if (c >= '0' && c <= '9')
            digit = true;
        else
            return false;
    }
    if (!digit || points > 1)
        return false;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

} // namespace

const char* FileTypeName(uint64_t type) {
    static const char* const NAMES[] = {
        "multi-page TIFF",  "TIFF per image",         "PNG", "BMP", "MP4 video (H.264)",
        "MKV video (FFV1)", "AVI video (Motion JPEG)"};
    static_assert(sizeof NAMES / sizeof NAMES[0] == LUMO_FILE_TYPE_COUNT);
    return type >= 1 && type <= LUMO_FILE_TYPE_COUNT ? NAMES[type - 1] : "unknown";
}

std::string FileTypeChoices() {
    static const char* const SHORT[] = {
        "multi-page TIFF", "TIFF per image", "PNG", "BMP", "MP4", "MKV", "AVI"};
    static_assert(sizeof SHORT / sizeof SHORT[0] == LUMO_FILE_TYPE_COUNT);
    std::string text = "give --type";
    for (uint32_t type = 1; type <= LUMO_FILE_TYPE_COUNT; ++type)
        text += (type == 1                      ? " "
                 : type == LUMO_FILE_TYPE_COUNT ? " or "
                                                : ", ") +
                std::to_string(type) + " (" + SHORT[type - 1] + ")";
    return text;
}

bool IsVideoOption(const std::string& arg) {
    return arg == "--fps" || arg == "--quality";
}

std::string ParseVideoOption(const std::string& arg, const std::string& value,
                             VideoOptions& options) {
    if (arg == "--fps") {
        double fps = 0;
        if (!ParseDecimal(value, fps) || !(fps >= MIN_FPS) || fps > MAX_FPS)
            return "--fps needs a playback rate from 0.1 to 1000 (frames per second), not '" +
                   value + "'";
        options.rate = static_cast<uint32_t>(std::lround(fps * 1000.0));
        return {};
    }
    uint64_t quality = 0;
    if (!ParseNumber(value, quality) || quality > MAX_QUALITY)
        return "--quality needs a whole number from 0 to 51 (lower is better), not '" + value + "'";
    options.quality = static_cast<uint32_t>(quality);
    return {};
}

std::string VerifyRefusal(uint64_t type, const std::string& file) {
    if (type != LUMO_FILE_MP4 && type != LUMO_FILE_AVI)
        return {};
    return "cannot check " + file + ": " + FileTypeName(type) +
           " is lossy and does not keep the frames exactly (MKV does)";
}

std::string CheckSaveOptions(const VideoOptions& options, bool verify, uint64_t type,
                             const std::string& file) {
    if ((options.rate || options.quality) && !LumoFileTypeIsVideo(static_cast<uint32_t>(type)))
        return std::string(options.rate ? "--fps" : "--quality") +
               " applies to the video types only (.mp4, .mkv, .avi; --type 5 to 7), not to " +
               file + " (" + FileTypeName(type) + ")";
    const std::string refusal = verify ? VerifyRefusal(type, file) : std::string();
    return refusal.empty() ? refusal : "--verify " + refusal;
}

std::string ApplyVideoOptions(CSequenceBase& sequence, const VideoOptions& options, uint64_t type) {
    if (!LumoFileTypeIsVideo(static_cast<uint32_t>(type)))
        return {};
    CLumoModule* writer = sequence.GetFileModule();
    if (!writer)
        return "the image library has no file writer";
    if (const uint32_t rc = writer->SetParam(LUMO_PARAM_VIDEO_RATE,
                                             options.rate.value_or(LUMO_VIDEO_RATE_DEFAULT), 0);
        rc != 0)
        return "the file writer refuses the playback rate: " + ResultText(rc);
    if (const uint32_t rc = writer->SetParam(
            LUMO_PARAM_VIDEO_QUALITY, options.quality.value_or(LUMO_VIDEO_QUALITY_DEFAULT), 0);
        rc != 0)
        return "the file writer refuses the quality: " + ResultText(rc);
    return {};
}

} // namespace cli
