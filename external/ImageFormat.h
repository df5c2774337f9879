// The 64-bit image format word that describes an image object's pixel layout.
//   bits  0- 5  sample container bits (8, 16 or 32)
//   bits  6-11  significant bits
//   bits 12-17  channels (samples per pixel, stored interleaved)
//   bits 18-23  layout code
//   bits 24-31  image class (1 greyscale, 2 and 3 colour filter array, 4 RGB)
// Bits 32-63 are zero in every word the program builds.
#pragma once

#include <cstdint>

namespace ImageFormat {

inline constexpr uint32_t CLASS_GREY = 1;
inline constexpr uint32_t CLASS_CFA = 2;
inline constexpr uint32_t CLASS_CFA_ALT = 3;
inline constexpr uint32_t CLASS_RGB = 4;

inline constexpr unsigned CONTAINER_SHIFT = 0;
inline constexpr unsigned SIGNIFICANT_SHIFT = 6;
inline constexpr unsigned CHANNELS_SHIFT = 12;
inline constexpr unsigned LAYOUT_SHIFT = 18;
inline constexpr unsigned CLASS_SHIFT = 24;
inline constexpr uint64_t FIELD6_MASK = 0x3F;
inline constexpr uint64_t CLASS_MASK = 0xFF;

// Builds a word; each value is cut to the width of its field.
constexpr uint64_t Make(uint32_t containerBits, uint32_t significantBits, uint32_t channels,
                        uint32_t layout, uint32_t imageClass) {
    return ((containerBits & FIELD6_MASK) << CONTAINER_SHIFT) |
           ((significantBits & FIELD6_MASK) << SIGNIFICANT_SHIFT) |
           ((channels & FIELD6_MASK) << CHANNELS_SHIFT) | ((layout & FIELD6_MASK) << LAYOUT_SHIFT) |
           ((imageClass & CLASS_MASK) << CLASS_SHIFT);
}

constexpr uint32_t ContainerBits(uint64_t word) {
    return static_cast<uint32_t>((word >> CONTAINER_SHIFT) & FIELD6_MASK);
}
constexpr uint32_t SignificantBits(uint64_t word) {
    return static_cast<uint32_t>((word >> SIGNIFICANT_SHIFT) & FIELD6_MASK);
}
constexpr uint32_t Channels(uint64_t word) {
    return static_cast<uint32_t>((word >> CHANNELS_SHIFT) & FIELD6_MASK);
}
constexpr uint32_t Layout(uint64_t word) {
    return static_cast<uint32_t>((word >> LAYOUT_SHIFT) & FIELD6_MASK);
}
constexpr uint32_t ImageClass(uint64_t word) {
    return static_cast<uint32_t>((word >> CLASS_SHIFT) & CLASS_MASK);
}

// Memory bits of one pixel: container bits times channels.
constexpr uint32_t BitsPerPixel(uint64_t word) {
    return ContainerBits(word) * Channels(word);
}
constexpr uint32_t BytesPerPixel(uint64_t word) {
    return BitsPerPixel(word) / 8;
}

// A word an image object accepts: container 8, 16 or 32; at least one channel; significant
// bits no more than the container holds (0 counts as "all of them").
constexpr bool IsValid(uint64_t word) {
    const uint32_t container = ContainerBits(word);
    return (container == 8 || container == 16 || container == 32) && Channels(word) >= 1 &&
           SignificantBits(word) <= container && (word >> 32) == 0;
}

// The two words the cameras deliver: 8-bit greyscale and 8-bit raw colour-filter-array data.
inline constexpr uint64_t GREY8 = Make(8, 8, 1, 0, CLASS_GREY);
inline constexpr uint64_t CFA8 = Make(8, 8, 1, 0, CLASS_CFA);
static_assert(GREY8 == 0x01001208 && CFA8 == 0x02001208);

} // namespace ImageFormat
