#include "app/AppOptionsFigures.h"

#include <cinttypes>
#include <cstdio>

namespace appoptions {

namespace {

constexpr uint64_t KIB = 1024;
constexpr uint64_t MIB = KIB * 1024;
constexpr uint64_t GIB = MIB * 1024;
constexpr uint64_t TIB = GIB * 1024;

std::string Tenths(uint64_t bytes, uint64_t divisor, const char* unit) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1lf %s", double(bytes / divisor) / 10.0, unit);
    return text;
}

// The divisors are whole numbers (102, not 102.4): the tenths are truncated quotients.
std::string PowerOfTwoText(uint64_t v) {
    if (v >= TIB)
        return Tenths(v, 109951162777ULL, "TiB");
    if (v >= GIB)
        return Tenths(v, 107374182ULL, "GiB");
    if (v >= MIB)
        return Tenths(v, 104857ULL, "MiB");
    if (v >= KIB)
        return Tenths(v, 102ULL, "KiB");
    return std::string();
}

std::string PowerOfTenText(uint64_t v) {
    if (v >= 1000000000000ULL)
        return Tenths(v, 100000000000ULL, "TB");
    if (v >= 1000000000ULL)
        return Tenths(v, 100000000ULL, "GB");
    if (v >= 1000000ULL)
        return Tenths(v, 100000ULL, "MB");
    if (v >= 1000ULL)
        return Tenths(v, 100ULL, "KB");
    return std::string();
}

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

std::string StatusExceeded(uint64_t fitting) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "Physical memory exceeded. Please reduce buffers to %" PRIu64 ".", fitting);
    return text;
}

std::string RecordingTimeText(uint64_t buffers, double frameRate, bool measured) {
    if (!(frameRate > 0.0))
        return "- Unknown -";
    char text[128];
    std::snprintf(text, sizeof text, "%.2lf s at %.1lf fps (%s)", double(buffers) / frameRate,
                  frameRate, measured ? "measured" : "nominal");
    return text;
}

} // namespace

uint32_t BytesPerPixel(uint64_t formatWord) {
    const uint64_t bits = formatWord & 0x3F;
    const uint64_t channels = (formatWord >> 12) & 0x3F;
    return uint32_t(bits * channels / 8);
}

std::string SizeText(uint64_t bytes) {
    char exact[40];
    std::snprintf(exact, sizeof exact, "%" PRIu64 " Bytes", bytes);
    const std::string two = PowerOfTwoText(bytes);
    const std::string ten = PowerOfTenText(bytes);
    if (!two.empty() && !ten.empty())
        return two + ", " + ten + ", (" + exact + ")";
    if (!ten.empty())
        return ten + ", (" + exact + ")";
    return exact;
}

std::optional<uint64_t> CheckedProduct(uint64_t a, uint64_t b, uint64_t c, uint64_t d) {
    uint64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product) || __builtin_mul_overflow(product, c, &product) ||
        __builtin_mul_overflow(product, d, &product))
        return std::nullopt;
    return product;
}

Texts ComputeTexts(const CameraFigures* camera, const Request& request,
                   std::optional<uint64_t> memoryAvailable, double frameRate, bool measured) {
    Texts texts;
    texts.recordingTime = RecordingTimeText(request.bufferCount, frameRate, measured);
    if (!camera) {
        texts.camera = "- NONE -";
        texts.bytesPerImage = "- Unknown -";
        texts.required = "- Unknown - ";
        texts.available = memoryAvailable ? SizeText(*memoryAvailable) : "- Unknown - ";
        return texts; // an unknown figure leaves the status line empty
    }
    const CameraFigures& c = *camera;
    char name[512];
    std::snprintf(name, sizeof name, "%s (%ux%u)", c.name.c_str(), c.width, c.height);
    texts.camera = name;
    // The current image and the held buffers exist in memory, so their sizes fit; an absurd
    // request may not, and is refused rather than wrapped to a small number.
    const uint64_t imageBytes = CheckedProduct(c.height, c.width, c.bytesPerPixel, 1).value_or(0);
    const uint64_t held = CheckedProduct(c.buffersHeld, imageBytes, 1, 1).value_or(UINT64_MAX);
    const uint64_t perImage =
        CheckedProduct(request.newHeight, c.width, c.bytesPerPixel, 1).value_or(UINT64_MAX);
    const std::optional<uint64_t> required =
        CheckedProduct(request.bufferCount, request.newHeight, c.width, c.bytesPerPixel);
    texts.bytesPerImage = SizeText(imageBytes);
    texts.required = required ? SizeText(*required) : "- Too large -";
    if (!memoryAvailable) {
        texts.available = "- Unknown - ";
        return texts;
    }
    const uint64_t fitsInto = SaturatingAdd(*memoryAvailable, held);
    texts.available = SizeText(fitsInto);
    if (request.bufferCount == 0) {
        texts.status = "At least 1 buffer is required.";
        texts.colour = StatusColour::Red;
    } else if (!required || (*required >= held && *required - held > *memoryAvailable)) {
        texts.status = StatusExceeded(perImage == 0 ? 0 : fitsInto / perImage);
        texts.colour = StatusColour::Red;
    } else {
        texts.status = "Buffer settings ok.";
        texts.colour = StatusColour::Green;
    }
    return texts;
}

bool IsValid(const CameraFigures* camera, const Request& request,
             std::optional<uint64_t> memoryAvailable) {
    if (!camera || request.newHeight == 0 || request.bufferCount == 0)
        return false;
    if (!memoryAvailable)
        return true;
    const CameraFigures& c = *camera;
    const std::optional<uint64_t> required =
        CheckedProduct(c.width, request.newHeight, c.bytesPerPixel, request.bufferCount);
    const uint64_t held =
        CheckedProduct(c.buffersHeld, c.width, c.height, c.bytesPerPixel).value_or(UINT64_MAX);
    if (!required)
        return false;
    if (held > *required)
        return true;
    return *required - held <= *memoryAvailable;
}

std::optional<uint64_t> ParseUnsigned(const std::string& text, uint64_t maximum) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i < text.size() && text[i] == '+')
        ++i;
    if (i >= text.size() || text[i] < '0' || text[i] > '9')
        return std::nullopt;
    uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const uint64_t digit = uint64_t(text[i] - '0');
        if (value > (maximum - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace appoptions
