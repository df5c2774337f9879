// Helpers of the video file tests: camera-like frames, and what ffprobe says about a file.
#pragma once

#include "tests/lumo/FileTestSupport.h"

#include <array>
#include <cstdio>
#include <memory>
#include <string>

// Fills frame `f` of an 8-bit image with a camera-like picture: smooth gradients and a moving
// disc, plus a little noise.
inline void FillCameraPicture(CLumoImage& image, uint32_t f) {
    auto* data = static_cast<uint8_t*>(image.GetFrameData(0, static_cast<int64_t>(f), 0));
    const uint32_t w = image.GetWidth(), h = image.GetHeight();
    const uint32_t channels = ImageFormat::Channels(image.GetFormat(nullptr));
    uint32_t state = f * 7919u + 1;
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const int dx = static_cast<int>(x) - static_cast<int>((f * 13) % w);
            const int dy = static_cast<int>(y) - static_cast<int>(h / 2);
            const bool disc = dx * dx + dy * dy < static_cast<int>(h * h / 16);
            for (uint32_t c = 0; c < channels; ++c) {
                state = state * 1103515245u + 12345u;
                const int noise = static_cast<int>((state >> 16) % 5) - 2;
                const int base = disc ? 200 - 30 * static_cast<int>(c)
                                      : static_cast<int>((x * 160) / w + (y * 60) / h) + 10;
                data[(static_cast<size_t>(y) * w + x) * channels + c] =
                    static_cast<uint8_t>(std::clamp(base + noise, 0, 255));
            }
        }
    }
}

// The standard output of a shell command.
inline std::string CommandOutput(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return out;
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0)
        out.append(buffer.data(), n);
    return out;
}

// ffprobe's JSON of the first video stream of `path`, frames counted.
inline std::string ProbeVideo(const std::string& path) {
    return CommandOutput("/usr/bin/ffprobe -v error -select_streams v:0 -count_frames "
                         "-show_streams -show_format -of json '" +
                         path + "'");
}

// The text value of `"key": ` in ffprobe's JSON (quotes removed); empty when absent.
inline std::string ProbeField(const std::string& json, const std::string& key) {
    const size_t at = json.find("\"" + key + "\": ");
    if (at == std::string::npos)
        return {};
    size_t from = at + key.size() + 4;
    const bool quoted = json[from] == '"';
    from += quoted ? 1 : 0;
    const size_t end = json.find_first_of(quoted ? "\"" : ",\n}", from);
    return json.substr(from, end - from);
}
