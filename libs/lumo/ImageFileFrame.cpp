#include "libs/lumo/ImageFileFrame.h"

#include "external/ImageFormat.h"

namespace lumo {

namespace {

// Filter colour by phase 2 * (y & 1) + (x & 1): green, red, blue, green.
constexpr uint8_t PHASE_COLOUR[4] = {1, 0, 2, 1};

} // namespace

uint64_t FrameRowBytes(const ImageFileFrame& frame) {
    return static_cast<uint64_t>(frame.width) * ImageFormat::BytesPerPixel(frame.format);
}

uint64_t FrameBytes(const ImageFileFrame& frame) {
    const uint64_t row = FrameRowBytes(frame);
    if (frame.height != 0 && row > UINT64_MAX / frame.height)
        return 0;
    return row * frame.height;
}

void CfaPatternForOrigin(uint32_t originX, uint32_t originY, uint8_t pattern[4]) {
    for (uint32_t dy = 0; dy < 2; ++dy)
        for (uint32_t dx = 0; dx < 2; ++dx)
            pattern[dy * 2 + dx] = PHASE_COLOUR[2 * ((originY + dy) & 1) + ((originX + dx) & 1)];
}

bool CfaOriginForPattern(const uint8_t pattern[4], uint32_t& originX, uint32_t& originY) {
    for (uint32_t y = 0; y < 2; ++y) {
        for (uint32_t x = 0; x < 2; ++x) {
            uint8_t candidate[4];
            CfaPatternForOrigin(x, y, candidate);
            if (candidate[0] == pattern[0] && candidate[1] == pattern[1] &&
                candidate[2] == pattern[2] && candidate[3] == pattern[3]) {
                originX = x;
                originY = y;
                return true;
            }
        }
    }
    return false;
}

} // namespace lumo
