#include "acquisition/FrameMemoryLimit.h"

#include "platform/MemoryStatus.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace framememory {

namespace {

constexpr uint64_t PAGE_BYTES = 4096;

} // namespace

std::optional<uint64_t> AvailableBytes() {
    if (const char* text = std::getenv("KAVRIN_MEM_AVAILABLE")) {
        uint64_t bytes = 0;
        const char* end = text + std::strlen(text);
        const auto parsed = std::from_chars(text, end, bytes);
        if (parsed.ec == std::errc() && parsed.ptr == end && parsed.ptr != text)
            return bytes;
    }
    return platform::MemAvailableBytes();
}

std::string SizeText(uint64_t bytes) {
    static const char* const UNITS[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    if (bytes < 1024)
        return std::to_string(bytes) + " bytes";
    double value = static_cast<double>(bytes) / 1024.0;
    size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(UNITS)) {
        value /= 1024.0;
        ++unit;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%.1f %s", value, UNITS[unit]);
    return text;
}

std::string CheckFrames(uint64_t frames, uint64_t frameBytes, std::optional<uint64_t> available) {
    if (!available || frames == 0)
        return {};
    const uint64_t stride =
        frameBytes / PAGE_BYTES * PAGE_BYTES + (frameBytes % PAGE_BYTES ? PAGE_BYTES : 0);
    const uint64_t limit =
        *available / 100 * SHARE_PERCENT + *available % 100 * SHARE_PERCENT / 100;
    const bool overflow = stride != 0 && frames > UINT64_MAX / stride;
    if (!overflow && stride * frames <= limit)
        return {};
    const std::string need = overflow ? "more than 16 EiB" : SizeText(stride * frames);
    return "the " + std::to_string(frames) + " frames need " + need +
           "; a sequence may take at most " + std::to_string(SHARE_PERCENT) + " % of the " +
           SizeText(*available) + " of available memory";
}

} // namespace framememory
