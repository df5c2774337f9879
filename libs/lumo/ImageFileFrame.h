// What the image file codecs exchange with the file modules: one frame's description and its
// pixels, and the destination a reader decodes into.
#pragma once

#include <cstdint>
#include <string>

namespace lumo {

// One frame: rows packed without padding, samples of 8 or 16 bits in host order, channels
// interleaved. `attributes` holds the texts of attributes 2, 3 and 4 (empty = unset).
struct ImageFileFrame {
    uint32_t width = 0;
    uint32_t height = 0;
    uint64_t format = 0; // ImageFormat.h word
    uint32_t originX = 0;
    uint32_t originY = 0;
    std::string attributes[3];
    // The frame record, the JSON text of attribute 5 (empty = none).
    std::string record;
    const uint8_t* pixels = nullptr;
};

// Where a reader puts a frame. Prepare receives the frame's description (pixels null) and returns
// the memory of one frame of that shape (width * height * bytes per pixel), or a result code
// through `result` and null when it cannot be made.
class CImageFileTarget {
public:
    virtual uint8_t* Prepare(const ImageFileFrame& frame, uint32_t& result) = 0;

protected:
    ~CImageFileTarget() = default;
};

// Bytes of one row and one frame of `frame`; 0 when they do not fit into 64 bits.
uint64_t FrameRowBytes(const ImageFileFrame& frame);
[[nodiscard]] uint64_t FrameBytes(const ImageFileFrame& frame);

// The colour-filter-array pattern (TIFF CFAPattern: 0 red, 1 green, 2 blue) of the 2x2 cell
// starting at pixel (0, 0), from the origin's phase; and the origin (0 or 1 each) a pattern
// gives, false when the pattern is not one of the four phases.
void CfaPatternForOrigin(uint32_t originX, uint32_t originY, uint8_t pattern[4]);
[[nodiscard]] bool CfaOriginForPattern(const uint8_t pattern[4], uint32_t& originX,
                                       uint32_t& originY);

} // namespace lumo
